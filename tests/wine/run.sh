#!/usr/bin/env bash
# Runs one Windows program of the build under Wine, in the build tree's own
# prefix: run.sh PREFIX PROGRAM [ARGS...]
set -eu
export WINEPREFIX="$1"; shift
. "$(dirname "$0")/env.sh"
exec "$KW_WINE" "$@"
