// The mail header reader: which line goes into which field, where lines and
// the header end, and that no input writes past a field or half-changes a
// record whose file cannot be read.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mail.h"
#include "tray.h"
#include "wintest.h"

namespace {

// A record with a guard area behind it and every field preset to "old", so
// a test sees which fields the reader wrote and that it wrote nothing past.
struct GuardedRecord {
    MailRecord record;
    unsigned char guard[64];
};

void Mark(GuardedRecord* r)
{
    std::memset(r, 0xA5, sizeof *r);
    MailRecord& m = r->record;
    for (char* field : {m.from, m.fromName, m.to, m.date, m.organization, m.subject, m.priority, m.path})
        std::strcpy(field, "old");
}

void* FailAll(std::size_t) { return nullptr; }

class MailHeaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "tbhdr_" + std::to_string(GetCurrentProcessId()) + ".CNM";
        Mark(&marked);
        Mark(&rec);
    }
    void TearDown() override
    {
        mailAlloc = std::malloc;
        DeleteFileA(path.c_str());
    }

    // Writes bytes to the file and reads them into a fresh marked record.
    const MailRecord& Read(const std::string& bytes)
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        Mark(&rec);
        EXPECT_EQ(ReadMailHeader(path.c_str(), &rec.record), 1);
        EXPECT_EQ(std::memcmp(rec.guard, marked.guard, sizeof rec.guard), 0) << "written past the record";
        const MailRecord& m = rec.record;
        for (const char* field : {m.from, m.fromName, m.to, m.date, m.organization, m.subject, m.priority})
            EXPECT_TRUE(std::memchr(field, 0, kHeaderFieldSize)) << "unterminated field";
        EXPECT_EQ(std::string(m.path), path);
        return m;
    }

    wintest::MessageBoxWatcher boxes;
    std::string path;
    GuardedRecord rec, marked;
};

} // namespace

TEST_F(MailHeaderTest, FieldValuesStartAfterTheKeywordAndAreTrimmed)
{
    const struct {
        const char* header;
        size_t field;
        const char* value;
    } cases[] = {
        {"Subject:   Hello    world  ", offsetof(MailRecord, subject), "Hello world"},
        {"subject:x", offsetof(MailRecord, subject), "x"},
        {"Subject: From: me", offsetof(MailRecord, subject), "From: me"},
        {"Subject: first\r\nSUBJECT: second", offsetof(MailRecord, subject), "second"},
        {"Reply-To: x", offsetof(MailRecord, to), "ly-To: x"},
        {"X-Priority: 3", offsetof(MailRecord, priority), "y: 3"},
        {"Resent-From: y", offsetof(MailRecord, from), "t-From: y"},
        {"Date:\tMon,\t13 Oct 1997", offsetof(MailRecord, date), "Mon, 13 Oct 1997"},
        {"Organization: Kestrel", offsetof(MailRecord, organization), "Kestrel"},
        {"TO", offsetof(MailRecord, to), ""},
        {"Message-ID: <to@from>", offsetof(MailRecord, to), "old"},
        {"From: x", offsetof(MailRecord, fromName), "x"},
        {"From: \"Mail Desk\" <x>", offsetof(MailRecord, from), "\"Mail Desk\" <x>"},
        {"From: \"Mail Desk\" <x>", offsetof(MailRecord, fromName), "Mail Desk"},
        {"From: \"Mail", offsetof(MailRecord, fromName), "Mail"},
        {"Subject: \xE9t\xE9\xA0", offsetof(MailRecord, subject), "\xE9t\xE9\xA0"},
    };
    for (const auto& c : cases) {
        const MailRecord& m = Read(std::string(c.header) + "\r\n\r\nSubject: body\r\n");
        EXPECT_STREQ(reinterpret_cast<const char*>(&m) + c.field, c.value) << c.header;
    }
}

TEST_F(MailHeaderTest, LineAndHeaderEnds)
{
    // Filler to just before the 16 KB buffer's end, so that a form feed is
    // the first byte of the second fill.
    std::string filler;
    while (filler.size() < kReadBufferSize - 200) filler += "X-Filler: 0123456789abcdefghij\r\n";
    filler += "Subject: ";
    filler += std::string(kReadBufferSize - filler.size(), 's');

    const struct {
        std::string bytes;
        const char* subject;
        const char* from; // nullptr: not checked
    } cases[] = {
        {"\r\nSubject: body\r\n", "old", "old"},                    // empty first line
        {"", "old", "old"},                                         // zero bytes
        {"Subject: a\r\nFrom: b", "a", "b"},                        // no empty line
        {"Subject: a\nFrom: b\n\nSubject: body\n", "a", "b"},       // LF alone
        {"Subject: a\rFrom: b\r\rDate: c\r", "a", "old"},          // CR alone: rest dropped
        {"Subject: a\fFrom: b\n\n", "a", "b"},                      // form feed splits a line
        {"\fSubject: a\n\n", "a", "old"},                           // form-feed line goes on
        {std::string("Subject: a\0b\r\nFrom: c\r\n\r\n", 25), "a b", "c"}, // NUL reads as blank
        {"Subject: a\xFFjunk: x\r\nFrom: c\r\n\r\n", "a", "c"},      // 0xFF ends like CR
        {"Subject: " + std::string(4991, 'x') + "\r\nFrom: c\r\n\r\n", nullptr, "c"},
        {filler + "\fFrom: late\r\n" + std::string(20000, 'F') + "\r\nSubject: end\r\n\r\n", "end", "late"},
    };
    for (const auto& c : cases) {
        const MailRecord& m = Read(c.bytes);
        if (c.subject) {
            EXPECT_STREQ(m.subject, c.subject) << c.bytes.substr(0, 40);
        }
        EXPECT_STREQ(m.from, c.from) << c.bytes.substr(0, 40);
    }
    // A 5000-character line is cut to its first 4095.
    EXPECT_EQ(std::strlen(Read("Subject: " + std::string(4991, 'x')).subject), 4095u - 9u);
}

TEST_F(MailHeaderTest, BinaryGarbageStaysInsideTheRecord)
{
    unsigned seed = 12345;
    for (int round = 0; round < 4; ++round) {
        std::string bytes(40000 + round * 7000, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes[i] = static_cast<char>(seed >> 16);
            // Later rounds: mostly keywords and blanks, so long lines and
            // matching fields occur as well as line ends.
            if (round >= 2 && (seed >> 16) % 97 != 0) bytes[i] = "FROMTOsubject: \t"[i % 16];
        }
        Read(bytes);
    }
}

TEST_F(MailHeaderTest, UnreadableFileLeavesTheRecordUntouched)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string unreadable[] = {path + ".missing", temp, std::string(temp) + std::string(300, 'n')};
    for (const std::string& p : unreadable) {
        EXPECT_EQ(ReadMailHeader(p.c_str(), &rec.record), 0) << p;
        EXPECT_EQ(std::memcmp(&rec, &marked, sizeof rec), 0) << p;
    }
    EXPECT_EQ(boxes.Count(), 0u) << "no message for a file that cannot be opened";
}

TEST_F(MailHeaderTest, MissingIoBufferIsReportedAndNothingIsRead)
{
    Read("Subject: a\r\n\r\n");
    Mark(&rec);
    mailAlloc = FailAll;
    EXPECT_EQ(ReadMailHeader(path.c_str(), &rec.record), 0);
    mailAlloc = std::malloc;
    EXPECT_EQ(std::memcmp(&rec, &marked, sizeof rec), 0);

    ASSERT_TRUE(boxes.WaitForBoxes(1, 5000));
    EXPECT_EQ(boxes.Boxes()[0].caption, "File I/O Error");
    EXPECT_EQ(boxes.Boxes()[0].text, "System error: Cannot allocate io buffer");
    EXPECT_EQ(boxes.Boxes()[0].icon, LoadIconA(nullptr, IDI_ERROR));
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file was left open";
}

TEST_F(MailHeaderTest, ReadErrorEndsTheDataAndNoFileMeansNoLine)
{
    Read("Subject: a\r\n\r\n");
    const HFILE handle = OpenMailFile(path.c_str());
    ASSERT_NE(handle, HFILE_ERROR);
    // Reading through a handle that is not open fails every time.
    const HFILE bogus = static_cast<HFILE>(0x7FF0);
    char line[kHeaderFieldSize];
    EXPECT_EQ(ReadMailChar(bogus), 0);
    EXPECT_EQ(ReadHeaderLine(line, sizeof line, bogus), -1);
    CloseMailFile(handle);

    EXPECT_EQ(ReadMailChar(handle), 0xFF);
    EXPECT_EQ(ReadHeaderLine(line, sizeof line, handle), -1);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file was left open";
}

TEST_F(MailHeaderTest, ClientMayDeleteOrRenameAFileBeingRead)
{
    const std::string renamed = path + ".renamed";
    const std::string actions[] = {"--delete \"" + path + "\"", "--rename \"" + path + "\" \"" + renamed + "\""};
    for (const std::string& action : actions) {
        Read("Subject: a\r\nFrom: b\r\n\r\n");
        const HFILE file = OpenMailFile(path.c_str());
        ASSERT_NE(file, HFILE_ERROR);
        char line[kHeaderFieldSize];
        ReadHeaderLine(line, sizeof line, file);
        // Another process, as the client is, and one try only.
        wintest::Process client = wintest::StartProcess(wintest::StandInPath(), action);
        DWORD code = 1;
        EXPECT_TRUE(wintest::WaitExit(client, 30000, &code)) << action;
        wintest::KillProcess(client);
        EXPECT_EQ(code, 0u) << action;
        ReadHeaderLine(line, sizeof line, file);
        EXPECT_STREQ(line, "From: b") << "the reader reads on";
        CloseMailFile(file);
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << action;
        DeleteFileA(renamed.c_str());
    }
}
