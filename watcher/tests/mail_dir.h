// A temporary new-mail directory with message files written as the mail
// client would write them, removed again with everything in it.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

class MailDirectory {
public:
    // In the temporary directory, named prefix, the process and a serial.
    explicit MailDirectory(const std::string& prefix = "mail")
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial = 0;
        char name[64];
        snprintf(name, sizeof name, "%lu_%d", GetCurrentProcessId(), ++serial);
        path_ = std::string(temp) + prefix + name;
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~MailDirectory()
    {
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA(File("*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!DeleteFileA(File(entry.cFileName).c_str())) RemoveDirectoryA(File(entry.cFileName).c_str());
            } while (FindNextFileA(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    MailDirectory(const MailDirectory&) = delete;
    MailDirectory& operator=(const MailDirectory&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

    // A message with CR LF line ends: header lines, an empty line, a body.
    void Write(const std::string& name, const std::string& from, const std::string& subject) const
    {
        FILE* f = std::fopen(File(name).c_str(), "wb");
        if (!f) return;
        std::fprintf(f,
                     "From: %s\r\nTo: reader@example.org\r\nSubject: %s\r\n"
                     "Date: Tue, 8 Dec 2026 09:05:00 +0000\r\n\r\nHello.\r\n",
                     from.c_str(), subject.c_str());
        std::fclose(f);
    }
    void Remove(const std::string& name) const { DeleteFileA(File(name).c_str()); }

private:
    std::string path_;
};
