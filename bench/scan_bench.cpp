/*
 * Scan benchmark: times the scan of a mailbox's directory of 1000 message
 * files against what the file system itself costs, measures how long a
 * posted message waits while a scan runs, and reports the memory that the
 * lists of a first scan take.
 *
 *   floor A      list the directory and test each file's existence
 *   steady scan  ScanMailbox with every file already known   (<= 3 x A)
 *   floor B      open each file and read its first 16 KiB
 *   first scan   ScanMailbox with every file new              (<= 1.5 x B)
 *   floor C      make the 1000 shared records that the two lists of a
 *                first scan hold (shown, no target)
 *   wait         longest wait of a posted message during scans (<= 50 ms)
 *
 * Then it runs the watcher's tray window in this process, under the
 * program's own message loop (which waits for the directories' change
 * signals beside messages), on a directory of 900 waiting messages with the
 * default scan interval (10 s) and its settings read from the registry as
 * the program reads them, and times how long a change takes to reach the
 * count that the tray icon's tip shows (the tip is set in the same step):
 *
 *   arrival      a message file's close to the tip's new count
 *                (median <= 100 ms, 90th percentile <= 150 ms; and, as
 *                before, median <= 250 ms, worst <= 1 s, of 20 changes)
 *   deletion     the client's delete to the tip's lower count
 *                (median <= 250 ms, worst <= 1 s of 20 changes)
 *   burst        the scans that 50 files written at once give (<= 3)
 *
 * Last, a watcher with four mailboxes: its private memory with no message
 * waiting, with 2000 spread over the four (at most 8 MB more) and once the
 * directories are empty again (within 1 MB of the start).
 *
 * Each time is the median of several runs. Exit code 0 when every target
 * is met, 1 otherwise.
 */
#include <windows.h>
#include <io.h>
#include <psapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <malloc.h>

#include <memory>

#include "mail.h"
#include "mailbox.h"
#include "settings.h"
#include "watcher.h"
#include "watcherstate.h"

namespace {

constexpr int kFiles = 1000;
constexpr UINT kStamp = WM_APP + 1;

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Work>
double MedianMs(int runs, Work work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = NowMs();
        work();
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// ------------------------------------------------------------ test data

const char* const kNames[] = {"Priya Raman", "Sam Okafor", "Lena Fischer", "Tomasz Nowak",
                              "Aiko Tanaka", "Marta Silva", "Jonas Berg", "Grace Mensah"};
const char* const kSubjects[] = {"Photos from the harbour walk", "Re: Budget for the spring fair",
                                 "Minutes of Tuesday's meeting", "Fwd: Train times to Leeds",
                                 "Your order has shipped", "Re: Re: Choir rehearsal moved",
                                 "Draft chapter 4 attached", "Lunch on Friday?"};
const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

std::string Address(const char* name)
{
    std::string address;
    for (const char* c = name; *c; ++c)
        address += (*c == ' ') ? '.' : static_cast<char>(*c | 0x20);
    return address + "@example.net";
}

// A message as the mail client leaves it: a few Received lines, the usual
// header fields, an empty line and a body of a few KB; CR LF line ends.
std::string MessageText(int n)
{
    const char* name = kNames[n % 8];
    char line[512];
    std::string text;
    for (int hop = 0; hop < 3; ++hop) {
        std::snprintf(line, sizeof line,
                      "Received: from mx%d.example.net (mx%d.example.net [192.0.2.%d])\r\n"
                      "\tby relay%d.example.org with SMTP id %08X; %s, %d Oct 1997 %02d:%02d:%02d +0100\r\n",
                      hop, hop, (n + hop) % 250, hop, n * 7919 + hop, kDays[n % 7], 1 + n % 28, n % 24,
                      n % 60, (n * 7) % 60);
        text += line;
    }
    std::snprintf(line, sizeof line,
                  "Message-ID: <%d.%08X@example.net>\r\n"
                  "From: \"%s\" <%s>\r\n"
                  "To: sam.okafor@example.org\r\n"
                  "Cc: team@example.org\r\n"
                  "Date: %s, %d Oct 1997 %02d:%02d:%02d +0100\r\n"
                  "Subject: %s (%d)\r\n"
                  "Organization: Kestrel Apps\r\n"
                  "X-Priority: %d\r\n"
                  "MIME-Version: 1.0\r\n"
                  "Content-Type: text/plain; charset=us-ascii\r\n"
                  "X-Mailer: Corvid Mail 2.0\r\n\r\n",
                  n, n * 104729, name, Address(name).c_str(), kDays[n % 7], 1 + n % 28, n % 24, n % 60,
                  (n * 7) % 60, kSubjects[n % 8], n, 1 + n % 5);
    text += line;
    const size_t size = 2000 + static_cast<size_t>(n * 37 % 4000);
    while (text.size() < size)
        text += "The quick brown fox jumps over the lazy dog, and the dog takes it well.\r\n";
    return text;
}

bool WriteMessage(const std::string& file, int n)
{
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    const std::string text = MessageText(n);
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0;
}

struct MailDir {
    std::string path;
    std::vector<std::string> files;

    bool Create(int count = kFiles, const char* tag = "tbbench_")
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path = std::string(base) + tag + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(path.c_str(), nullptr)) return false;
        for (int n = 0; n < count; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "%08d.CNM", 10000 + n);
            const std::string file = path + "\\" + name;
            if (!WriteMessage(file, n)) return false;
            files.push_back(file);
        }
        return true;
    }
    ~MailDir()
    {
        for (const std::string& file : files) DeleteFileA(file.c_str());
        RemoveDirectoryA(path.c_str());
    }
};

// ------------------------------------------------------------ floors

int ListAndTest(const std::string& dir)
{
    int existing = 0;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((dir + "\\*.CNM").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    char path[MAX_PATH + 1];
    do {
        std::snprintf(path, sizeof path, "%s\\%s", dir.c_str(), entry.cFileName);
        if (_access(path, 0) == 0) ++existing;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return existing;
}

long OpenAndRead(const std::vector<std::string>& files)
{
    static char buffer[16384];
    long total = 0;
    for (const std::string& file : files) {
        const HFILE h = _lopen(file.c_str(), OF_READ | OF_SHARE_DENY_NONE);
        if (h == HFILE_ERROR) continue;
        const UINT got = _lread(h, buffer, sizeof buffer);
        if (got != static_cast<UINT>(HFILE_ERROR)) total += static_cast<long>(got);
        _lclose(h);
    }
    return total;
}

// The lists' share of a first scan: 1000 shared records made from a work
// record, as the scan makes them.
double CopyRecords()
{
    MailRecord* work = new MailRecord();
    std::strcpy(work->from, "\"Priya Raman\" <priya.raman@example.net>");
    std::strcpy(work->fromName, "Priya Raman");
    std::strcpy(work->subject, "Photos from the harbour walk");
    std::strcpy(work->path, "C:\\users\\root\\Temp\\tbbench_1\\00010000.CNM");
    std::vector<MailItem*> items(kFiles);
    const double start = NowMs();
    for (MailItem*& item : items) item = MailItemMake(*work, 1);
    const double elapsed = NowMs() - start;
    for (MailItem* item : items) MailItemRelease(item);
    delete work;
    return elapsed;
}

// ------------------------------------------------------------ scans

// The benchmark's mailbox and the list of what its scans found.
std::unique_ptr<Mailbox> benchBox;
RecordList* found;

MailboxSettings SettingsFor(const std::string& dir, const char* name = "Mail")
{
    MailboxSettings settings = {};
    lstrcpynA(settings.name, name, sizeof settings.name);
    lstrcpynA(settings.directory, dir.c_str(), sizeof settings.directory);
    lstrcpynA(settings.extension, "CNM", sizeof settings.extension);
    return settings;
}

// One scan as the watcher's tick makes it: what it finds replaces what
// the last one found.
int Scan(const std::string&, int keepNew)
{
    if (!keepNew) ListClear(found);
    return ScanMailbox(*benchBox, found);
}

void FreshLists(const std::string& dir)
{
    benchBox = std::make_unique<Mailbox>(SettingsFor(dir));
    found = ListDestroy(found);
    found = ListCreate(kAllMailboxesCapacity);
}

// Bytes the items of a list take (each counted once).
size_t ItemBytes(RecordList* list)
{
    size_t bytes = 0;
    for (int i = 0; i < ListCount(list); ++i) {
        const MailItem* item = MailAt(list, i);
        bytes += static_cast<size_t>(item->path + item->pathLength + 1 - reinterpret_cast<const char*>(item));
    }
    return bytes;
}

// ------------------------------------------------------------ responsiveness

// Posting times by sequence number; the stamp window records how long each
// message waited.
std::vector<double> postedAt;
std::vector<double> waited;

LRESULT CALLBACK StampProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kStamp) {
        const size_t seq = static_cast<size_t>(wParam);
        if (seq < waited.size()) waited[seq] = NowMs() - postedAt[seq];
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Responsiveness {
    double longestMs = 0;
    double medianMs = 0;
    int messages = 0;
    double scanMs = 0;
    int scans = 0;
};

// Another thread posts a timestamped message every 2 ms to a window of this
// thread while it runs steady-state scans back to back; only the scans let
// messages through.
Responsiveness MeasureWaits(const std::string& dirText, int scans)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StampProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ScanBenchStamp";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("ScanBenchStamp", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                nullptr);

    constexpr size_t kMaxMessages = 100000;
    postedAt.assign(kMaxMessages, 0.0);
    waited.assign(kMaxMessages, -1.0);
    std::atomic<bool> running{true};
    std::atomic<size_t> posted{0};
    timeBeginPeriod(1);
    std::thread poster([&] {
        while (running && posted < kMaxMessages) {
            const size_t seq = posted;
            postedAt[seq] = NowMs();
            PostMessageA(window, kStamp, seq, 0);
            posted = seq + 1;
            Sleep(2);
        }
    });

    Responsiveness result;
    const double start = NowMs();
    for (int i = 0; i < scans; ++i) Scan(dirText, 0);
    result.scanMs = NowMs() - start;
    result.scans = scans;
    running = false;
    poster.join();
    timeEndPeriod(1);
    // Hand out what the last scan left behind; those waits count too.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

    std::vector<double> waits;
    for (size_t i = 0; i < posted; ++i)
        if (waited[i] >= 0) waits.push_back(waited[i]);
    std::sort(waits.begin(), waits.end());
    result.messages = static_cast<int>(waits.size());
    if (!waits.empty()) {
        result.longestMs = waits.back();
        result.medianMs = waits[waits.size() / 2];
    }
    DestroyWindow(window);
    return result;
}

// ------------------------------------------------------------ push latency

constexpr int kWaiting = 900;
constexpr int kChanges = 20;
const char kSettingsKey[] = "Software\\Kestrel Apps\\Software\\Corvid\\KWApps\\Tidbell";
const char kSoundKey[] = "Software\\Kestrel Apps\\AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current";

void SetSetting(const char* key, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr)) return;
    RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(k);
}

void SetText(const char* key, const char* name, const std::string& text)
{
    SetSetting(key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The watcher's settings for the run: the bench's directory, the default
// interval, no popup and no sound; paths that exist in every prefix.
void WriteWatcherSettings(const std::string& dir)
{
    SetText(kSettingsKey, "MailDir", dir);
    SetText(kSettingsKey, "MailExt", "CNM");
    SetText(kSettingsKey, "WinCMailDir", "C:\\windows\\notepad.exe");
    SetText(kSettingsKey, "Viewer Program", "C:\\windows\\notepad.exe");
    const DWORD interval = 10;
    SetSetting(kSettingsKey, "Scan Interval", REG_DWORD, &interval, sizeof interval);
    SetText(kSettingsKey, "Popup Notification", "No");
    SetText(kSoundKey, "", "None");
}

void RemoveWatcherSettings()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    SHDeleteKeyA(HKEY_CURRENT_USER, kSoundKey);
}

struct Latencies {
    bool started = false;
    std::vector<double> arrivals;
    std::vector<double> deletions;
    int missed = 0;
    int burstScans = -1; // scans that a burst of 50 files gave; -1 if never counted
};

// Changes one or two seconds apart, at varying points of the watcher's
// one-second tick.
void Pause(int change)
{
    Sleep(1000 + static_cast<DWORD>(change * 373 % 1000));
}

// The client's side, on its own thread: 20 new messages, then 20 deleted,
// each change waiting until the watcher has counted the one before.
struct ClientSide {
    std::string dir;
    std::vector<std::string> files;
    std::atomic<int> current{-1};   // the change made last
    std::atomic<bool> done{false};
    std::vector<double> changedAt = std::vector<double>(2 * kChanges, 0.0);
    std::vector<double> seenAt = std::vector<double>(2 * kChanges, -1.0);
    std::vector<int> countAfter = std::vector<int>(2 * kChanges, 0);

    void WaitSeen(int change)
    {
        const double start = NowMs();
        while (seenAt[static_cast<size_t>(change)] < 0 && NowMs() - start < 15000) Sleep(5);
    }
    void Run()
    {
        for (int i = 0; i < 2 * kChanges; ++i) {
            Pause(i);
            const size_t k = static_cast<size_t>(i);
            if (i < kChanges) {
                char name[32];
                std::snprintf(name, sizeof name, "%08d.CNM", 50000 + i);
                files.push_back(dir + "\\" + name);
                if (!WriteMessage(files.back(), i)) break;
            } else if (!DeleteFileA(files[k - kChanges].c_str())) {
                break;
            }
            changedAt[k] = NowMs();
            current = i;
            WaitSeen(i);
        }
        done = true;
    }
};

// The watcher's state, reached through its window as the program reaches
// it.
std::shared_ptr<WatcherState> Watcher(HWND window)
{
    return StateOf(window);
}

int Waiting(HWND window)
{
    const auto state = Watcher(window);
    return state ? state->Waiting() : -1;
}

// The program's message loop, watching after every round what the watcher
// counts.
void RunWatcherLoop(HWND window, ClientSide& client)
{
    int shown = Waiting(window);
    while (!client.done) {
        PumpWatcherMessages(20, nullptr);
        const int count = Waiting(window);
        const int i = client.current;
        if (count != shown && i >= 0 && count == client.countAfter[static_cast<size_t>(i)])
            client.seenAt[static_cast<size_t>(i)] = NowMs();
        shown = count;
    }
}

// Runs the program's message loop until done() or timeoutMs.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        PumpWatcherMessages(20, nullptr);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) PumpWatcherMessages(20, nullptr);
}

// The tray window, made as the program makes it: creating it loads the
// settings, scans and adds the icon.
HWND StartWatcher()
{
    appInstance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MailWndProc;
    wc.hInstance = appInstance;
    wc.lpszClassName = "KWMailNotification";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "Tidbell", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, appInstance, nullptr);
}

void StopWatcher(HWND window)
{
    if (window) SendMessageA(window, WM_CLOSE, 0, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

constexpr int kBurst = 50;

// 50 files written at once by another thread, as a client fetching mail
// writes them: the scans they give until the watcher counts them all and
// the directory has been quiet for two seconds.
int MeasureBurst(HWND window, MailDir& dir)
{
    const int before = Waiting(window);
    const int scans = Watcher(window)->ScanCount();
    std::vector<std::string> files;
    for (int i = 0; i < kBurst; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%08d.CNM", 70000 + i);
        files.push_back(dir.path + "\\" + name);
    }
    std::thread writer([&] {
        for (int i = 0; i < kBurst; ++i) WriteMessage(files[static_cast<size_t>(i)], i);
    });
    const bool counted = PumpUntil([&] { return Waiting(window) == before + kBurst; }, 15000);
    writer.join();
    PumpFor(2000);
    const int made = Watcher(window)->ScanCount() - scans;
    dir.files.insert(dir.files.end(), files.begin(), files.end());
    for (const std::string& file : files) DeleteFileA(file.c_str());
    PumpUntil([&] { return Waiting(window) == before; }, 15000);
    return counted ? made : -1;
}

Latencies MeasurePush()
{
    Latencies result;
    MailDir waiting;
    if (!waiting.Create(kWaiting, "tbpush_")) return result;
    WriteWatcherSettings(waiting.path);

    HWND window = StartWatcher();
    result.started = window && Waiting(window) == kWaiting && Watcher(window)->MailboxAt(0)->Watch().Handle();
    if (result.started) {
        ClientSide client;
        client.dir = waiting.path;
        for (int i = 0; i < 2 * kChanges; ++i)
            client.countAfter[static_cast<size_t>(i)] = kWaiting + (i < kChanges ? i + 1 : 2 * kChanges - i - 1);
        std::thread side([&] { client.Run(); });
        RunWatcherLoop(window, client);
        side.join();
        for (int i = 0; i < 2 * kChanges; ++i) {
            const size_t k = static_cast<size_t>(i);
            if (client.seenAt[k] < 0) ++result.missed;
            else (i < kChanges ? result.arrivals : result.deletions).push_back(client.seenAt[k] - client.changedAt[k]);
        }
        waiting.files.insert(waiting.files.end(), client.files.begin(), client.files.end());
        result.burstScans = MeasureBurst(window, waiting);
    }
    StopWatcher(window);
    RemoveWatcherSettings();
    return result;
}

// ------------------------------------------------------------ memory

constexpr int kMailboxes = 4;
constexpr int kSpread = 2000;

struct MemoryRun {
    bool counted = false;
    SIZE_T atZero = 0;
    SIZE_T atFull = 0;
    SIZE_T emptied = 0;
};

SIZE_T PrivateBytes();

// After the lists are emptied: what the heaps hold free goes back to the
// system, as far as the heaps let it.
void GiveBackFreeMemory()
{
    _heapmin();
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) HeapCompact(heaps[i], 0);
}

// A watcher with four mailboxes: its private memory with none waiting,
// with 2000 messages spread over the four, and with none again.
MemoryRun MeasureMailboxMemory()
{
    MemoryRun run;
    std::vector<std::unique_ptr<MailDir>> dirs;
    for (int i = 0; i < kMailboxes; ++i) {
        dirs.push_back(std::make_unique<MailDir>());
        if (!dirs.back()->Create(0, ("tbmem" + std::to_string(i) + "_").c_str())) return run;
    }
    WriteWatcherSettings(dirs[0]->path);
    for (int i = 1; i < kMailboxes; ++i) {
        const std::string key = std::string(kSettingsKey) + "\\Mailbox " + std::to_string(i + 1);
        SetText(key.c_str(), "Name", "Box " + std::to_string(i + 1));
        SetText(key.c_str(), "MailDir", dirs[static_cast<size_t>(i)]->path);
    }
    HWND window = StartWatcher();
    if (window && Watcher(window)->MailboxCount() == kMailboxes) {
        PumpFor(500);
        GiveBackFreeMemory();
        run.atZero = PrivateBytes();
        for (int n = 0; n < kSpread; ++n) {
            MailDir& dir = *dirs[static_cast<size_t>(n % kMailboxes)];
            char name[32];
            std::snprintf(name, sizeof name, "%08d.CNM", 10000 + n);
            dir.files.push_back(dir.path + "\\" + name);
            WriteMessage(dir.files.back(), n);
        }
        run.counted = PumpUntil([&] { return Waiting(window) == kSpread; }, 60000);
        PumpFor(1000);
        run.atFull = PrivateBytes();
        for (auto& dir : dirs)
            for (const std::string& file : dir->files) DeleteFileA(file.c_str());
        run.counted = PumpUntil([&] { return Waiting(window) == 0; }, 60000) && run.counted;
        PumpFor(1000);
        GiveBackFreeMemory();
        run.emptied = PrivateBytes();
    }
    StopWatcher(window);
    RemoveWatcherSettings();
    return run;
}

// ------------------------------------------------------------ report

bool allMet = true;

void Verdict(const char* what, double value, double limit, const char* unit)
{
    const bool met = value <= limit;
    allMet = allMet && met;
    std::printf("  %-34s %8.2f %-3s (target <= %.2f)  %s\n", what, value, unit, limit, met ? "PASS" : "FAIL");
}

double MegaBytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

PROCESS_MEMORY_COUNTERS_EX Memory()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return counters;
}

// Wine leaves PrivateUsage at 0; the commit charge (PagefileUsage) is the
// process's private bytes there.
SIZE_T PrivateBytesOf(const PROCESS_MEMORY_COUNTERS_EX& counters)
{
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

SIZE_T PrivateBytes()
{
    return PrivateBytesOf(Memory());
}

} // namespace

int main()
{
    MailDir dir;
    std::printf("Creating %d message files...\n", kFiles);
    if (!dir.Create()) {
        std::printf("cannot create the message files in %s\n", dir.path.c_str());
        return 2;
    }
    std::string dirText = dir.path;
    std::printf("Directory %s\n", dir.path.c_str());

    // Warm the file cache so every figure sees the same, cached, files.
    ListAndTest(dir.path);
    OpenAndRead(dir.files);
    const PROCESS_MEMORY_COUNTERS_EX before = Memory();

    // Floor A and the steady-state scan.
    int listed = 0;
    const double floorA = MedianMs(15, [&] { listed = ListAndTest(dir.path); });
    FreshLists(dir.path);
    const int firstFound = Scan(dirText, 0);
    int steadyFound = -1;
    const double steady = MedianMs(15, [&] { steadyFound = Scan(dirText, 0); });

    // Floor B and the first scan, alternated so both see the same cache.
    std::vector<double> bTimes, cTimes, firstTimes;
    long bytes = 0;
    int newFound = 0;
    for (int run = 0; run < 7; ++run) {
        double start = NowMs();
        bytes = OpenAndRead(dir.files);
        bTimes.push_back(NowMs() - start);
        FreshLists(dir.path);
        cTimes.push_back(CopyRecords());
        start = NowMs();
        newFound = Scan(dirText, 0);
        firstTimes.push_back(NowMs() - start);
    }
    std::sort(bTimes.begin(), bTimes.end());
    std::sort(firstTimes.begin(), firstTimes.end());
    std::sort(cTimes.begin(), cTimes.end());
    const double floorB = bTimes[bTimes.size() / 2];
    const double floorC = cTimes[cTimes.size() / 2];
    const double first = firstTimes[firstTimes.size() / 2];

    // Memory with 1000 records in each list (left by the last first scan).
    const PROCESS_MEMORY_COUNTERS_EX full = Memory();
    const int knownCount = benchBox->Waiting();
    const int newCount = ListCount(found);
    const size_t itemBytes = ItemBytes(found);

    const Responsiveness waits = MeasureWaits(dirText, 30);

    std::printf("\nFiles listed %d, first scan found %d (lists hold %d known, %d new), "
                "steady scan found %d, floor B read %ld bytes\n",
                listed, firstFound, knownCount, newCount, steadyFound, bytes);
    std::printf("\nTimes (median):\n");
    std::printf("  floor A: list + _access per file   %8.2f ms\n", floorA);
    std::printf("  steady-state ScanMailbox            %8.2f ms\n", steady);
    std::printf("  floor B: _lopen + 16 KiB _lread     %8.2f ms\n", floorB);
    std::printf("  floor C: 1000 shared records        %8.2f ms\n", floorC);
    std::printf("  first ScanMailbox, 1000 new         %8.2f ms   (new files found %d)\n", first, newFound);
    std::printf("\nResponsiveness: %d messages posted every 2 ms during %d steady scans (%.0f ms)\n",
                waits.messages, waits.scans, waits.scanMs);
    std::printf("  median wait %.2f ms, longest wait %.2f ms\n", waits.medianMs, waits.longestMs);
    std::printf("\nMemory with %d + %d records (one shared item each, %.0f bytes on average; the reader's\n"
                "work record %u bytes):\n",
                knownCount, newCount, newCount ? static_cast<double>(itemBytes) / newCount : 0.0,
                static_cast<unsigned>(sizeof(MailRecord)));
    std::printf("  working set    %8.1f MB (before the lists %8.1f MB)\n", MegaBytes(full.WorkingSetSize),
                MegaBytes(before.WorkingSetSize));
    const SIZE_T privateFull = PrivateBytesOf(full);
    const SIZE_T privateBefore = PrivateBytesOf(before);
    std::printf("  private bytes  %8.1f MB (before the lists %8.1f MB)\n", MegaBytes(privateFull),
                MegaBytes(privateBefore));
    std::printf("  records alone  %8.1f MB\n", MegaBytes(itemBytes));

    std::printf("\nTargets:\n");
    Verdict("steady scan / floor A", steady / floorA, 3.0, "x");
    Verdict("first scan / floor B", first / floorB, 1.5, "x");
    std::printf("  %-34s %8.2f x   (no target: B plus the lists' copies)\n", "first scan / (floor B + floor C)",
                first / (floorB + floorC));
    Verdict("longest message wait", waits.longestMs, 50.0, "ms");
    const Latencies push = MeasurePush();
    std::printf("\nTime to the tip, %d messages waiting, scan interval 10 s (%d arrivals, %d deletions):\n",
                kWaiting, static_cast<int>(push.arrivals.size()), static_cast<int>(push.deletions.size()));
    for (auto [what, times] : {std::pair<const char*, std::vector<double>>{"arrival", push.arrivals},
                               std::pair<const char*, std::vector<double>>{"deletion", push.deletions}}) {
        std::sort(times.begin(), times.end());
        const double median = times.empty() ? 1e9 : times[times.size() / 2];
        const double worst = times.empty() ? 1e9 : times.back();
        const double p90 = times.empty() ? 1e9 : times[(times.size() * 9 + 9) / 10 - 1];
        std::printf("  %-9s median %7.1f ms, 90th percentile %7.1f ms, worst %7.1f ms\n", what, median, p90, worst);
        Verdict((std::string(what) + " to tip, median").c_str(), median, 250.0, "ms");
        Verdict((std::string(what) + " to tip, worst").c_str(), worst, 1000.0, "ms");
        // A change in a quiet directory is scanned at once.
        if (std::string(what) == "arrival") {
            Verdict("arrival to tip, median (at once)", median, 100.0, "ms");
            Verdict("arrival to tip, 90th percentile", p90, 150.0, "ms");
        }
    }
    std::printf("  burst of %d files: %d scans\n", kBurst, push.burstScans);
    Verdict("scans for a burst of 50 files", push.burstScans < 0 ? 1e9 : push.burstScans, 3.0, "");
    if (!push.started || push.missed > 0 || push.arrivals.size() + push.deletions.size() != 2u * kChanges) {
        std::printf("  watcher                            FAIL (%s, %d changes never shown)\n",
                    push.started ? "started" : "did not start", push.missed);
        allMet = false;
    }

    const MemoryRun memory = MeasureMailboxMemory();
    std::printf("\nPrivate bytes of a watcher with %d mailboxes:\n", kMailboxes);
    std::printf("  no message waiting        %8.2f MB\n", MegaBytes(memory.atZero));
    std::printf("  %d messages waiting     %8.2f MB\n", kSpread, MegaBytes(memory.atFull));
    std::printf("  directories empty again   %8.2f MB\n", MegaBytes(memory.emptied));
    Verdict("growth from 0 to 2000 messages", MegaBytes(memory.atFull) - MegaBytes(memory.atZero), 8.0, "MB");
    Verdict("emptied, above the start", MegaBytes(memory.emptied) - MegaBytes(memory.atZero), 1.0, "MB");
    if (!memory.counted) {
        std::printf("  mailboxes                          FAIL (the watcher did not count %d, then 0)\n", kSpread);
        allMet = false;
    }

    const bool counted = firstFound == kFiles && newFound == kFiles && steadyFound == 0 && listed == kFiles;
    if (!counted) {
        std::printf("  file counts                        FAIL (expected %d new, then 0)\n", kFiles);
        allMet = false;
    }
    std::printf("%s\n", allMet ? "ALL PASS" : "SOME TARGETS MISSED");

    benchBox.reset();
    found = ListDestroy(found);
    return allMet ? 0 : 1;
}
