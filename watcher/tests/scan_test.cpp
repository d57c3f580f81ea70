// The shared records, the record lists and the scan of a mailbox's
// directory: what counts as new, what is forgotten, how the known list and
// the list of what was found look after each kind of scan, and that the
// scan survives handlers, failing allocations and awkward directories
// without losing a quit request or the lists' consistency.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "mail.h"
#include "mailbox.h"
#include "tray.h"
#include "wintest.h"

namespace {

constexpr UINT kProbe = WM_APP + 0x51;

std::set<std::string> Paths(RecordList* list)
{
    std::set<std::string> paths;
    for (int i = 0; i < ListCount(list); ++i) paths.insert(MailAt(list, i)->path);
    return paths;
}

MailRecord* RecordWithPath(const std::string& path)
{
    static MailRecord record;
    std::memset(&record, 0, sizeof record);
    std::strcpy(record.path, path.c_str());
    return &record;
}

// Appends a new item with this path; the list holds the only reference.
MailItem* AppendPath(RecordList* list, const std::string& path)
{
    MailRef item(MailItemMake(*RecordWithPath(path), 0));
    return ListAppend(list, item.get());
}

// Fails blocks of one size once `allowed` of them have been given; or,
// with failOthers, every block of another size.
std::size_t failSize;
int failAllowed;
bool failOthers;
void* FailingAlloc(std::size_t size)
{
    if (failOthers) return size == failSize || size == kReadBufferSize ? std::malloc(size) : nullptr;
    return (size == failSize && failAllowed-- <= 0) ? nullptr : std::malloc(size);
}
void FailAllocationsOf(std::size_t size, int allowed)
{
    failSize = size;
    failAllowed = allowed;
    failOthers = false;
    mailAlloc = FailingAlloc;
}
// Only the scan's work record and the reader's buffer can be had.
void FailAllButTheReader()
{
    failSize = sizeof(MailRecord);
    failOthers = true;
    mailAlloc = FailingAlloc;
}

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "tbscan_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        std::strcpy(dirText, dir.c_str());
        knownList = ListCreate();
        newList = ListCreate(kAllMailboxesCapacity);
    }
    void TearDown() override
    {
        mailAlloc = std::malloc;
        knownList = ListDestroy(knownList);
        newList = ListDestroy(newList);
        WIN32_FIND_DATAA entry;
        HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) do {
            if (!DeleteFileA(File(entry.cFileName).c_str())) RemoveDirectoryA(File(entry.cFileName).c_str());
        } while (FindNextFileA(search, &entry));
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
        RemoveDirectoryA(dir.c_str());
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    std::string File(const std::string& name) const { return dir + "\\" + name; }
    static std::string Name(int i) { return "0000" + std::to_string(1000 + i) + ".CNM"; }
    void Write(const std::string& name, const std::string& subject, const std::string& extra = "")
    {
        FILE* f = std::fopen(File(name).c_str(), "wb");
        std::fprintf(f, "From: \"Priya Raman\" <p@example.net>\r\nSubject: %s\r\n%s\r\nBody\r\n", subject.c_str(),
                     extra.c_str());
        std::fclose(f);
    }
    void AddMessages(int n, int first = 1)
    {
        for (int i = first; i < first + n; ++i) Write(Name(i), "Message " + std::to_string(i));
    }
    // A scan of a mailbox with the directory dirText and this extension
    // that knows what knownList holds: each scan may look at another
    // directory text with the same list. Without keepNew, newList holds
    // what this scan found; with it, what it found is added.
    int Scan(int keepNew = 0, const char* ext = "CNM")
    {
        MailboxSettings settings = {};
        std::strcpy(settings.name, "Mail");
        lstrcpynA(settings.directory, dirText, sizeof settings.directory);
        lstrcpynA(settings.extension, ext, sizeof settings.extension);
        Mailbox mailbox(settings);
        std::swap(mailbox.Known(), knownList);
        if (!keepNew) ListClear(newList);
        scanning = &mailbox;
        const int found = ScanMailbox(mailbox, newList);
        scanning = nullptr;
        reachable = mailbox.Reachable();
        std::swap(mailbox.Known(), knownList);
        return found;
    }
    // The scan polls the queue only every few milliseconds; wait that long
    // so that its first chance to poll does.
    void PostProbeAndWait(HWND window)
    {
        PostMessageA(window, kProbe, 0, 0);
        Sleep(20);
    }

    wintest::MessageBoxWatcher boxes;
    std::string dir;
    char dirText[512];
    RecordList* knownList = nullptr; // what the mailbox knows between scans
    RecordList* newList = nullptr;   // what the scans found
    Mailbox* scanning = nullptr;     // the mailbox being scanned
    bool reachable = false;          // what the last scan found of the directory
};

} // namespace

TEST(RecordList, NullListsAndIndexesOutsideAreHarmless)
{
    RecordList* none = nullptr;
    MailRef item(MailItemMake(*RecordWithPath("x"), 0));
    EXPECT_EQ(ListAppend(nullptr, item.get()), nullptr);
    EXPECT_EQ(ListGet(nullptr, 0), nullptr);
    EXPECT_EQ(ListCount(nullptr), 0);
    EXPECT_EQ(ListContainsPath(none, "x"), 0);
    ListClear(nullptr);
    ListRemoveAt(nullptr, 0);
    ListPrune(none);
    EXPECT_EQ(ListDestroy(nullptr), nullptr);
    MailItemRelease(nullptr);
    EXPECT_EQ(MailItemHold(nullptr), nullptr);

    RecordList* list = ListCreate();
    EXPECT_EQ(ListAppend(list, nullptr), nullptr);
    for (const char* p : {"zero", "one", "two"}) AppendPath(list, p);
    EXPECT_EQ(ListGet(list, -1), nullptr);
    EXPECT_EQ(ListGet(list, 3), nullptr);
    ListRemoveAt(list, 3);
    ListRemoveAt(list, 0);
    ASSERT_EQ(ListCount(list), 2);
    EXPECT_STREQ(MailAt(list, 0)->path, "one");
    EXPECT_STREQ(MailAt(list, 1)->path, "two");
    EXPECT_EQ(ListDestroy(list), nullptr);
}

TEST(RecordList, ItemsHoldTheirTextsOnceSharedByEveryList)
{
    // Made from the fixed-size record, an item takes what its texts take.
    MailRecord* record = RecordWithPath("C:\\Mail\\New\\00000412.cnm");
    std::strcpy(record->fromName, "Ann");
    std::memset(record->subject, 's', sizeof record->subject); // no terminator
    MailItem* item = MailItemMake(*record, 7);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->mailbox, 7u);
    EXPECT_STREQ(item->fromName, "Ann");
    EXPECT_EQ(std::string(item->subject), std::string(sizeof record->subject, 's')) << "ended at its field";
    const size_t used = static_cast<size_t>(item->path + item->pathLength + 1 - reinterpret_cast<char*>(item));
    // Five empty fields, "Ann", the subject and the path, each terminated.
    EXPECT_EQ(used, sizeof(MailItem) + 5 + 4 + (sizeof record->subject + 1) + std::strlen(record->path) + 1);
    EXPECT_EQ(item->pathLength, static_cast<int>(std::strlen(record->path)));
    RecordWithPath("changed");
    EXPECT_STREQ(item->fromName, "Ann") << "a copy";

    // Two lists share the one item; it lives until the last lets go.
    RecordList* known = ListCreate();
    RecordList* found = ListCreate(kAllMailboxesCapacity);
    ListAppend(known, item);
    ListAppendAll(found, known);
    EXPECT_EQ(MailAt(found, 0), item);
    EXPECT_EQ(item->references, 3);
    MailItemRelease(item);
    EXPECT_EQ(ListContainsPath(known, "c:\\MAIL\\new\\00000412.CNM"), 1) << "matched without case";
    EXPECT_EQ(ListContainsPath(known, "C:\\Mail\\New\\00000412.cn"), 0);
    EXPECT_EQ(ListContainsPath(known, "C:\\Mail\\New\\00000412.cnmx"), 0);
    ListDestroy(known);
    EXPECT_EQ(item->references, 1);
    EXPECT_STREQ(MailAt(found, 0)->fromName, "Ann");
    ListDestroy(found);
}

TEST(RecordList, CapacityGrowthAndFailedAllocations)
{
    // The list holds its capacity, the slot array growing as items come.
    MailRef item(MailItemMake(*RecordWithPath("x"), 0));
    RecordList* list = ListCreate();
    for (int i = 0; i < kListCapacity; ++i) ASSERT_NE(ListAppend(list, item.get()), nullptr) << i;
    EXPECT_EQ(ListAppend(list, item.get()), nullptr);
    EXPECT_EQ(ListCount(list), kListCapacity);
    EXPECT_EQ(list->slots, kListCapacity);
    ListDestroy(list);
    EXPECT_EQ(item.get()->references, 1);

    // A slot array that cannot grow refuses the item and keeps the rest.
    list = ListCreate();
    for (int i = 0; i < kListFirstSlots; ++i) AppendPath(list, "p" + std::to_string(i));
    FailAllocationsOf(2 * kListFirstSlots * sizeof(MailItem*), 0);
    EXPECT_EQ(ListAppend(list, item.get()), nullptr);
    EXPECT_EQ(ListCount(list), kListFirstSlots);
    EXPECT_STREQ(MailAt(list, kListFirstSlots - 1)->path, ("p" + std::to_string(kListFirstSlots - 1)).c_str());
    mailAlloc = std::malloc;
    EXPECT_NE(ListAppend(list, item.get()), nullptr);

    // A clear that gets no fresh slot array leaves a list that refuses
    // appends until a later clear succeeds.
    FailAllocationsOf(kListFirstSlots * sizeof(MailItem*), 0);
    EXPECT_EQ(ListCreate(), nullptr);
    ListClear(list);
    EXPECT_EQ(ListAppend(list, item.get()), nullptr);
    mailAlloc = std::malloc;
    EXPECT_EQ(ListCount(list), 0);
    EXPECT_EQ(ListAppend(list, item.get()), nullptr);
    ListClear(list);
    EXPECT_NE(ListAppend(list, item.get()), nullptr);
    // An item that cannot be had is not made.
    FailAllocationsOf(sizeof(MailItem) + 7 + 2, 0);
    EXPECT_EQ(MailItemMake(*RecordWithPath("y"), 0), nullptr);
    mailAlloc = std::malloc;
    EXPECT_EQ(ListCount(list), 1);
    ListDestroy(list);
}

TEST_F(ScanTest, WhatIsNewAndWhatIsForgotten)
{
    AddMessages(3);
    Write("notes.TXT", "not mail");
    Write("!draft.CNM", "draft");
    EXPECT_EQ(Scan(), 3);
    EXPECT_EQ(Paths(knownList), Paths(newList));
    EXPECT_EQ(Paths(knownList).count(File(Name(2))), 1u);
    EXPECT_STREQ(MailAt(newList, 0)->fromName, "Priya Raman");
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(ListCount(knownList), 3);
    EXPECT_EQ(ListCount(newList), 0);

    AddMessages(1, 4);
    EXPECT_EQ(Scan(1), 1);
    EXPECT_EQ(Scan(1), 0);
    ASSERT_EQ(ListCount(newList), 1) << "keepNew adds to newList";

    // Deleted, or renamed to "!": pruned from knownList, kept in newList.
    DeleteFileA(File(Name(4)).c_str());
    MoveFileA(File(Name(1)).c_str(), File("!" + Name(1)).c_str());
    EXPECT_EQ(Scan(1), 0);
    EXPECT_EQ(Paths(knownList), (std::set<std::string>{File(Name(2)), File(Name(3))}));
    EXPECT_EQ(ListCount(newList), 1);

    // Back again: new again. Other letter case: the same file.
    AddMessages(1, 4);
    MoveFileA(File(Name(3)).c_str(), File(Name(3).substr(0, 8) + ".cnm").c_str());
    EXPECT_EQ(Scan(), 1);
    for (char* c = dirText; *c; ++c)
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(ListCount(knownList), 3);
}

TEST_F(ScanTest, DirectoryTextsAndPathsThatDoNotFit)
{
    AddMessages(2);
    std::strcat(dirText, "\\");
    EXPECT_EQ(Scan(), 2);
    EXPECT_EQ(std::string(dirText), dir + "\\") << "the scan leaves the setting alone";
    EXPECT_EQ(Paths(knownList).count(File(Name(1))), 1u) << "the mailbox drops the backslash";
    EXPECT_TRUE(reachable);

    // Full paths of 254 characters fit the record, of 255 do not.
    const size_t room = kMailPathSize - 1 - dir.size() - 1;
    Write(std::string(room - 4, 'f') + ".CNM", "fits");
    Write(std::string(room - 3, 'g') + ".CNM", "too long");
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Paths(knownList).count(File(std::string(room - 4, 'f') + ".CNM")), 1u);
    EXPECT_EQ(Scan(), 0);

    // The same directory spelt with ".\" steps, and stars that match
    // nothing more, so the pattern just fits 255 characters or does not.
    std::string longer = dir;
    while (longer.size() + 2 + 6 <= 255) longer += "\\.";
    std::strcpy(dirText, longer.c_str());
    const std::string fitting = "CNM" + std::string(255 - longer.size() - 6, '*');
    EXPECT_EQ(Scan(0, fitting.c_str()), 0) << "paths there are too long to take";
    EXPECT_EQ(ListCount(knownList), 3) << "but the directory was searched";
    EXPECT_EQ(Scan(0, (fitting + "*").c_str()), 0);
    EXPECT_EQ(ListCount(knownList), 0);

    std::strcpy(dirText, dir.c_str());
    EXPECT_EQ(Scan(), 3);
    std::strcpy(dirText, File("missing").c_str());
    EXPECT_EQ(Scan(1), 0);
    EXPECT_EQ(ListCount(knownList), 0) << "a missing directory forgets everything";
    EXPECT_EQ(ListCount(newList), 3);
    EXPECT_FALSE(reachable);
    // A directory that is there but holds no mail is reachable.
    std::strcpy(dirText, dir.c_str());
    EXPECT_EQ(Scan(0, "NONE"), 0);
    EXPECT_TRUE(reachable);
}

TEST_F(ScanTest, UnopenableFilesWaitForTheNextScanAndRecordsStartEmpty)
{
    // The file listed first gets the fields that the second lacks.
    Write("a.CNM", "bare");
    Write("b.CNM", "bare");
    WIN32_FIND_DATAA first;
    FindClose(FindFirstFileA(File("*.CNM").c_str(), &first));
    Write(first.cFileName, "full", "Organization: Kestrel\r\nX-Priority: 1\r\n");
    CreateDirectoryA(File("folder.CNM").c_str(), nullptr);
    HANDLE locked = CreateFileA(File("c.CNM").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(Scan(), 2);
    EXPECT_EQ(ListCount(knownList), 2);
    EXPECT_EQ(ListCount(newList), 2);
    for (int i = 0; i < 2; ++i) {
        const MailItem* r = MailAt(knownList, i);
        EXPECT_STREQ(r->organization, std::string(r->path) == File(first.cFileName) ? "Kestrel" : "");
    }
    // The writer finishes the message (an empty file just written would be
    // one still being written) and lets go.
    DWORD written = 0;
    WriteFile(locked, "Subject: late\r\n\r\n", 17, &written, nullptr);
    CloseHandle(locked);
    EXPECT_EQ(Scan(), 1);
    ASSERT_EQ(ListCount(newList), 1);
    EXPECT_EQ(std::string(MailAt(newList, 0)->path), File("c.CNM"));
    EXPECT_STREQ(MailAt(newList, 0)->priority, "") << "nothing left from another file";
}

TEST_F(ScanTest, MessageWrittenSlowlyIsAnnouncedOnceWhole)
{
    // The client writes the header over a few seconds (KW_WRITER_SECONDS,
    // 3 unless set), the Subject line last, while scans run every 100 ms.
    const char* setting = std::getenv("KW_WRITER_SECONDS");
    const int seconds = setting ? std::atoi(setting) : 3;
    wintest::Process client = wintest::StartProcess(
        wintest::StandInPath(), "--write \"" + File("slow.CNM") + "\" " + std::to_string(seconds));
    ASSERT_TRUE(client);
    int found = 0, scans = 0;
    DWORD code = 1;
    while (!wintest::WaitExit(client, 100, &code)) {
        found += Scan(1);
        ++scans;
    }
    wintest::KillProcess(client);
    ASSERT_EQ(code, 0u);
    EXPECT_GE(scans, 10 * seconds / 2) << "scans while it was written";
    found += Scan(1);
    EXPECT_EQ(found, 1);
    ASSERT_EQ(ListCount(newList), 1);
    EXPECT_EQ(std::string(MailAt(newList, 0)->subject), "Written over " + std::to_string(seconds) + " s");
}

TEST_F(ScanTest, NameOutsideTheCodePageIsReachedByItsShortName)
{
    // "Pis'mo", Cyrillic: not in the Western code pages.
    wchar_t wide[MAX_PATH];
    const int length = MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, wide, MAX_PATH);
    ASSERT_GT(length, 0);
    std::wstring file = std::wstring(wide) + L"\\\x041F\x0438\x0441\x044C\x043C\x043E.CNM";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const char text[] = "From: a@example.net\r\nSubject: Privet\r\n\r\nBody\r\n";
    DWORD written = 0;
    WriteFile(h, text, sizeof text - 1, &written, nullptr);
    CloseHandle(h);

    // The path the record should hold: the long name where the code page
    // spells it, else the short one; none where the volume has no short names.
    WIN32_FIND_DATAW entry;
    FindClose(FindFirstFileW(file.c_str(), &entry));
    BOOL lossy = FALSE;
    char name[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, entry.cFileName, -1, name, sizeof name, nullptr, &lossy);
    if (lossy) WideCharToMultiByte(CP_ACP, 0, entry.cAlternateFileName, -1, name, sizeof name, nullptr, nullptr);
    if (name[0] == '\0') {
        EXPECT_EQ(Scan(), 0) << "no short name: not seen";
    } else {
        EXPECT_EQ(Scan(), 1);
        EXPECT_EQ(Scan(), 0) << "the same path at the next scan, and it exists";
        ASSERT_EQ(ListCount(knownList), 1);
        const MailItem* record = MailAt(knownList, 0);
        EXPECT_EQ(std::string(record->path), File(name));
        EXPECT_STREQ(record->subject, "Privet");
        HANDLE opened = CreateFileA(record->path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(opened, INVALID_HANDLE_VALUE) << "the viewer can open it";
        CloseHandle(opened);
    }
    EXPECT_TRUE(DeleteFileW(file.c_str()));
}

TEST_F(ScanTest, FullListsAndFailedAllocations)
{
    // 1006 waiting files: the six that find knownList full are new once,
    // not at every scan, and knownList (what the tip counts) stays full.
    AddMessages(1000);
    EXPECT_EQ(Scan(), 1000);
    AddMessages(6, 1001);
    EXPECT_EQ(Scan(), 6);
    EXPECT_EQ(ListCount(newList), 6);
    EXPECT_EQ(Scan(), 0) << "the files that found no room are remembered";
    EXPECT_EQ(ListCount(knownList), kListCapacity);
    EXPECT_EQ(Paths(knownList).count(File(Name(1001))), 0u);

    // Four files taken in, one remembered one gone: four of the other five
    // enter knownList unannounced, read afresh; the fifth waits.
    for (int i : {1, 2, 3, 4, 1002}) DeleteFileA(File(Name(i)).c_str());
    EXPECT_EQ(Scan(), 0);
    ASSERT_EQ(ListCount(knownList), kListCapacity);
    int admitted = 0;
    for (int i = 0; i < kListCapacity; ++i) {
        const MailItem* r = MailAt(knownList, i);
        for (int n : {1001, 1003, 1004, 1005, 1006}) {
            if (File(Name(n)) != r->path) continue;
            ++admitted;
            EXPECT_EQ(std::string(r->subject), "Message " + std::to_string(n));
        }
    }
    EXPECT_EQ(admitted, 4);
    ASSERT_NE(ListRemembered(knownList, 0), nullptr);
    EXPECT_EQ(ListRemembered(knownList, 1), nullptr);
    EXPECT_EQ(Paths(knownList).count(ListRemembered(knownList, 0)), 0u);
    // The last one enters when there is room; the memory of the remembered
    // paths goes with it. The vanished one was forgotten: back, it is new.
    for (int i : {5, 6}) DeleteFileA(File(Name(i)).c_str());
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(ListCount(knownList), kListCapacity - 1);
    EXPECT_EQ(knownList->overflow, nullptr);
    AddMessages(1, 1002);
    EXPECT_EQ(Scan(), 1);

    // No work record: nothing new, nothing changed.
    AddMessages(1, 2000);
    FailAllocationsOf(sizeof(MailRecord), 0);
    EXPECT_EQ(Scan(1), 0);
    EXPECT_EQ(ListCount(newList), 1);
    EXPECT_EQ(ListCount(knownList), kListCapacity);
    // No room for the items: counted as new all the same.
    mailAlloc = std::malloc;
    knownList = ListDestroy(knownList);
    knownList = ListCreate();
    ListClear(newList);
    FailAllButTheReader();
    EXPECT_EQ(Scan(1), 1001);
    EXPECT_EQ(ListCount(knownList), 0);
    EXPECT_EQ(ListCount(newList), 0);
}

TEST_F(ScanTest, HandlersMayDestroyTheListOrDeleteFilesMidScan)
{
    AddMessages(3);
    wintest::MessageRecorder window;
    int nested = -1;
    window.OnMessage(kProbe, [&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        // A scan of the same mailbox asked for meanwhile does nothing.
        nested = ScanMailbox(*scanning, newList);
        scanning->Known() = ListDestroy(scanning->Known());
        return 0;
    });
    PostProbeAndWait(window.hwnd());
    EXPECT_EQ(Scan(), 3);
    EXPECT_EQ(window.Count(kProbe), 1u);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(ListCount(newList), 3);

    knownList = ListCreate();
    window.OnMessage(kProbe, [this](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        for (int i = 1; i <= 3; ++i) DeleteFileA(File(Name(i)).c_str());
        return 0;
    });
    PostProbeAndWait(window.hwnd());
    EXPECT_EQ(Scan(), 0) << "files that vanish before they are read are not new";
    EXPECT_EQ(ListCount(knownList), 0);
    EXPECT_EQ(ListCount(newList), 0);
}

TEST_F(ScanTest, QuitRequestedDuringTheScanIsStillPendingAfterIt)
{
    AddMessages(3);
    wintest::MessageRecorder window;
    window.OnMessage(kProbe, [](HWND, UINT, WPARAM code, LPARAM) -> LRESULT {
        PostQuitMessage(static_cast<int>(code));
        return 0;
    });
    MSG msg;
    // Posted to the scanning thread, and sent from another one (as a closing
    // program sends WM_CLOSE): the sent one is handled inside the very
    // PeekMessage call that would then take the quit off the queue.
    PostMessageA(window.hwnd(), kProbe, 7, 0);
    Sleep(20);
    EXPECT_EQ(Scan(), 3);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);

    const HWND target = window.hwnd();
    std::thread sender([target] { SendMessageTimeoutA(target, kProbe, 9, 0, SMTO_NORMAL, 10000, nullptr); });
    Sleep(100);
    EXPECT_EQ(Scan(), 0);
    sender.join();
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 9u);
}
