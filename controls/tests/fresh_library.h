// A private copy of KWCTRL32.dll loaded under another file name, so a test
// sees the library's process-wide state (the initialisation flag, shared
// tools) as a newly started program would, however often it runs.
#pragma once

#include <windows.h>

#include <string>

#include "wintest.h"

class FreshLibrary {
public:
    FreshLibrary()
    {
        static int serial = 0;
        char name[64];
        snprintf(name, sizeof name, "KWCTRL32_fresh%lu_%d.dll", GetCurrentProcessId(), ++serial);
        path_ = wintest::ExeDir() + name;
        if (CopyFileA((wintest::ExeDir() + "KWCTRL32.dll").c_str(), path_.c_str(), FALSE))
            module_ = LoadLibraryA(path_.c_str());
    }
    ~FreshLibrary()
    {
        if (module_) FreeLibrary(module_);
        DeleteFileA(path_.c_str());
    }
    FreshLibrary(const FreshLibrary&) = delete;
    FreshLibrary& operator=(const FreshLibrary&) = delete;

    HMODULE module() const { return module_; }

    template <typename Fn>
    Fn Get(const char* exportName) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, exportName)));
    }

private:
    std::string path_;
    HMODULE module_ = nullptr;
};
