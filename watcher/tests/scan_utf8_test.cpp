// The scan in a UTF-8 process, as Tidbell32 runs it: files named in any
// script are reached by their real names, and one whose path fits a record
// in characters but not in bytes through its short name.
#include <windows.h>

#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "mail.h"
#include "mailbox.h"

TEST(ScanUtf8, ReachesNamesInAnyScript)
{
    ASSERT_EQ(GetACP(), UINT(CP_UTF8));
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string dir = std::string(temp) + "tbscan8_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    std::string longName;
    for (int i = 0; i < 120; ++i) longName += u8"Ж"; // 240 bytes, 120 characters
    const std::string names[] = {u8"Письмо.CNM", u8"邮件🎉.CNM", longName + ".CNM"};
    std::set<std::string> expected;
    for (const std::string& name : names) {
        const std::string path = dir + "\\" + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "Wine spells such names only under a UTF-8 Unix locale";
        DWORD written = 0;
        WriteFile(file, "Subject: s\r\n\r\n", 14, &written, nullptr);
        CloseHandle(file);
        WIN32_FIND_DATAA entry;
        FindClose(FindFirstFileA(path.c_str(), &entry));
        const bool fits = path.size() < static_cast<size_t>(kMailPathSize);
        if (fits || entry.cAlternateFileName[0]) // none where the volume has no short names
            expected.insert(fits ? path : dir + "\\" + entry.cAlternateFileName);
    }

    MailboxSettings settings = {};
    lstrcpynA(settings.directory, dir.c_str(), sizeof settings.directory);
    lstrcpynA(settings.extension, "CNM", sizeof settings.extension);
    Mailbox mailbox(settings);
    EXPECT_EQ(ScanMailbox(mailbox, nullptr), static_cast<int>(expected.size()));
    std::set<std::string> paths;
    for (int i = 0; i < mailbox.Waiting(); ++i) paths.insert(MailAt(mailbox.Known(), i)->path);
    EXPECT_EQ(paths, expected);

    for (const std::string& name : names) DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}
