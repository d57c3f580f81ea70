// Helpers shared by the test programs: message pumping, modal message box
// handling, pixel capture, child processes and a message-recording window.
//
// Everything here works on the calling thread's message queue unless stated
// otherwise, and uses the ANSI ("A") flavour of the Windows API.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace wintest {

// ---------------------------------------------------------------------------
// Message pumping
// ---------------------------------------------------------------------------

// Dispatches the calling thread's messages until done() returns true or
// timeoutMs has passed; between bursts it sleeps in MsgWaitForMultipleObjects
// for at most 10 ms, so a condition set by another thread is noticed quickly.
// Returns the final value of done().
bool PumpUntil(std::function<bool()> done, DWORD timeoutMs);

// Dispatches the calling thread's messages for ms milliseconds.
void PumpFor(DWORD ms);

// Dispatches what is queued right now (bounded, so a window that never
// validates itself cannot keep the caller here forever). Returns the number
// of messages dispatched.
int PumpPending();

// A WM_QUIT seen by the pump functions is swallowed (otherwise the next pump
// would stop at once); this reports whether one was seen since the last call
// and clears the flag.
bool TakeQuit(WPARAM* exitCode = nullptr);

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

struct BoxInfo {
    HWND hwnd = nullptr;          // no longer valid once the box is gone
    std::string caption;
    std::string text;             // the message text
    HICON icon = nullptr;         // compare with LoadIconA(NULL, IDI_WARNING) etc.
    HWND owner = nullptr;         // GetWindow(box, GW_OWNER)
    std::vector<int> buttons;     // control ids of the push buttons (IDOK, IDYES, ...)
    int defaultButton = 0;        // id of the default push button, 0 if none
    bool sawWhileWaiting = false; // recorded while a WaitForBoxes() call was running
};

// Reads caption, text, icon, owner and buttons of a dialog. Safe to call from
// any thread; it never blocks for long on a hung owner thread.
BoxInfo ReadMessageBox(HWND box);

// First visible top-level dialog ("#32770") of this process whose caption is
// exactly `caption` (any caption if nullptr); NULL if there is none.
HWND FindMessageBox(const char* caption = nullptr);

// Watches for dialogs ("#32770") of this process appearing, records each one
// once and, unless told otherwise, dismisses it, so that code under test that
// opens a modal box on the test thread cannot hang the test.
//
// Dismissal presses the answer chosen with SetAnswer() (by default the box's
// default button, which is what Enter would do); a box still open a second
// later gets IDCANCEL, then WM_CLOSE. Note that every dialog of the process is
// handled, not only message boxes.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(bool autoDismiss = true);
    ~MessageBoxWatcher(); // stops watching and dismisses whatever is still open
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<BoxInfo> Boxes() const;
    size_t Count() const;
    void Clear();

    // Pumps the calling thread's messages until at least n boxes have been
    // recorded or timeoutMs has passed.
    bool WaitForBoxes(size_t n, DWORD timeoutMs);

    // Dismisses every box of the process that is open now or opens while this
    // runs, pumping the calling thread until none is left. Returns true if
    // none is left.
    bool DismissAll(DWORD timeoutMs = 5000);

    // Button id pressed on the boxes dismissed from now on (IDYES, IDNO, ...);
    // 0 means the box's default button (IDOK when it has none).
    void SetAnswer(int buttonId) { answer_ = buttonId; }
    void SetAutoDismiss(bool on) { autoDismiss_ = on; }

private:
    // Boxes seen but not yet filled in (no button, caption or text yet),
    // with when they were first seen.
    std::vector<std::pair<HWND, DWORD>> unfinished_;
    struct Tracked {
        HWND hwnd;
        int defaultButton;
        int stage;     // dismissal steps already taken
        DWORD lastStep;
    };
    void Run();
    void Scan();

    mutable std::mutex mu_;
    std::vector<BoxInfo> boxes_;
    std::vector<Tracked> tracked_; // only touched by the watcher thread
    std::atomic<bool> autoDismiss_;
    std::atomic<bool> dismissing_{false};
    std::atomic<int> answer_{0};
    std::atomic<int> waiting_{0};
    std::atomic<bool> stop_{false};
    HANDLE wake_ = nullptr;
    std::thread thread_;
};

// ---------------------------------------------------------------------------
// Pixels
// ---------------------------------------------------------------------------

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> data; // row-major, top row first, RGB() values

    bool empty() const { return data.empty(); }
    // CLR_INVALID outside the image.
    COLORREF At(int x, int y) const;
    // Number of pixels of exactly colour c, within `area` if given.
    int CountColor(COLORREF c, const RECT* area = nullptr) const;
};

// Copies a w x h area starting at (x, y) of dc.
Pixels CaptureDC(HDC dc, int w, int h, int x = 0, int y = 0);

// Client area of a visible window: UpdateWindow() and then a copy from its
// client DC. This reflects what the window's WM_PAINT drew, under Wine (whose
// windows keep their own surface, so it works even when another window covers
// them) as on Windows. Empty for a hidden window.
Pixels CaptureWindowDC(HWND hwnd);

// Client area as drawn into a memory DC by WM_PRINTCLIENT (PRF_CLIENT |
// PRF_ERASEBKGND), for windows that need not be visible. Only windows that
// handle WM_PRINTCLIENT draw anything: a window that paints in WM_PAINT with
// BeginPaint leaves the bitmap as it started, filled with `background`.
Pixels PaintToDIB(HWND hwnd, COLORREF background = RGB(255, 0, 255));

// The method to use for painting checks: CaptureWindowDC().
Pixels CaptureClient(HWND hwnd);

// The whole primary screen.
Pixels CaptureScreen();

// Writes a 24-bit bottom-up BMP file.
bool SaveBmp(const Pixels& pixels, const char* path);

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// UTF-8 text in UTF-16.
std::wstring Utf16(const std::string& utf8);

// text, `times` times over.
std::string Repeat(const std::string& text, int times);

// The lines of a text, split at each '\n'.
std::vector<std::wstring> SplitLines(const std::wstring& text);

// ---------------------------------------------------------------------------
// Processes and windows
// ---------------------------------------------------------------------------

// Directory of the running executable, with a trailing backslash.
std::string ExeDir();

struct Process {
    HANDLE process = nullptr;
    DWORD pid = 0;
    explicit operator bool() const { return process != nullptr; }
};

// Starts exePath with the given arguments and show command. On failure the
// returned Process is empty.
Process StartProcess(const std::string& exePath, const std::string& args = "",
                     WORD showCmd = SW_SHOWNORMAL);

// Waits for the process to end; stores its exit code if exitCode is given.
// The calling thread's messages are pumped meanwhile.
bool WaitExit(const Process& p, DWORD timeoutMs, DWORD* exitCode = nullptr);

// Terminates the process if it still runs, waits for it and closes the handle.
void KillProcess(Process& p);

// Top-level window with this class and title (either may be nullptr for
// "any"), belonging to process pid if pid is not 0. Pumps while it waits;
// NULL on timeout.
HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs,
                   DWORD pid = 0);

// Number of top-level windows of this class (of process pid if not 0).
int CountWindows(const char* className, DWORD pid = 0);

// A visible, empty modeless dialog at this screen rectangle, whose procedure
// handles nothing: a parent for controls that expect a dialog around them.
HWND MakeEmptyDialog(int x, int y, int width, int height);

// ---------------------------------------------------------------------------
// A window that records what it receives
// ---------------------------------------------------------------------------

struct Recorded {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool sent; // InSendMessage() at receipt: sent from another thread
};

// A hidden window (top-level, or a child of `parent`) that records every
// message it receives. The class is registered on first use of a class name,
// so a test can pose as a window that production code looks for.
class MessageRecorder {
public:
    using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

    explicit MessageRecorder(HWND parent = nullptr,
                             const std::string& className = "WinTestRecorder",
                             const std::string& title = "");
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    HWND hwnd() const { return hwnd_; }

    std::vector<Recorded> All() const;
    std::vector<Recorded> Received(UINT msg) const;
    size_t Count(UINT msg) const;
    void Clear();

    // Pumps until at least n messages `msg` have been received.
    bool WaitFor(UINT msg, size_t n, DWORD timeoutMs);

    // Handles msg with h (its result is the window procedure's result)
    // instead of DefWindowProc; the message is recorded first. An empty
    // handler removes it. Exceptions thrown by a handler are swallowed.
    void OnMessage(UINT msg, Handler h);

private:
    friend LRESULT CALLBACK RecorderProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(HWND h, UINT m, WPARAM w, LPARAM l);

    HWND hwnd_ = nullptr;
    mutable std::mutex mu_;
    std::vector<Recorded> log_;
    std::map<UINT, Handler> handlers_;
};

} // namespace wintest
