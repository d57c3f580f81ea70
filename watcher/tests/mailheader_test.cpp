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

TEST_F(MailHeaderTest, FieldValuesFollowTheColonAndAreTrimmed)
{
    const struct {
        const char* header;
        size_t field;
        const char* value;
    } cases[] = {
        {"Subject:   Hello    world  ", offsetof(MailRecord, subject), "Hello world"},
        {"subject:x", offsetof(MailRecord, subject), "x"},
        {"Subject: From: me", offsetof(MailRecord, subject), "From: me"},
        {"Subject: first\r\nSUBJECT: second", offsetof(MailRecord, subject), "first"},
        {"Reply-To: x", offsetof(MailRecord, to), "old"},
        {"X-Priority: 3", offsetof(MailRecord, priority), "old"},
        {"Resent-From: y", offsetof(MailRecord, from), "old"},
        {"Date:\tMon,\t13 Oct 1997", offsetof(MailRecord, date), "Mon, 13 Oct 1997"},
        {"Organization: Kestrel", offsetof(MailRecord, organization), "Kestrel"},
        {"TO", offsetof(MailRecord, to), "old"},
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
        {filler + "\fFrom: late\r\n" + std::string(20000, 'F') + "\r\nSubject: end\r\n\r\n", nullptr, "late"},
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

// Fields as mailers write them: folded over lines, known by their whole
// name, the first of each kept.
TEST_F(MailHeaderTest, FoldedFieldsReadWholeAndOnlyTheirOwnNamesCount)
{
    std::string fortyLines;
    for (int i = 0; i < 40; ++i) fortyLines += (i ? (i % 2 ? "\r\n\t" : "\r\n ") : "") + std::string("w") + std::to_string(i);
    std::string fortyWords;
    for (int i = 0; i < 40; ++i) fortyWords += (i ? " w" : "w") + std::to_string(i);
    const std::string word = "=?UTF-8?B?0J/RgNC+0YLQvtC60L7Qu9C7?=";
    const std::string twoWords = word + " " + word;
    const struct {
        std::string header;
        const char* subject;
        const char* from;
        const char* fromName;
    } cases[] = {
        {"Subject: one\r\n two\r\n", "one two", "old", "old"},
        {"Subject: one\r\n\ttwo\r\n  three\nFrom: x\r\n", "one two three", "x", "x"},
        {"Subject: " + fortyLines + "\r\n", fortyWords.c_str(), "old", "old"},
        {"Subject: " + word + "\r\n " + word + "\r\n", twoWords.c_str(), "old", "old"},
        {"From: \"Mail\r\n Desk\"\r\n <desk@example.com>\r\n", "old", "\"Mail Desk\" <desk@example.com>", "Mail Desk"},
        {"From: real@example.com\r\nResent-From: Someone Else <fake@example.net>\r\n"
         "X-Original-From: fake@example.net\r\nReply-To: fake@example.net\r\nSubject: real\r\n"
         "X-Original-Subject: fake\r\nResent-Date: never\r\nSubject: second\r\n",
         "real", "real@example.com", "real@example.com"},
        {"Authentication-Results: mx.example;\r\n spf=pass\r\n dmarc=pass (p=REJECT) header.from=bank.example\r\n"
         "From: real@example.com\r\n", "old", "real@example.com", "real@example.com"},
        {"\xEF\xBB\xBF" "From: bom@example.com\r\n", "old", "bom@example.com", "bom@example.com"},
        {"fROM : lower@example.com\r\nSUBJECT\t: shout\r\n", "shout", "lower@example.com", "lower@example.com"},
        {" From: leading@example.com\r\nFrom : x\r\n", "old", "x", "x"},
    };
    for (const auto& c : cases) {
        const MailRecord& m = Read(c.header + "\r\nSubject: body\r\n");
        EXPECT_STREQ(m.subject, c.subject) << c.header;
        EXPECT_STREQ(m.from, c.from) << c.header;
        EXPECT_STREQ(m.fromName, c.fromName) << c.header;
    }
    // A fold that crosses the 4095-character bound: what fits is kept, the
    // rest of the field is dropped, and the next field reads normally.
    std::string folds;
    for (int i = 0; i < 100; ++i) folds += "\r\n " + std::string(60, static_cast<char>('a' + i % 26));
    const MailRecord& m = Read("Subject: s" + folds + "\r\nFrom: after\r\n\r\n");
    // The unfolded field holds 4095 characters, of which "Subject: " goes.
    EXPECT_EQ(std::strlen(m.subject), 4095u - 9u) << "cut at the bound";
    EXPECT_STREQ(m.from, "after");
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

TEST_F(MailHeaderTest, MissingIoBufferIsToldToTheCallerAndNothingIsRead)
{
    Read("Subject: a\r\n\r\n");
    EXPECT_FALSE(MailReaderLackedBuffer());
    Mark(&rec);
    mailAlloc = FailAll;
    EXPECT_EQ(ReadMailHeader(path.c_str(), &rec.record), 0);
    mailAlloc = std::malloc;
    EXPECT_EQ(std::memcmp(&rec, &marked, sizeof rec), 0);
    EXPECT_TRUE(MailReaderLackedBuffer());
    // The reader shows nothing itself: the scan's caller tells the user
    // (the tray test sees that box).
    wintest::PumpFor(300);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file was left open";
    EXPECT_EQ(ReadMailHeader(path.c_str(), &rec.record), 0);
    EXPECT_FALSE(MailReaderLackedBuffer()) << "a file that is not there is another failure";
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
