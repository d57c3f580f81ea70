// Ends the mail client stand-ins that a test started through the watcher.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Ends every stand-in that logged to `log`, found by the process ids its
// lines begin with: a copy still starting has no window to close yet, and
// one left running would hold the test's output open.
inline void EndStandIns(const std::string& log)
{
    FILE* f = std::fopen(log.c_str(), "r");
    if (!f) return;
    char line[512];
    while (std::fgets(line, sizeof line, f)) {
        const DWORD pid = std::strtoul(line, nullptr, 10);
        HANDLE process = pid ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid) : nullptr;
        if (!process) continue;
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    std::fclose(f);
}
