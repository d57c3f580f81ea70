#include "wintest.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace wintest {

namespace {

thread_local bool t_quitSeen = false;
thread_local WPARAM t_quitCode = 0;

DWORD Elapsed(DWORD start) { return GetTickCount() - start; }

// Class name of a window, "" on failure.
std::string ClassOf(HWND hwnd) {
    char buf[256] = {};
    if (!GetClassNameA(hwnd, buf, sizeof buf)) return std::string();
    return buf;
}

// Window text without risking a hang when the owner thread does not pump:
// WM_GETTEXT with a timeout rather than GetWindowTextA.
std::string TextOf(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000, &len))
        return std::string();
    std::vector<char> buf(len + 2, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, 1000, &got))
        return std::string();
    return std::string(buf.data());
}

// Visible top-level windows of this process with class "#32770", in Z order.
struct DialogScan {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<DialogScan*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != c->pid || !IsWindowVisible(h)) return TRUE;
    char cls[16] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0) return TRUE;
    try {
        c->found.push_back(h);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

std::vector<HWND> ProcessDialogs() {
    DialogScan scan{GetCurrentProcessId(), {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&scan));
    return scan.found;
}

// Children of interest in a message box.
struct BoxParts {
    HWND box = nullptr;
    HWND text = nullptr;        // static with id 0xFFFF
    HWND firstStatic = nullptr; // first other non-icon static
    HWND icon = nullptr;        // static with SS_ICON
    std::vector<HWND> buttons;  // push buttons
};

BOOL CALLBACK CollectBoxPart(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<BoxParts*>(lp);
    if (GetParent(h) != c->box) return TRUE; // direct children only
    const std::string cls = ClassOf(h);
    const LONG style = GetWindowLongA(h, GWL_STYLE);
    if (lstrcmpiA(cls.c_str(), "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            if (!c->icon) c->icon = h;
        } else if ((GetDlgCtrlID(h) & 0xFFFF) == 0xFFFF) {
            if (!c->text) c->text = h;
        } else if (!c->firstStatic) {
            c->firstStatic = h;
        }
    } else if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            try {
                c->buttons.push_back(h);
            } catch (...) {
                return FALSE;
            }
        }
    }
    return TRUE;
}

// One step of dismissing a box: the chosen answer first, then IDCANCEL, then
// WM_CLOSE for boxes that ignore both (e.g. Yes/No boxes ignore IDCANCEL).
void DismissStep(HWND box, int stage, int answer, int defaultButton) {
    if (stage == 0) {
        int id = answer ? answer : defaultButton ? defaultButton : IDOK;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    } else if (stage == 1) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDCANCEL)));
    } else {
        PostMessageA(box, WM_CLOSE, 0, 0);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Pumping
// ---------------------------------------------------------------------------

int PumpPending() {
    MSG msg;
    int n = 0;
    // Bounded: a window that never validates itself gets WM_PAINT forever.
    while (n < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++n;
        if (msg.message == WM_QUIT) {
            t_quitSeen = true;
            t_quitCode = msg.wParam;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return n;
}

bool PumpUntil(std::function<bool()> done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (done()) return true;
        const DWORD elapsed = Elapsed(start);
        if (elapsed >= timeoutMs) return done();
        const DWORD wait = (std::min)(DWORD(10), timeoutMs - elapsed);
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool TakeQuit(WPARAM* exitCode) {
    const bool seen = t_quitSeen;
    if (seen && exitCode) *exitCode = t_quitCode;
    t_quitSeen = false;
    t_quitCode = 0;
    return seen;
}

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

BoxInfo ReadMessageBox(HWND box) {
    BoxInfo info;
    info.hwnd = box;
    info.caption = TextOf(box);
    info.owner = GetWindow(box, GW_OWNER);

    // The message text sits in a static with id 0xFFFF; dialogs built
    // differently get the text of their first non-icon static instead.
    BoxParts ctx;
    ctx.box = box;
    EnumChildWindows(box, CollectBoxPart, reinterpret_cast<LPARAM>(&ctx));

    if (HWND t = ctx.text ? ctx.text : ctx.firstStatic) info.text = TextOf(t);
    if (ctx.icon) {
        DWORD_PTR icon = 0;
        if (SendMessageTimeoutA(ctx.icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon))
            info.icon = reinterpret_cast<HICON>(icon);
    }
    // The button styled BS_DEFPUSHBUTTON is the one Enter presses. DM_GETDEFID
    // is only a fallback: Wine's message box answers IDOK to it even when it
    // has no OK button.
    for (HWND b : ctx.buttons) {
        const int id = GetDlgCtrlID(b);
        info.buttons.push_back(id);
        if (!info.defaultButton && (GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            info.defaultButton = id;
    }
    DWORD_PTR def = 0;
    if (!info.defaultButton &&
        SendMessageTimeoutA(box, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 500, &def) &&
        HIWORD(def) == DC_HASDEFID &&
        std::find(info.buttons.begin(), info.buttons.end(), int(LOWORD(def))) != info.buttons.end())
        info.defaultButton = LOWORD(def);
    return info;
}

HWND FindMessageBox(const char* caption) {
    for (HWND h : ProcessDialogs()) {
        if (!caption || TextOf(h) == caption) return h;
    }
    return nullptr;
}

MessageBoxWatcher::MessageBoxWatcher(bool autoDismiss) : autoDismiss_(autoDismiss) {
    wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    DismissAll(3000);
    stop_ = true;
    SetEvent(wake_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(wake_);
}

void MessageBoxWatcher::Run() {
    while (!stop_) {
        Scan();
        WaitForSingleObject(wake_, 20);
    }
}

void MessageBoxWatcher::Scan() {
    const std::vector<HWND> open = ProcessDialogs();

    // Forget boxes that are gone, so that a recycled handle counts as new.
    tracked_.erase(std::remove_if(tracked_.begin(), tracked_.end(),
                                  [&](const Tracked& t) {
                                      return std::find(open.begin(), open.end(), t.hwnd) == open.end();
                                  }),
                   tracked_.end());
    unfinished_.erase(std::remove_if(unfinished_.begin(), unfinished_.end(),
                                     [&](const std::pair<HWND, DWORD>& u) {
                                         return std::find(open.begin(), open.end(), u.first) == open.end();
                                     }),
                      unfinished_.end());

    const DWORD now = GetTickCount();
    for (HWND h : open) {
        auto it = std::find_if(tracked_.begin(), tracked_.end(),
                               [h](const Tracked& t) { return t.hwnd == h; });
        if (it == tracked_.end()) {
            BoxInfo info = ReadMessageBox(h);
            // A box is visible a moment before its texts and buttons are
            // in place (a long moment on a slow or emulated machine): read
            // it again at the next look, for up to two seconds.
            auto seen = std::find_if(unfinished_.begin(), unfinished_.end(),
                                     [h](const std::pair<HWND, DWORD>& u) { return u.first == h; });
            const bool filled = !info.buttons.empty() && !info.caption.empty() && !info.text.empty();
            if (!filled && (seen == unfinished_.end() || Elapsed(seen->second) < 2000)) {
                if (seen == unfinished_.end()) unfinished_.emplace_back(h, now);
                continue;
            }
            if (seen != unfinished_.end()) unfinished_.erase(seen);
            info.sawWhileWaiting = waiting_ > 0;
            const int defaultButton = info.defaultButton;
            {
                std::lock_guard<std::mutex> lock(mu_);
                boxes_.push_back(std::move(info));
            }
            tracked_.push_back(Tracked{h, defaultButton, 0, now});
            it = tracked_.end() - 1;
        }
        if (!autoDismiss_ && !dismissing_) continue;
        // Steps: answer at once, IDCANCEL after a second, then WM_CLOSE
        // every further second.
        if (it->stage == 0 || Elapsed(it->lastStep) >= 1000) {
            DismissStep(h, it->stage, answer_, it->defaultButton);
            ++it->stage;
            it->lastStep = GetTickCount();
        }
    }
}

std::vector<BoxInfo> MessageBoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> lock(mu_);
    return boxes_;
}

size_t MessageBoxWatcher::Count() const {
    std::lock_guard<std::mutex> lock(mu_);
    return boxes_.size();
}

void MessageBoxWatcher::Clear() {
    std::lock_guard<std::mutex> lock(mu_);
    boxes_.clear();
}

bool MessageBoxWatcher::WaitForBoxes(size_t n, DWORD timeoutMs) {
    ++waiting_;
    const bool ok = PumpUntil([&] { return Count() >= n; }, timeoutMs);
    --waiting_;
    return ok;
}

bool MessageBoxWatcher::DismissAll(DWORD timeoutMs) {
    if (ProcessDialogs().empty()) return true;
    dismissing_ = true;
    SetEvent(wake_);
    const bool ok = PumpUntil([] { return ProcessDialogs().empty(); }, timeoutMs);
    dismissing_ = false;
    return ok;
}

// ---------------------------------------------------------------------------
// Pixels
// ---------------------------------------------------------------------------

COLORREF Pixels::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return data[size_t(y) * width + x];
}

int Pixels::CountColor(COLORREF c, const RECT* area) const {
    RECT r = {0, 0, width, height};
    if (area) {
        r.left = (std::max)(0L, area->left);
        r.top = (std::max)(0L, area->top);
        r.right = (std::min)(LONG(width), area->right);
        r.bottom = (std::min)(LONG(height), area->bottom);
    }
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (data[size_t(y) * width + x] == c) ++n;
    return n;
}

namespace {

// A 32-bit top-down DIB section selected into a new memory DC.
struct DibDC {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    DWORD* bits = nullptr;
    int w = 0, h = 0;

    DibDC(int width, int height) : w(width), h(height) {
        if (w <= 0 || h <= 0) return;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h; // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* p = nullptr;
        bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
        if (!bmp) return;
        bits = static_cast<DWORD*>(p);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bmp);
    }
    ~DibDC() {
        if (dc) {
            SelectObject(dc, old);
            DeleteDC(dc);
        }
        if (bmp) DeleteObject(bmp);
    }
    DibDC(const DibDC&) = delete;
    DibDC& operator=(const DibDC&) = delete;

    bool ok() const { return dc && bits; }

    Pixels ToPixels() const {
        Pixels p;
        if (!ok()) return p;
        GdiFlush();
        p.width = w;
        p.height = h;
        p.data.resize(size_t(w) * h);
        for (size_t i = 0; i < p.data.size(); ++i) {
            const DWORD v = bits[i]; // 0x00RRGGBB in memory order B, G, R, x
            p.data[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
        }
        return p;
    }
};

} // namespace

Pixels CaptureDC(HDC dc, int w, int h, int x, int y) {
    DibDC dib(w, h);
    if (!dc || !dib.ok()) return Pixels();
    if (!BitBlt(dib.dc, 0, 0, w, h, dc, x, y, SRCCOPY)) return Pixels();
    return dib.ToPixels();
}

Pixels CaptureWindowDC(HWND hwnd) {
    // A hidden window has nothing behind its DC (Wine gives black), so give
    // an empty result rather than misleading pixels.
    if (!IsWindowVisible(hwnd)) return Pixels();
    UpdateWindow(hwnd);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HDC dc = GetDC(hwnd);
    if (!dc) return Pixels();
    Pixels p = CaptureDC(dc, rc.right - rc.left, rc.bottom - rc.top);
    ReleaseDC(hwnd, dc);
    return p;
}

Pixels PaintToDIB(HWND hwnd, COLORREF background) {
    if (!IsWindow(hwnd)) return Pixels();
    RECT rc;
    GetClientRect(hwnd, &rc);
    DibDC dib(rc.right - rc.left, rc.bottom - rc.top);
    if (!dib.ok()) return Pixels();
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dib.dc, &rc, brush);
    DeleteObject(brush);
    SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.dc), PRF_CLIENT | PRF_ERASEBKGND);
    return dib.ToPixels();
}

Pixels CaptureClient(HWND hwnd) { return CaptureWindowDC(hwnd); }

Pixels CaptureScreen() {
    HDC dc = GetDC(nullptr);
    if (!dc) return Pixels();
    Pixels p = CaptureDC(dc, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    ReleaseDC(nullptr, dc);
    return p;
}

bool SaveBmp(const Pixels& pixels, const char* path) {
    if (pixels.empty() || !path) return false;
    const int w = pixels.width, h = pixels.height;
    const DWORD stride = (DWORD(w) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * DWORD(h);

    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42; // "BM"
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + imageSize;
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h; // bottom-up
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = imageSize;

    std::vector<unsigned char> body(imageSize, 0);
    for (int y = 0; y < h; ++y) {
        unsigned char* row = body.data() + size_t(h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            const COLORREF c = pixels.data[size_t(y) * w + x];
            row[x * 3 + 0] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }

    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&ih, sizeof ih, 1, f) == 1 &&
              std::fwrite(body.data(), 1, body.size(), f) == body.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

// ---------------------------------------------------------------------------
// Processes and windows
// ---------------------------------------------------------------------------

std::wstring Utf16(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], int(wide.size()));
    wide.resize(size_t(units > 0 ? units : 0));
    return wide;
}

std::string Repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines(1);
    for (wchar_t c : text) {
        if (c == L'\n') lines.emplace_back();
        else lines.back() += c;
    }
    return lines;
}

std::string ExeDir() {
    char path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    const size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : s.substr(0, slash + 1);
}

Process StartProcess(const std::string& exePath, const std::string& args, WORD showCmd) {
    std::string cmd = "\"" + exePath + "\"";
    if (!args.empty()) cmd += " " + args;
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showCmd;
    PROCESS_INFORMATION pi = {};
    Process p;
    if (!CreateProcessA(exePath.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return p;
    CloseHandle(pi.hThread);
    p.process = pi.hProcess;
    p.pid = pi.dwProcessId;
    return p;
}

bool WaitExit(const Process& p, DWORD timeoutMs, DWORD* exitCode) {
    if (!p.process) return false;
    const bool ended = PumpUntil([&] { return WaitForSingleObject(p.process, 0) == WAIT_OBJECT_0; },
                                 timeoutMs);
    if (ended && exitCode) GetExitCodeProcess(p.process, exitCode);
    return ended;
}

void KillProcess(Process& p) {
    if (!p.process) return;
    if (WaitForSingleObject(p.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(p.process, 1);
        WaitForSingleObject(p.process, 5000);
    }
    CloseHandle(p.process);
    p.process = nullptr;
    p.pid = 0;
}

namespace {

std::vector<HWND> TopLevel(const char* className, const char* title, DWORD pid) {
    std::vector<HWND> found;
    HWND h = nullptr;
    while ((h = FindWindowExA(nullptr, h, className, title)) != nullptr) {
        if (pid) {
            DWORD owner = 0;
            GetWindowThreadProcessId(h, &owner);
            if (owner != pid) continue;
        }
        found.push_back(h);
    }
    return found;
}

} // namespace

static INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

HWND MakeEmptyDialog(int x, int y, int width, int height) {
    struct alignas(4) Template {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } tmpl = {};
    tmpl.header.style = WS_POPUP | WS_VISIBLE;
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tmpl.header, nullptr, QuietDialog, 0);
    if (dialog) SetWindowPos(dialog, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
    return dialog;
}

HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs, DWORD pid) {
    HWND found = nullptr;
    PumpUntil(
        [&] {
            const std::vector<HWND> all = TopLevel(className, title, pid);
            found = all.empty() ? nullptr : all.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

int CountWindows(const char* className, DWORD pid) {
    return int(TopLevel(className, nullptr, pid).size());
}

// ---------------------------------------------------------------------------
// MessageRecorder
// ---------------------------------------------------------------------------

namespace {
// Messages sent before WM_NCCREATE (WM_GETMINMAXINFO) arrive before the
// window knows its recorder.
thread_local MessageRecorder* t_creating = nullptr;
} // namespace

LRESULT CALLBACK RecorderProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<MessageRecorder*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!self && m == WM_NCCREATE) {
        self = static_cast<MessageRecorder*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) self = t_creating;
    if (!self) return DefWindowProcA(h, m, w, l);
    LRESULT r;
    try {
        r = self->Handle(h, m, w, l);
    } catch (...) {
        r = DefWindowProcA(h, m, w, l);
    }
    if (m == WM_NCDESTROY) SetWindowLongPtrA(h, GWLP_USERDATA, 0);
    return r;
}

MessageRecorder::MessageRecorder(HWND parent, const std::string& className, const std::string& title) {
    static std::mutex regMu;
    static std::set<std::string> registered;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    {
        std::lock_guard<std::mutex> lock(regMu);
        if (!registered.count(className)) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = RecorderProc;
            wc.hInstance = inst;
            wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = className.c_str();
            if (RegisterClassA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
                registered.insert(className);
        }
    }
    const DWORD style = parent ? WS_CHILD : WS_OVERLAPPEDWINDOW;
    MessageRecorder* prev = t_creating;
    t_creating = this;
    hwnd_ = CreateWindowExA(0, className.c_str(), title.c_str(), style, 0, 0, 200, 150, parent,
                            nullptr, inst, this);
    t_creating = prev;
}

MessageRecorder::~MessageRecorder() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

LRESULT MessageRecorder::Handle(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (!hwnd_) hwnd_ = h;
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(mu_);
        log_.push_back(Recorded{m, w, l, InSendMessage() != FALSE});
        auto it = handlers_.find(m);
        if (it != handlers_.end()) handler = it->second;
    }
    // Called without the lock so that a handler may inspect the recorder.
    if (handler) return handler(h, m, w, l);
    return DefWindowProcA(h, m, w, l);
}

std::vector<Recorded> MessageRecorder::All() const {
    std::lock_guard<std::mutex> lock(mu_);
    return log_;
}

std::vector<Recorded> MessageRecorder::Received(UINT msg) const {
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<Recorded> out;
    for (const Recorded& r : log_)
        if (r.msg == msg) out.push_back(r);
    return out;
}

size_t MessageRecorder::Count(UINT msg) const {
    std::lock_guard<std::mutex> lock(mu_);
    return size_t(std::count_if(log_.begin(), log_.end(), [msg](const Recorded& r) { return r.msg == msg; }));
}

void MessageRecorder::Clear() {
    std::lock_guard<std::mutex> lock(mu_);
    log_.clear();
}

bool MessageRecorder::WaitFor(UINT msg, size_t n, DWORD timeoutMs) {
    return PumpUntil([&] { return Count(msg) >= n; }, timeoutMs);
}

void MessageRecorder::OnMessage(UINT msg, Handler h) {
    std::lock_guard<std::mutex> lock(mu_);
    if (h)
        handlers_[msg] = std::move(h);
    else
        handlers_.erase(msg);
}

} // namespace wintest
