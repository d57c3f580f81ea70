/*
 * Entry point of the mail watcher: registers with the 3-D controls library,
 * makes sure only one copy runs per desktop, creates the hidden tray window
 * and runs the message loop until the tray window is destroyed. The loop
 * waits for the mail directory's change signal together with messages.
 */
#include "ctl3d.h"
#include "kwctrl32.h"
#include "resource.h"
#include "watcher.h"

namespace {

const char kMutexName[] = "KWUTILS-Tidbell";
// Only the mutex's existence matters: it marks a running copy and is never
// owned, waited on or closed; the system frees it when the process ends.
HANDLE runningMarker;
HWND mainWindow;

// Tells the running copy to put its tray icon back. Posted, never sent, so
// that this copy does not wait for the other one.
void SignalPreviousInstance()
{
    HWND previous = FindWindowA(MAIL_WINDOW_CLASS, nullptr);
    if (IsWindow(previous)) PostMessageA(previous, WM_RESETTRAYICON, 0, 0);
}

bool RegisterMailWindowClass()
{
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MailWndProc;
    wc.hInstance = appInstance;
    wc.hIcon = LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = MAIL_WINDOW_CLASS;
    return RegisterClassA(&wc) != 0;
}

bool InitInstance()
{
    HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
    if (existing) {
        SignalPreviousInstance();
        return false;
    }
    runningMarker = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!runningMarker) {
        SignalPreviousInstance();
        return false;
    }
    if (!RegisterMailWindowClass()) return false;

    InitControls(appInstance);

    // The window is never shown, whatever show command the program got:
    // the watcher lives in the notification area. Creating it runs the
    // tray window's whole start-up sequence.
    constexpr DWORD kMailWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | 0x0188;
    mainWindow = CreateWindowExA(0, MAIL_WINDOW_CLASS, "Tidbell", kMailWindowStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, appInstance,
                                 nullptr);
    return mainWindow != nullptr;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    appInstance = instance;
    Ctl3dRegister(instance);
    Ctl3dAutoSubclass(instance);

    if (!InitInstance()) return 0;

    WPARAM exitCode = 0;
    while (PumpWatcherMessages(INFINITE, &exitCode)) {
    }
    Ctl3dUnregister(instance);
    return static_cast<int>(exitCode);
}
