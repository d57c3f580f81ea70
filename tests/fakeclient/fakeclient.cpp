// CorvidStandIn: stands in for the mail client in end-to-end tests. It shows
// one plain top-level window (class "FRAME", title "Corvid Mail" unless told
// otherwise) and appends a line to a log file for everything that happens to
// it, so that a test in another process can see whether the window was
// restored, activated or closed, and how often the program was started.
//
//   CorvidStandIn.exe [--log PATH] [--class NAME] [--title TEXT] [--minimized]
//
// The log is PATH, else the file named by the environment variable
// CORVID_STANDIN_LOG (so that a copy started by another program without
// arguments still logs where the test looks), else CorvidStandIn.log beside
// the program. Each line is "<pid> <event>[ <detail>]"; the file is opened,
// appended to and closed for every line, so readers always see whole lines.
//
// Events: started [<arguments>]; shown normal|minimized|maximized;
// minimized; restored (leaving the minimised state); maximized;
// restore-command (WM_SYSCOMMAND SC_RESTORE); activated; deactivated;
// app-activated; app-deactivated; closed (WM_CLOSE); exit <code>.
//
//   CorvidStandIn.exe --write PATH SECONDS
//   CorvidStandIn.exe --delete PATH
//   CorvidStandIn.exe --rename PATH NEWPATH
//
// These stand in for the client's own work in its new-mail directory; they
// show no window, log nothing and exit with 0, or the Windows error code
// when the file operation fails. --write creates the message PATH and writes
// it as a slow client would: the From line, a Received line every quarter
// of a second for SECONDS seconds, the Subject line "Written over SECONDS s"
// last, then the empty line and a body. --delete and --rename try once.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_log;
enum class SizeState { Normal, Minimized, Maximized } g_state = SizeState::Normal;

void Log(const std::string& event) {
    char pid[16];
    std::snprintf(pid, sizeof pid, "%lu ", GetCurrentProcessId());
    const std::string line = pid + event + "\r\n";
    // Other processes read the log while this one writes it.
    HANDLE f = CreateFileA(g_log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, line.data(), DWORD(line.size()), &written, nullptr);
    CloseHandle(f);
}

std::string DefaultLog() {
    char value[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableA("CORVID_STANDIN_LOG", value, sizeof value);
    if (n > 0 && n < sizeof value) return value;
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    const size_t slash = s.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : s.substr(0, slash + 1)) + "CorvidStandIn.log";
}

// Everything after the program name, as given.
std::string Arguments() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        p = std::strchr(p + 1, '"');
        p = p ? p + 1 : "";
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
    case WM_SIZE:
        if (w == SIZE_MINIMIZED && g_state != SizeState::Minimized) {
            g_state = SizeState::Minimized;
            Log("minimized");
        } else if (w == SIZE_MAXIMIZED && g_state != SizeState::Maximized) {
            g_state = SizeState::Maximized;
            Log("maximized");
        } else if (w == SIZE_RESTORED && g_state != SizeState::Normal) {
            g_state = SizeState::Normal;
            Log("restored");
        }
        break;
    case WM_SYSCOMMAND:
        if ((w & 0xFFF0) == SC_RESTORE) Log("restore-command");
        break;
    case WM_ACTIVATE:
        Log(LOWORD(w) == WA_INACTIVE ? "deactivated" : "activated");
        break;
    case WM_ACTIVATEAPP:
        Log(w ? "app-activated" : "app-deactivated");
        break;
    case WM_CLOSE:
        Log("closed");
        DestroyWindow(h);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, m, w, l);
}

// Appends text to the open file; false when the write fails.
bool Append(HANDLE f, const std::string& text) {
    DWORD written = 0;
    return WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
}

DWORD WriteSlowly(const char* path, int seconds) {
    // Readers may look in meanwhile, as the watcher does.
    HANDLE f = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return GetLastError();
    bool ok = Append(f, "From: \"Priya Raman\" <priya.raman@example.net>\r\n");
    const DWORD start = GetTickCount();
    for (int hop = 0; ok && GetTickCount() - start < DWORD(seconds) * 1000; ++hop) {
        Sleep(250);
        ok = Append(f, "Received: from relay" + std::to_string(hop) + ".example.org by mx.example.net\r\n");
    }
    ok = ok && Append(f, "Subject: Written over " + std::to_string(seconds) + " s\r\n\r\nHello.\r\n");
    CloseHandle(f);
    return ok ? 0 : ERROR_WRITE_FAULT;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCmd) {
    if (__argc >= 4 && std::strcmp(__argv[1], "--write") == 0)
        return int(WriteSlowly(__argv[2], std::atoi(__argv[3])));
    if (__argc >= 3 && std::strcmp(__argv[1], "--delete") == 0)
        return DeleteFileA(__argv[2]) ? 0 : int(GetLastError());
    if (__argc >= 4 && std::strcmp(__argv[1], "--rename") == 0)
        return MoveFileA(__argv[2], __argv[3]) ? 0 : int(GetLastError());

    std::string className = "FRAME", title = "Corvid Mail", log;
    bool minimized = false;
    for (int i = 1; i < __argc; ++i) {
        const std::string a = __argv[i];
        const bool hasValue = i + 1 < __argc;
        if (a == "--log" && hasValue) log = __argv[++i];
        else if (a == "--class" && hasValue) className = __argv[++i];
        else if (a == "--title" && hasValue) title = __argv[++i];
        else if (a == "--minimized") minimized = true;
    }
    g_log = log.empty() ? DefaultLog() : log;
    const std::string args = Arguments();
    Log(args.empty() ? "started" : "started " + args);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className.c_str();
    RegisterClassA(&wc);
    HWND frame = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, 80, 60, 480,
                                 320, nullptr, nullptr, instance, nullptr);
    if (!frame) {
        Log("exit 1");
        return 1;
    }
    // Minimised without taking the activation, so that a test decides who
    // is in the foreground.
    ShowWindow(frame, minimized ? SW_SHOWMINNOACTIVE : showCmd);
    UpdateWindow(frame);
    Log(IsIconic(frame) ? "shown minimized" : IsZoomed(frame) ? "shown maximized" : "shown normal");

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Log("exit " + std::to_string(int(msg.wParam)));
    return int(msg.wParam);
}
