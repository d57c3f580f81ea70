// Self-test of the shared test helpers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <type_traits>

#include "pe_image.h"
#include "wintest.h"

using namespace wintest;

namespace {

std::string SelfPath() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// ---------------------------------------------------------------------------
// A window that paints blue with a red rectangle in WM_PAINT and, in
// WM_PRINTCLIENT only, a green one.
const RECT kRed = {10, 10, 50, 40};

LRESULT CALLBACK PaintProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT rc;
        GetClientRect(h, &rc);
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &rc, blue);
        FillRect(dc, &kRed, red);
        DeleteObject(blue);
        DeleteObject(red);
        EndPaint(h, &ps);
        return 0;
    }
    if (m == WM_PRINTCLIENT) {
        RECT r = {0, 0, 5, 5};
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(reinterpret_cast<HDC>(w), &r, green);
        DeleteObject(green);
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

HWND CreatePaintWindow(DWORD exStyle) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PaintProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "WinTestPaint";
        registered = RegisterClassA(&wc) != 0;
    }
    return CreateWindowExA(exStyle, "WinTestPaint", "paint", WS_POPUP, 40, 40, 160, 120, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

// ---------------------------------------------------------------------------
// A dialog that ignores every command and only ends on WM_CLOSE (or, so
// that a broken watcher fails the test instead of hanging it, after 8 s
// with result -1).
std::vector<int> g_stubbornCommands;

INT_PTR CALLBACK StubbornProc(HWND h, UINT m, WPARAM w, LPARAM) {
    switch (m) {
    case WM_INITDIALOG:
        SetTimer(h, 1, 8000, nullptr);
        return TRUE;
    case WM_TIMER:
        EndDialog(h, -1);
        return TRUE;
    case WM_COMMAND:
        g_stubbornCommands.push_back(LOWORD(w));
        return TRUE;
    case WM_CLOSE:
        EndDialog(h, 99);
        return TRUE;
    }
    return FALSE;
}

INT_PTR RunStubbornDialog() {
    // DLGTEMPLATE, then empty menu and class, then the UTF-16 title.
    alignas(4) unsigned char buf[128] = {};
    auto* t = reinterpret_cast<DLGTEMPLATE*>(buf);
    t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    t->cx = 120;
    t->cy = 40;
    auto* words = reinterpret_cast<WORD*>(buf + sizeof(DLGTEMPLATE));
    words[0] = 0;
    words[1] = 0;
    const char* title = "Stubborn";
    for (size_t i = 0; i <= std::strlen(title); ++i) words[2 + i] = WORD(title[i]);
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t, nullptr, StubbornProc, 0);
}

// ---------------------------------------------------------------------------
// A small DLL image, PE32 or PE32+: exports Alpha (ordinal 5), Gamma (7) and
// an unnamed ordinal 8 with base 5; imports Bar and ordinal 42 from foo.dll
// (lookup table present, address table holding bound garbage) and Baz from
// bar.dll (address table only).
struct Pe32 {
    using OptionalHeader = IMAGE_OPTIONAL_HEADER32;
    using Thunk = DWORD;
    static constexpr WORD kMachine = IMAGE_FILE_MACHINE_I386;
    static constexpr WORD kMagic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
    static constexpr Thunk kByOrdinal = IMAGE_ORDINAL_FLAG32;
};
struct Pe64 {
    using OptionalHeader = IMAGE_OPTIONAL_HEADER64;
    using Thunk = ULONGLONG;
    static constexpr WORD kMachine = IMAGE_FILE_MACHINE_AMD64;
    static constexpr WORD kMagic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    static constexpr Thunk kByOrdinal = IMAGE_ORDINAL_FLAG64;
};
template <class T>
void Put(std::vector<unsigned char>& b, size_t off, const T& v) {
    std::memcpy(b.data() + off, &v, sizeof v);
}
void PutStr(std::vector<unsigned char>& b, size_t off, const char* s) {
    std::memcpy(b.data() + off, s, std::strlen(s) + 1);
}

template <class Pe>
std::vector<unsigned char> SyntheticDll() {
    const DWORD kSecRva = 0x1000, kSecRaw = 0x200, kSecSize = 0x400;
    std::vector<unsigned char> b(kSecRaw + kSecSize, 0);
    auto at = [&](DWORD rva) { return size_t(rva - kSecRva + kSecRaw); };

    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = 0x40;
    Put(b, 0, dos);
    Put(b, 0x40, DWORD(IMAGE_NT_SIGNATURE));

    IMAGE_FILE_HEADER fh = {};
    fh.Machine = Pe::kMachine;
    fh.NumberOfSections = 1;
    fh.SizeOfOptionalHeader = sizeof(typename Pe::OptionalHeader);
    fh.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_DLL;
    Put(b, 0x44, fh);

    typename Pe::OptionalHeader oh = {};
    oh.Magic = Pe::kMagic;
    oh.SizeOfHeaders = kSecRaw;
    oh.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
    oh.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT] = {0x1000, 0x100};
    oh.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT] = {0x1100, 0x3C};
    const size_t ohOff = 0x44 + sizeof fh;
    Put(b, ohOff, oh);

    IMAGE_SECTION_HEADER sh = {};
    std::memcpy(sh.Name, ".rdata", 6);
    sh.VirtualAddress = kSecRva;
    sh.Misc.VirtualSize = kSecSize;
    sh.SizeOfRawData = kSecSize;
    sh.PointerToRawData = kSecRaw;
    Put(b, ohOff + sizeof oh, sh);

    IMAGE_EXPORT_DIRECTORY ed = {};
    ed.Name = 0x1080;
    ed.Base = 5;
    ed.NumberOfFunctions = 4;
    ed.NumberOfNames = 2;
    ed.AddressOfFunctions = 0x1040;
    ed.AddressOfNames = 0x1060;
    ed.AddressOfNameOrdinals = 0x1070;
    Put(b, at(0x1000), ed);
    const DWORD functions[4] = {0x2000, 0, 0x2010, 0x2020};
    Put(b, at(0x1040), functions);
    const DWORD names[2] = {0x1090, 0x10A0};
    Put(b, at(0x1060), names);
    const WORD nameIndexes[2] = {0, 2};
    Put(b, at(0x1070), nameIndexes);
    PutStr(b, at(0x1080), "synth.dll");
    PutStr(b, at(0x1090), "Alpha");
    PutStr(b, at(0x10A0), "Gamma");

    IMAGE_IMPORT_DESCRIPTOR d[3] = {};
    d[0].OriginalFirstThunk = 0x1140;
    d[0].Name = 0x11C0;
    d[0].FirstThunk = 0x1160;
    d[1].Name = 0x11D0;
    d[1].FirstThunk = 0x1180;
    Put(b, at(0x1100), d);
    using Thunk = typename Pe::Thunk;
    const Thunk fooLookup[3] = {0x11E0, Pe::kByOrdinal | 42, 0};
    Put(b, at(0x1140), fooLookup);
    const Thunk fooBound[3] = {0x77001234, 0x77005678, 0};
    Put(b, at(0x1160), fooBound);
    const Thunk barThunks[2] = {0x11F0, 0};
    Put(b, at(0x1180), barThunks);
    PutStr(b, at(0x11C0), "foo.dll");
    PutStr(b, at(0x11D0), "bar.dll");
    PutStr(b, at(0x11E0) + 2, "Bar"); // after the hint
    PutStr(b, at(0x11F0) + 2, "Baz");
    return b;
}

} // namespace

// ---------------------------------------------------------------------------

TEST(Pump, TimesOutWhenConditionNeverHolds) {
    const DWORD start = GetTickCount();
    EXPECT_FALSE(PumpUntil([] { return false; }, 200));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 190u);
    EXPECT_LT(elapsed, 1500u);
}

TEST(Pump, DispatchesMessagesAndNoticesOtherThreads) {
    MessageRecorder rec;
    PostMessageA(rec.hwnd(), WM_APP + 1, 7, 8);
    EXPECT_TRUE(PumpUntil([&] { return rec.Count(WM_APP + 1) == 1; }, 1000));

    std::atomic<bool> flag{false};
    std::thread t([&] {
        Sleep(50);
        flag = true;
    });
    const DWORD start = GetTickCount();
    EXPECT_TRUE(PumpUntil([&] { return flag.load(); }, 5000));
    EXPECT_LT(GetTickCount() - start, 1000u);
    t.join();
}

TEST(Pump, SwallowsQuitAndReportsItOnce) {
    MessageRecorder rec;
    PostQuitMessage(3);
    PostMessageA(rec.hwnd(), WM_APP, 0, 0);
    EXPECT_TRUE(rec.WaitFor(WM_APP, 1, 1000)); // pumping goes on past WM_QUIT
    WPARAM code = 0;
    EXPECT_TRUE(TakeQuit(&code));
    EXPECT_EQ(3u, code);
    EXPECT_FALSE(TakeQuit());
}

// ---------------------------------------------------------------------------

TEST(MessageBoxWatcher, DismissesBoxOnTestThreadAndReportsIt) {
    MessageBoxWatcher watcher;
    MessageRecorder owner;
    EXPECT_EQ(IDOK, MessageBoxA(owner.hwnd(), "Disk is full", "Saver", MB_OK | MB_ICONWARNING));

    const std::vector<BoxInfo> boxes = watcher.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Saver", boxes[0].caption);
    EXPECT_EQ("Disk is full", boxes[0].text);
    EXPECT_EQ(LoadIconA(nullptr, IDI_WARNING), boxes[0].icon);
    EXPECT_EQ(owner.hwnd(), boxes[0].owner);
    EXPECT_EQ(std::vector<int>{IDOK}, boxes[0].buttons);
    EXPECT_FALSE(boxes[0].sawWhileWaiting);
    EXPECT_EQ(nullptr, FindMessageBox("Saver"));
}

TEST(MessageBoxWatcher, PressesDefaultOrChosenButton) {
    MessageBoxWatcher watcher;
    EXPECT_EQ(IDYES, MessageBoxA(nullptr, "Go on?", "Q1", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "Go on?", "Q2", MB_YESNO | MB_DEFBUTTON2));
    watcher.SetAnswer(IDNO);
    EXPECT_EQ(IDNO, MessageBoxA(nullptr, "Go on?", "Q3", MB_YESNO | MB_ICONERROR));

    const std::vector<BoxInfo> boxes = watcher.Boxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(LoadIconA(nullptr, IDI_QUESTION), boxes[0].icon);
    EXPECT_EQ(nullptr, boxes[1].icon);
    EXPECT_EQ(LoadIconA(nullptr, IDI_ERROR), boxes[2].icon);
    EXPECT_EQ(IDYES, boxes[0].defaultButton);
    EXPECT_EQ(IDNO, boxes[1].defaultButton);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), boxes[2].buttons);
}

TEST(MessageBoxWatcher, EscalatesToCloseForDialogIgnoringCommands) {
    MessageBoxWatcher watcher;
    g_stubbornCommands.clear();
    const DWORD start = GetTickCount();
    EXPECT_EQ(99, RunStubbornDialog());
    EXPECT_GE(GetTickCount() - start, 1800u);
    EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL}), g_stubbornCommands);
    ASSERT_EQ(1u, watcher.Count());
    EXPECT_EQ("Stubborn", watcher.Boxes()[0].caption);
}

TEST(MessageBoxWatcher, LeavesBoxesOpenUntilDismissAll) {
    int result = 0;
    std::thread other;
    {
        MessageBoxWatcher watcher(false);
        other = std::thread([&] { result = MessageBoxA(nullptr, "Waiting", "Other thread", MB_OKCANCEL); });
        EXPECT_TRUE(watcher.WaitForBoxes(1, 5000));
        PumpFor(300);
        EXPECT_NE(nullptr, FindMessageBox("Other thread"));
        EXPECT_EQ(nullptr, FindMessageBox("Some other caption"));
        ASSERT_EQ(1u, watcher.Count());
        EXPECT_TRUE(watcher.Boxes()[0].sawWhileWaiting);
        EXPECT_TRUE(watcher.DismissAll());
        EXPECT_EQ(nullptr, FindMessageBox(nullptr));

        // A box left open when the watcher goes away is dismissed too.
        other.join();
        other = std::thread([&] { result = MessageBoxA(nullptr, "Left", "Left open", MB_OK); });
        EXPECT_TRUE(watcher.WaitForBoxes(2, 5000));
    }
    EXPECT_EQ(nullptr, FindMessageBox("Left open"));
    other.join();
    EXPECT_EQ(IDOK, result);
}

// ---------------------------------------------------------------------------

TEST(Capture, WindowDCShowsWhatWmPaintDrew) {
    HWND h = CreatePaintWindow(WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    ASSERT_NE(nullptr, h);
    EXPECT_TRUE(CaptureClient(h).empty()); // hidden

    ShowWindow(h, SW_SHOWNOACTIVATE);
    const Pixels p = CaptureClient(h);
    ASSERT_EQ(160, p.width);
    ASSERT_EQ(120, p.height);
    EXPECT_EQ(RGB(255, 0, 0), p.At(10, 10));
    EXPECT_EQ(RGB(255, 0, 0), p.At(49, 39));
    EXPECT_EQ(RGB(0, 0, 255), p.At(50, 40));
    EXPECT_EQ(RGB(0, 0, 255), p.At(9, 10));
    EXPECT_EQ(40 * 30, p.CountColor(RGB(255, 0, 0)));
    const RECT inner = {0, 0, 20, 20};
    EXPECT_EQ(100, p.CountColor(RGB(255, 0, 0), &inner));
    EXPECT_EQ(CLR_INVALID, p.At(-1, 0));
    EXPECT_EQ(CLR_INVALID, p.At(160, 0));

    // WM_PRINTCLIENT output only; the rest keeps the background.
    const Pixels printed = PaintToDIB(h, RGB(1, 2, 3));
    EXPECT_EQ(RGB(0, 255, 0), printed.At(2, 2));
    EXPECT_EQ(RGB(1, 2, 3), printed.At(20, 20));

    PumpFor(200); // let the screen catch up
    POINT pt = {20, 20};
    ClientToScreen(h, &pt);
    EXPECT_EQ(RGB(255, 0, 0), CaptureScreen().At(pt.x, pt.y));
    DestroyWindow(h);
}

TEST(Capture, SaveBmpWritesPaddedBottomUpRows) {
    Pixels p;
    p.width = 3;
    p.height = 2;
    p.data = {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(10, 11, 12), RGB(13, 14, 15), RGB(16, 17, 18)};
    const std::string path = ExeDir() + "wintest_save.bmp";
    ASSERT_TRUE(SaveBmp(p, path.c_str()));
    std::vector<unsigned char> b(200);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    b.resize(std::fread(b.data(), 1, b.size(), f));
    std::fclose(f);
    DeleteFileA(path.c_str());

    const size_t headers = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    ASSERT_EQ(headers + 2 * 12, b.size()); // 9 bytes a row, padded to 12
    BITMAPINFOHEADER ih;
    std::memcpy(&ih, b.data() + sizeof(BITMAPFILEHEADER), sizeof ih);
    EXPECT_EQ(2, ih.biHeight); // positive: bottom row first
    const unsigned char* rows = b.data() + headers;
    EXPECT_EQ((std::vector<unsigned char>{12, 11, 10}), std::vector<unsigned char>(rows, rows + 3));
    EXPECT_EQ((std::vector<unsigned char>{3, 2, 1}), std::vector<unsigned char>(rows + 12, rows + 15));
}

// ---------------------------------------------------------------------------

TEST(Processes, ReportsExitCode) {
    char sys[MAX_PATH];
    GetSystemDirectoryA(sys, MAX_PATH);
    Process p = StartProcess(std::string(sys) + "\\cmd.exe", "/c exit 7", SW_HIDE);
    ASSERT_TRUE(p);
    DWORD code = 0;
    EXPECT_TRUE(WaitExit(p, 20000, &code));
    EXPECT_EQ(7u, code);
    KillProcess(p);
    EXPECT_FALSE(p);
    EXPECT_FALSE(StartProcess(ExeDir() + "no-such-program.exe"));
}

// Run as a child by the test below.
TEST(ChildProcess, DISABLED_ShowsWindowUntilKilled) {
    MessageRecorder rec(nullptr, "WinTestChild", "child");
    PumpFor(60000);
}

TEST(Processes, FindsWindowOfChildAndKillsIt) {
    Process p = StartProcess(SelfPath(),
                             "--gtest_also_run_disabled_tests "
                             "--gtest_filter=ChildProcess.DISABLED_ShowsWindowUntilKilled",
                             SW_HIDE);
    ASSERT_TRUE(p);
    const DWORD pid = p.pid;
    EXPECT_NE(nullptr, WaitForWindow("WinTestChild", "child", 30000, pid));
    EXPECT_EQ(nullptr, WaitForWindow("WinTestChild", "child", 100, GetCurrentProcessId()));
    EXPECT_EQ(nullptr, WaitForWindow("WinTestChild", "other title", 100, pid));
    EXPECT_EQ(1, CountWindows("WinTestChild", pid));
    EXPECT_FALSE(WaitExit(p, 100));

    KillProcess(p);
    EXPECT_TRUE(PumpUntil([&] { return CountWindows("WinTestChild", pid) == 0; }, 5000));
}

// ---------------------------------------------------------------------------

TEST(MessageRecorder, SentFlagMarksSendsFromOtherThreads) {
    MessageRecorder rec;
    rec.Clear();
    SendMessageA(rec.hwnd(), WM_APP, 1, 0);
    PostMessageA(rec.hwnd(), WM_APP, 2, 0);
    std::thread t([&] { SendMessageA(rec.hwnd(), WM_APP, 3, 30); });
    EXPECT_TRUE(rec.WaitFor(WM_APP, 3, 5000));
    t.join();

    const std::vector<Recorded> got = rec.Received(WM_APP);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(got.size(), rec.All().size());
    for (const Recorded& r : got) {
        EXPECT_EQ(r.wParam == 3, r.sent) << "wParam " << r.wParam;
        if (r.wParam == 3) {
            EXPECT_EQ(30, r.lParam);
        }
    }
}

TEST(MessageRecorder, HandlerSeesArgumentsAndSuppliesResult) {
    MessageRecorder rec;
    std::string seen;
    rec.OnMessage(WM_SETTEXT, [&](HWND, UINT, WPARAM, LPARAM l) -> LRESULT {
        seen = reinterpret_cast<const char*>(l);
        return 42;
    });
    EXPECT_EQ(42, SendMessageA(rec.hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("hello")));
    EXPECT_EQ("hello", seen);
    EXPECT_EQ(1u, rec.Count(WM_SETTEXT));

    rec.OnMessage(WM_SETTEXT, nullptr); // back to DefWindowProc
    SetWindowTextA(rec.hwnd(), "plain");
    char text[32] = {};
    GetWindowTextA(rec.hwnd(), text, sizeof text);
    EXPECT_STREQ("plain", text);
    EXPECT_EQ("hello", seen);

    rec.OnMessage(WM_APP, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("x"); });
    EXPECT_EQ(0, SendMessageA(rec.hwnd(), WM_APP, 0, 0));
    EXPECT_EQ(1u, rec.Count(WM_APP));
}

TEST(MessageRecorder, CustomClassesAndChildren) {
    HWND posed;
    {
        MessageRecorder a(nullptr, "WinTestPoser", "Poser");
        MessageRecorder b(nullptr, "WinTestPoser", "Poser 2");
        posed = a.hwnd();
        ASSERT_NE(nullptr, b.hwnd());
        EXPECT_EQ(posed, FindWindowA("WinTestPoser", "Poser"));
        EXPECT_EQ(2, CountWindows("WinTestPoser"));
        // Recorded from the very first message on.
        EXPECT_EQ(1u, a.Count(WM_GETMINMAXINFO));
        EXPECT_EQ(1u, a.Count(WM_CREATE));

        MessageRecorder child(a.hwnd());
        ASSERT_NE(nullptr, child.hwnd());
        EXPECT_EQ(a.hwnd(), GetParent(child.hwnd()));
        EXPECT_EQ(1u, child.Count(WM_CREATE));
        const std::vector<Recorded> notes = a.Received(WM_PARENTNOTIFY);
        ASSERT_EQ(1u, notes.size());
        EXPECT_EQ(WM_CREATE, LOWORD(notes[0].wParam));
    }
    EXPECT_FALSE(IsWindow(posed));
}

// ---------------------------------------------------------------------------

TEST(PeImage, ReadsImportsOfThisExe) {
    PeImage pe;
    ASSERT_TRUE(pe.Load(SelfPath()));
    EXPECT_FALSE(pe.IsDll());
    EXPECT_EQ(wintest::kBuildMachine, pe.Machine());
    EXPECT_EQ(sizeof(void*) == 8, pe.Is64());
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_CUI, pe.Subsystem());
    EXPECT_TRUE(pe.ImportsDll("kernel32.dll"));
    EXPECT_TRUE(pe.ImportsFunction("KERNEL32.DLL", "GetModuleFileNameA"));
    EXPECT_TRUE(pe.ImportsFunction("user32.dll", "MessageBoxA"));
    EXPECT_FALSE(pe.ImportsFunction("user32.dll", "GetModuleFileNameA"));
    EXPECT_TRUE(pe.Exports().empty());
}

// Both layouts, whichever the test program itself is.
template <class Pe>
class PeImageLayout : public ::testing::Test {};
using PeLayouts = ::testing::Types<Pe32, Pe64>;
class PeLayoutNames {
public:
    template <class Pe>
    static std::string GetName(int) { return std::is_same<Pe, Pe64>::value ? "PE32plus" : "PE32"; }
};
TYPED_TEST_SUITE(PeImageLayout, PeLayouts, PeLayoutNames);

TYPED_TEST(PeImageLayout, ReadsExportsAndImportsOfSyntheticDll) {
    const std::vector<unsigned char> dll = SyntheticDll<TypeParam>();
    PeImage pe;
    ASSERT_TRUE(pe.LoadData(dll.data(), dll.size()));
    EXPECT_TRUE(pe.IsDll());
    EXPECT_EQ(TypeParam::kMachine, pe.Machine());
    EXPECT_EQ(TypeParam::kMagic == IMAGE_NT_OPTIONAL_HDR64_MAGIC, pe.Is64());
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, pe.Subsystem());
    EXPECT_EQ("synth.dll", pe.ExportDllName());
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Gamma"}), pe.ExportNames());
    const std::vector<std::pair<WORD, std::string>> expected = {{5, "Alpha"}, {7, "Gamma"}, {8, ""}};
    EXPECT_EQ(expected, pe.Exports());

    const std::vector<PeImport> imports = pe.Imports();
    ASSERT_EQ(2u, imports.size());
    EXPECT_EQ("foo.dll", imports[0].dll);
    EXPECT_EQ(std::vector<std::string>{"Bar"}, imports[0].names);
    EXPECT_EQ(std::vector<WORD>{42}, imports[0].ordinals);
    EXPECT_EQ("bar.dll", imports[1].dll);
    EXPECT_EQ(std::vector<std::string>{"Baz"}, imports[1].names);
    EXPECT_TRUE(imports[1].ordinals.empty());
}

TYPED_TEST(PeImageLayout, DamagedInputGivesNoCrashAndNoInventedData) {
    const std::vector<unsigned char> dll = SyntheticDll<TypeParam>();
    const size_t headersEnd = 0x44 + sizeof(IMAGE_FILE_HEADER) + sizeof(typename TypeParam::OptionalHeader) +
                              sizeof(IMAGE_SECTION_HEADER);
    PeImage pe;
    for (size_t n = 0; n < dll.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(n >= headersEnd, pe.LoadData(dll.data(), n));
        EXPECT_LE(pe.Exports().size(), 3u);
        EXPECT_LE(pe.ExportNames().size(), 2u);
        for (const PeImport& imp : pe.Imports()) EXPECT_LE(imp.names.size() + imp.ordinals.size(), 2u);
        pe.ExportDllName();
    }

    // Unterminated name at the end of the file: the DLL name is dropped.
    std::vector<unsigned char> cut = dll;
    const size_t nameOff = 0x1080 - 0x1000 + 0x200;
    std::memset(cut.data() + nameOff, 'x', cut.size() - nameOff);
    ASSERT_TRUE(pe.LoadData(cut.data(), cut.size()));
    EXPECT_EQ("", pe.ExportDllName());

    // Past its raw size a section is zero-filled memory, whatever the file
    // holds there: the import directory (at offset 0x100) is then empty.
    std::vector<unsigned char> shortRaw = dll;
    const DWORD rawSize = 0x100;
    std::memcpy(shortRaw.data() + headersEnd - sizeof(IMAGE_SECTION_HEADER) +
                    offsetof(IMAGE_SECTION_HEADER, SizeOfRawData),
                &rawSize, sizeof rawSize);
    ASSERT_TRUE(pe.LoadData(shortRaw.data(), shortRaw.size()));
    EXPECT_EQ(3u, pe.Exports().size());
    EXPECT_TRUE(pe.Imports().empty());

    std::vector<unsigned char> notPe = dll;
    notPe[0x40] = 'X';
    EXPECT_FALSE(pe.LoadData(notPe.data(), notPe.size()));
    EXPECT_FALSE(pe.IsLoaded());
    EXPECT_TRUE(pe.Imports().empty());
    EXPECT_FALSE(pe.Load(ExeDir() + "no-such-file.dll"));
}
