# Writes an import library for Microsoft-compatible linkers from a module
# definition file of the GNU form (the one that also fixes the DLL's exports).
#   cmake -DDLLTOOL=llvm-dlltool -DAR=llvm-ar -DMACHINE=i386|i386:x86-64
#         -DDEF=<in.def> -DOUT=<out.lib> -DWORK=<scratch dir> -P MsvcImportLibrary.cmake
#
# On x64 (MACHINE i386:x86-64) every export has its plain name and callers
# refer to that very name: one run of the tool makes the library.
#
# On x86 a caller of a stdcall export compiles a reference to "_Name@N". Exports fall
# in two kinds:
#   "Name@N == Name"  exported as "Name": the member for "_Name@N" must carry
#                     the import name with its decoration taken off (llvm-
#                     dlltool's --kill-at does that); a plain cdecl "Name" is
#                     left as it is by --kill-at;
#   "_Name@N"         exported under that decorated name: the caller's symbol
#                     is "__Name@N" and the import name keeps the "@N", which
#                     --kill-at would cut.
# So the two kinds are made by two runs and the second run's import members
# (every member after its three import-descriptor objects) are appended to
# the first library, whose descriptors serve both.
#
# An export whose name differs from its caller's symbol ("Name_1@N ==
# Name1": callers refer to "_Name_1@N", the DLL exports "Name1") cannot be
# one short import member, whose import name comes from its own symbol:
# the library gets a member for "_Name1@N" and a weak alias "_Name_1@N" to
# it.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/ModuleDefinitions.cmake)

if(NOT MACHINE)
    set(MACHINE i386)
endif()

function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}")
    endif()
endfunction()

if(MACHINE STREQUAL "i386:x86-64")
    file(REMOVE_RECURSE "${WORK}")
    file(MAKE_DIRECTORY "${WORK}")
    run(${DLLTOOL} -m ${MACHINE} -d "${DEF}" -l out.lib)
    run(${CMAKE_COMMAND} -E copy out.lib "${OUT}")
    return()
endif()

kw_read_module_definition("${DEF}" head entries)
set(killed "")
set(kept "")
set(kept_count 0)
foreach(line IN LISTS entries)
    string(REGEX REPLACE "[ \t]*==.*" "" entry "${line}")
    if(entry MATCHES "^_[A-Za-z0-9_]+@[0-9]+")
        string(APPEND kept "    ${entry}\n")
        math(EXPR kept_count "${kept_count} + 1")
    elseif(line MATCHES "^([A-Za-z0-9_]+)(@[0-9]+)[ \t]*==[ \t]*([A-Za-z0-9_]+)" AND
           NOT CMAKE_MATCH_1 STREQUAL CMAKE_MATCH_3)
        string(APPEND killed "    ${CMAKE_MATCH_3}${CMAKE_MATCH_2}\n")
        string(APPEND killed "    ${entry} == ${CMAKE_MATCH_3}${CMAKE_MATCH_2}\n")
    else()
        string(APPEND killed "    ${entry}\n")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/killed.def" "${head}${killed}")
file(WRITE "${WORK}/kept.def" "${head}${kept}")

run(${DLLTOOL} -m i386 -k -d killed.def -l out.lib)
if(kept_count GREATER 0)
    run(${DLLTOOL} -m i386 -d kept.def -l kept.lib)
    # Every member of either library is named after the DLL, so members are
    # taken out by instance number.
    execute_process(COMMAND ${AR} t kept.lib WORKING_DIRECTORY "${WORK}"
        OUTPUT_VARIABLE names OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REGEX REPLACE "\n.*" "" name "${names}")
    math(EXPR last "${kept_count} + 3")
    foreach(n RANGE 4 ${last})
        file(MAKE_DIRECTORY "${WORK}/m${n}")
        execute_process(COMMAND ${AR} xN ${n} ../kept.lib "${name}"
            WORKING_DIRECTORY "${WORK}/m${n}" RESULT_VARIABLE rc)
        set(member "${WORK}/m${n}/${name}")
        if(NOT rc EQUAL 0 OR NOT EXISTS "${member}")
            message(FATAL_ERROR "could not take member ${n} out of kept.lib")
        endif()
        run(${AR} q out.lib ${member})
    endforeach()
    run(${AR} s out.lib)
endif()
run(${CMAKE_COMMAND} -E copy out.lib "${OUT}")
