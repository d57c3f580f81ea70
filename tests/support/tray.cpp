#include "tray.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace wintest {

namespace {

const DWORD kSendTimeoutMs = 2000;

std::string ClassName(HWND h) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    return cls;
}

DWORD ProcessOf(HWND h) {
    DWORD pid = 0;
    if (h) GetWindowThreadProcessId(h, &pid);
    return pid;
}

// The shell's process, opened for reading and writing its memory.
class ShellProcess {
public:
    explicit ShellProcess(HWND tray) : pid_(ProcessOf(tray)) {
        if (pid_)
            handle_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                      PROCESS_QUERY_INFORMATION,
                                  FALSE, pid_);
    }
    ~ShellProcess() {
        if (handle_) CloseHandle(handle_);
    }
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    HANDLE handle() const { return handle_; }
    DWORD pid() const { return pid_; }

private:
    DWORD pid_ = 0;
    HANDLE handle_ = nullptr;
};

// A block of memory in another process, for messages whose lParam points to
// a structure that the receiving window procedure reads and fills in.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, SIZE_T size) : process_(process), size_(size) {
        if (process_)
            base_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool ok() const { return base_ != nullptr; }
    char* at(SIZE_T offset) const { return base_ + offset; }
    bool Write(SIZE_T offset, const void* data, SIZE_T n) const {
        SIZE_T done = 0;
        return offset + n <= size_ && WriteProcessMemory(process_, base_ + offset, data, n, &done) &&
               done == n;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T n) const {
        SIZE_T done = 0;
        return offset + n <= size_ && ReadProcessMemory(process_, base_ + offset, data, n, &done) &&
               done == n;
    }

private:
    HANDLE process_;
    SIZE_T size_;
    char* base_ = nullptr;
};

bool SendTimeout(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD_PTR* result) {
    return SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, result) !=
           0;
}

struct ShellTool {
    HWND tooltip;
    std::string text;    // in this process's code page, as icon tips are compared
    std::wstring wide;   // as the control holds it
    RECT rect;           // taskbar client coordinates; empty for a balloon
    bool shownBalloon;   // a tooltip in balloon style, on the screen
};

struct CollectTooltips {
    HWND tray;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTooltip(HWND h, LPARAM lp) {
    auto* c = reinterpret_cast<CollectTooltips*>(lp);
    if (GetWindow(h, GW_OWNER) == c->tray && ClassName(h) == TOOLTIPS_CLASSA) c->found.push_back(h);
    return TRUE;
}

// The first tool of each tooltip control owned by the taskbar: the icons'
// tips and the balloons. The tool structure and its text buffer live in the
// shell's process, where the control reads and fills them; the text comes
// in UTF-16, since balloons hold any script.
std::vector<ShellTool> ReadShellTools(HWND tray, const ShellProcess& shell) {
    std::vector<ShellTool> tools;
    CollectTooltips c{tray, {}};
    EnumWindows(CollectTooltip, reinterpret_cast<LPARAM>(&c));
    if (c.found.empty()) return tools;

    // Tool structure first, then a text buffer large enough for the longest
    // text the control hands out (1024 characters).
    const SIZE_T kTextOffset = 256, kTextSize = 2048;
    RemoteBlock block(shell.handle(), kTextOffset + kTextSize + sizeof(wchar_t));
    if (!block.ok()) return tools;
    const std::vector<char> zeros(kTextSize + sizeof(wchar_t), 0);

    for (HWND tip : c.found) {
        DWORD_PTR count = 0;
        if (!SendTimeout(tip, TTM_GETTOOLCOUNT, 0, 0, &count) || count == 0) continue;
        TTTOOLINFOW ti = {};
        ti.cbSize = sizeof ti;
        ti.lpszText = reinterpret_cast<LPWSTR>(block.at(kTextOffset));
        DWORD_PTR ok = 0;
        if (!block.Write(0, &ti, sizeof ti) || !block.Write(kTextOffset, zeros.data(), zeros.size()) ||
            !SendTimeout(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(block.at(0)), &ok) || !ok)
            continue;
        std::vector<wchar_t> text(kTextSize / sizeof(wchar_t) + 1, 0);
        if (!block.Read(0, &ti, sizeof ti) || !block.Read(kTextOffset, text.data(), kTextSize)) continue;
        ShellTool tool{tip, {}, text.data(), ti.rect, false};
        char narrow[kTextSize] = {};
        WideCharToMultiByte(CP_ACP, 0, tool.wide.c_str(), -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        tool.text = narrow;
        tool.shownBalloon = (GetWindowLongA(tip, GWL_STYLE) & TTS_BALLOON) && IsWindowVisible(tip);
        if (IsRectEmpty(&tool.rect) && !tool.shownBalloon) continue; // deleted or hidden icon
        tools.push_back(tool);
    }
    return tools;
}

// ---------------------------------------------------------------------------
// The shell's record of an icon. In this shell each icon is a list node
// laid out as pointer-sized fields
//   next, prev, icon image, owner window, tooltip
// then 32-bit ones
//   state, identifier, callback message, display slot
// then the tip, 128 UTF-16 characters, and the text (256) and the title
// (64) of the balloon the icon last asked for. The shell is of the prefix's
// architecture, as the test programs are: its pointers have their size (4
// bytes in a 32-bit prefix, 8 in a 64-bit one). The node is found by the
// tooltip handle, and accepted only if the list links are plausible, the
// slot says the icon is shown and the stored tip equals the tooltip's text.

const size_t kPointer = sizeof(ULONG_PTR);
const size_t kOwnerAt = 3 * kPointer;
const size_t kTooltipAt = 4 * kPointer;
const size_t kIdAt = 5 * kPointer + 4;
const size_t kCallbackAt = 5 * kPointer + 8;
const size_t kSlotAt = 5 * kPointer + 12;
const size_t kTipAt = 5 * kPointer + 16;
const size_t kTipChars = 128;
const size_t kBalloonTextChars = 256;
const size_t kBalloonTitleChars = 64;
const size_t kBalloonTextAt = kTipAt + kTipChars * sizeof(wchar_t);
const size_t kBalloonTitleAt = kBalloonTextAt + kBalloonTextChars * sizeof(wchar_t);
const size_t kNodeBytes = kBalloonTitleAt + kBalloonTitleChars * sizeof(wchar_t);

template <class T>
T FieldAt(const unsigned char* node, size_t at) {
    T value;
    std::memcpy(&value, node + at, sizeof value);
    return value;
}

struct ShellRecord {
    HWND owner = nullptr;
    UINT id = 0;
    UINT callback = 0;
    std::wstring balloonText;
    std::wstring balloonTitle;
};

// A text field of the node, of at most `chars` characters.
std::wstring NodeText(const unsigned char* node, size_t at, size_t chars) {
    std::wstring text(chars, L'\0');
    std::memcpy(&text[0], node + at, chars * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), chars));
    return text;
}

bool Plausible(const unsigned char* node, HWND tooltip, const std::string& tip, ShellRecord* rec) {
    const ULONG_PTR next = FieldAt<ULONG_PTR>(node, 0), prev = FieldAt<ULONG_PTR>(node, kPointer);
    const ULONG_PTR owner = FieldAt<ULONG_PTR>(node, kOwnerAt);
    const int slot = FieldAt<int>(node, kSlotAt);
    if (FieldAt<ULONG_PTR>(node, kTooltipAt) != reinterpret_cast<ULONG_PTR>(tooltip)) return false;
    if (!next || !prev || (next & (kPointer - 1)) || (prev & (kPointer - 1)) || !owner || slot < 0 || slot > 4096)
        return false;
    wchar_t wide[kTipChars + 1] = {};
    std::memcpy(wide, node + kTipAt, kTipChars * sizeof(wchar_t));
    char narrow[kTipChars * 2 + 1] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    if (tip != narrow) return false;
    rec->owner = reinterpret_cast<HWND>(owner);
    rec->id = FieldAt<UINT>(node, kIdAt);
    rec->callback = FieldAt<UINT>(node, kCallbackAt);
    rec->balloonText = NodeText(node, kBalloonTextAt, kBalloonTextChars);
    rec->balloonTitle = NodeText(node, kBalloonTitleAt, kBalloonTitleChars);
    return true;
}

// Where the node of each tooltip was found last time, per shell process, so
// that most reads need no search of the shell's memory.
std::mutex g_cacheMu;
DWORD g_cachePid = 0;
std::map<HWND, ULONG_PTR> g_nodeAt;

bool ReadNodeAt(HANDLE process, ULONG_PTR at, unsigned char* node) {
    SIZE_T done = 0;
    return ReadProcessMemory(process, reinterpret_cast<void*>(at), node, kNodeBytes, &done) &&
           done == kNodeBytes;
}

// Searches the shell's private writable memory once for the nodes of all
// `wanted` tools; fills `found` (index into wanted -> record) and the cache.
void SearchNodes(const ShellProcess& shell, const std::vector<const ShellTool*>& wanted,
                 std::map<size_t, ShellRecord>* found) {
    std::map<ULONG_PTR, size_t> byHandle;
    for (size_t i = 0; i < wanted.size(); ++i) byHandle[reinterpret_cast<ULONG_PTR>(wanted[i]->tooltip)] = i;

    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const ULONG_PTR end = reinterpret_cast<ULONG_PTR>(si.lpMaximumApplicationAddress);
    ULONG_PTR at = 0;
    MEMORY_BASIC_INFORMATION mbi;
    std::vector<unsigned char> buf;
    while (at < end && found->size() < wanted.size() &&
           VirtualQueryEx(shell.handle(), reinterpret_cast<void*>(at), &mbi, sizeof mbi) == sizeof mbi) {
        const ULONG_PTR base = reinterpret_cast<ULONG_PTR>(mbi.BaseAddress);
        at = base + mbi.RegionSize;
        const DWORD writable = PAGE_READWRITE | PAGE_EXECUTE_READWRITE;
        if (mbi.State != MEM_COMMIT || mbi.Type != MEM_PRIVATE || !(mbi.Protect & writable) ||
            (mbi.Protect & PAGE_GUARD))
            continue;
        buf.assign(mbi.RegionSize, 0);
        SIZE_T done = 0;
        if (!ReadProcessMemory(shell.handle(), mbi.BaseAddress, buf.data(), mbi.RegionSize, &done))
            continue;
        for (size_t off = kTooltipAt; off + kNodeBytes - kTooltipAt <= done; off += kPointer) {
            auto hit = byHandle.find(FieldAt<ULONG_PTR>(buf.data(), off));
            if (hit == byHandle.end() || found->count(hit->second)) continue;
            const unsigned char* node = buf.data() + off - kTooltipAt;
            ShellRecord rec;
            if (!Plausible(node, wanted[hit->second]->tooltip, wanted[hit->second]->text, &rec))
                continue;
            (*found)[hit->second] = rec;
            g_nodeAt[wanted[hit->second]->tooltip] = base + off - kTooltipAt;
        }
    }
}

// The record of each tool, by index into tools.
std::map<size_t, ShellRecord> FindRecords(const ShellProcess& shell, const std::vector<ShellTool>& tools) {
    std::map<size_t, ShellRecord> records;
    std::lock_guard<std::mutex> lock(g_cacheMu);
    if (g_cachePid != shell.pid()) {
        g_nodeAt.clear();
        g_cachePid = shell.pid();
    }
    std::vector<const ShellTool*> missing;
    std::vector<size_t> missingIndex;
    for (size_t i = 0; i < tools.size(); ++i) {
        auto cached = g_nodeAt.find(tools[i].tooltip);
        unsigned char node[kNodeBytes];
        ShellRecord rec;
        if (cached != g_nodeAt.end() && ReadNodeAt(shell.handle(), cached->second, node) &&
            Plausible(node, tools[i].tooltip, tools[i].text, &rec)) {
            records[i] = rec;
            continue;
        }
        missing.push_back(&tools[i]);
        missingIndex.push_back(i);
    }
    if (!missing.empty()) {
        std::map<size_t, ShellRecord> found;
        SearchNodes(shell, missing, &found);
        for (const auto& f : found) records[missingIndex[f.first]] = f.second;
    }
    return records;
}

std::vector<TrayIcon> ReadAll() {
    std::vector<TrayIcon> icons;
    HWND tray = FindTrayWindow();
    if (!tray) return icons;
    ShellProcess shell(tray);
    if (!shell.handle()) return icons;

    // A tip changed between reading the tooltip and reading the record
    // leaves the two different and the icon unattributed: read again.
    std::vector<ShellTool> tools;
    std::map<size_t, ShellRecord> records;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt) Sleep(10);
        tools = ReadShellTools(tray, shell);
        tools.erase(std::remove_if(tools.begin(), tools.end(), [](const ShellTool& t) { return t.shownBalloon; }),
                    tools.end());
        records = FindRecords(shell, tools);
        if (records.size() == tools.size()) break;
    }

    POINT origin = {0, 0};
    ClientToScreen(tray, &origin);
    for (size_t i = 0; i < tools.size(); ++i) {
        TrayIcon icon;
        icon.tooltip = tools[i].tooltip;
        icon.tip = tools[i].text;
        icon.screenRect = tools[i].rect;
        OffsetRect(&icon.screenRect, origin.x, origin.y);
        auto rec = records.find(i);
        if (rec != records.end()) {
            icon.owner = rec->second.owner;
            icon.id = rec->second.id;
            icon.callbackMessage = rec->second.callback;
            icon.balloonText = rec->second.balloonText;
            icon.balloonTitle = rec->second.balloonTitle;
            icon.pid = IsWindow(icon.owner) ? ProcessOf(icon.owner) : 0;
        }
        icons.push_back(icon);
    }
    std::sort(icons.begin(), icons.end(), [](const TrayIcon& a, const TrayIcon& b) {
        return a.screenRect.left != b.screenRect.left ? a.screenRect.left < b.screenRect.left
                                                      : a.screenRect.top < b.screenRect.top;
    });
    return icons;
}

// Polls `done` at most every 50 ms (a read may search the shell's memory)
// while pumping the calling thread's messages.
bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD last = GetTickCount() - 1000;
    bool result = false;
    PumpUntil(
        [&] {
            if (GetTickCount() - last < 50) return false;
            last = GetTickCount();
            result = done();
            return result;
        },
        timeoutMs);
    return result || done();
}

// Where the cursor was before the first click on an icon.
std::atomic<bool> g_homeSaved{false};
POINT g_home = {0, 0};

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

} // namespace

// ---------------------------------------------------------------------------

HWND FindTrayWindow() {
    return FindWindowA("Shell_TrayWnd", nullptr);
}

std::vector<TrayIcon> ReadTrayIcons(DWORD pid) {
    std::vector<TrayIcon> all = ReadAll();
    if (pid) {
        all.erase(std::remove_if(all.begin(), all.end(), [&](const TrayIcon& i) { return i.pid != pid; }),
                  all.end());
    }
    return all;
}

bool FindTrayIcon(HWND owner, UINT id, TrayIcon* icon) {
    for (const TrayIcon& i : ReadAll()) {
        if (i.owner == owner && i.id == id) {
            if (icon) *icon = i;
            return true;
        }
    }
    return false;
}

bool WaitForTrayTip(DWORD pid, const std::string& tip, DWORD timeoutMs, TrayIcon* icon) {
    return PollUntil(
        [&] {
            for (const TrayIcon& i : ReadTrayIcons(pid)) {
                if (i.tip == tip) {
                    if (icon) *icon = i;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool WaitForNoTrayIcon(DWORD pid, DWORD timeoutMs) {
    return PollUntil([&] { return ReadTrayIcons(pid).empty(); }, timeoutMs);
}

bool ReadTrayBalloon(DWORD pid, TrayBalloon* balloon) {
    HWND tray = FindTrayWindow();
    if (!tray) return false;
    std::vector<ShellTool> shown;
    {
        ShellProcess shell(tray);
        if (!shell.handle()) return false;
        shown = ReadShellTools(tray, shell);
    }
    for (const ShellTool& tool : shown) {
        if (!tool.shownBalloon) continue;
        // Its icon is the one whose record holds the balloon's text.
        for (const TrayIcon& icon : ReadTrayIcons(pid)) {
            if (icon.balloonText.empty() || icon.balloonText != tool.wide) continue;
            if (balloon) {
                balloon->title = icon.balloonTitle;
                balloon->text = tool.wide;
                GetWindowRect(tool.tooltip, &balloon->screenRect);
                balloon->icon = icon;
            }
            return true;
        }
    }
    return false;
}

bool WaitForTrayBalloon(DWORD pid, const std::wstring& title, DWORD timeoutMs, TrayBalloon* balloon) {
    return PollUntil(
        [&] {
            TrayBalloon shown;
            if (!ReadTrayBalloon(pid, &shown) || shown.title != title) return false;
            if (balloon) *balloon = shown;
            return true;
        },
        timeoutMs);
}

Pixels CaptureTrayIcon(const TrayIcon& icon, bool wholeCell) {
    RECT r = icon.screenRect;
    if (IsRectEmpty(&r)) return Pixels();
    if (!wholeCell) {
        const int w = (std::min)(GetSystemMetrics(SM_CXSMICON), int(r.right - r.left));
        const int h = (std::min)(GetSystemMetrics(SM_CYSMICON), int(r.bottom - r.top));
        r.left += (r.right - r.left - w) / 2;
        r.top += (r.bottom - r.top - h) / 2;
        r.right = r.left + w;
        r.bottom = r.top + h;
    }
    HDC dc = GetDC(nullptr);
    if (!dc) return Pixels();
    Pixels p = CaptureDC(dc, r.right - r.left, r.bottom - r.top, r.left, r.top);
    ReleaseDC(nullptr, dc);
    return p;
}

Tone ToneOf(COLORREF c) {
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (r >= 96 && 2 * g <= r && 2 * b <= r) return Tone::Red;
    const int hi = (std::max)({r, g, b}), lo = (std::min)({r, g, b});
    if (hi - lo <= 24 && (r + g + b) / 3 >= 64 && (r + g + b) / 3 <= 224) return Tone::Grey;
    return Tone::Other;
}

double ToneShare(const Pixels& pixels, Tone tone) {
    if (pixels.empty()) return 0.0;
    const auto n = std::count_if(pixels.data.begin(), pixels.data.end(),
                                 [&](COLORREF c) { return ToneOf(c) == tone; });
    return double(n) / double(pixels.data.size());
}

bool ClickTrayIcon(const TrayIcon& icon, TrayClick click) {
    if (IsRectEmpty(&icon.screenRect)) return false;
    const POINT c = Centre(icon.screenRect);
    if (!g_homeSaved.exchange(true)) GetCursorPos(&g_home);
    if (!SetCursorPos(c.x, c.y)) return false;
    INPUT in[4] = {};
    UINT n = 0;
    auto add = [&](DWORD flags) {
        in[n].type = INPUT_MOUSE;
        in[n].mi.dwFlags = flags;
        ++n;
    };
    switch (click) {
    case TrayClick::Right:
        add(MOUSEEVENTF_RIGHTDOWN);
        add(MOUSEEVENTF_RIGHTUP);
        break;
    case TrayClick::Left:
        add(MOUSEEVENTF_LEFTDOWN);
        add(MOUSEEVENTF_LEFTUP);
        break;
    case TrayClick::DoubleLeft:
        add(MOUSEEVENTF_LEFTDOWN);
        add(MOUSEEVENTF_LEFTUP);
        add(MOUSEEVENTF_LEFTDOWN);
        add(MOUSEEVENTF_LEFTUP);
        break;
    }
    return SendInput(n, in, sizeof(INPUT)) == n;
}

bool PostTrayClick(const TrayIcon& icon, TrayClick click) {
    HWND tray = FindTrayWindow();
    if (!tray || IsRectEmpty(&icon.screenRect)) return false;
    POINT c = Centre(icon.screenRect);
    ScreenToClient(tray, &c);
    const LPARAM at = MAKELPARAM(c.x, c.y);
    auto post = [&](UINT msg, WPARAM keys) { return PostMessageA(tray, msg, keys, at) != 0; };
    switch (click) {
    case TrayClick::Right:
        return post(WM_RBUTTONDOWN, MK_RBUTTON) && post(WM_RBUTTONUP, 0);
    case TrayClick::Left:
        return post(WM_LBUTTONDOWN, MK_LBUTTON) && post(WM_LBUTTONUP, 0);
    case TrayClick::DoubleLeft:
        return post(WM_LBUTTONDOWN, MK_LBUTTON) && post(WM_LBUTTONUP, 0) &&
               post(WM_LBUTTONDBLCLK, MK_LBUTTON) && post(WM_LBUTTONUP, 0);
    }
    return false;
}

void MoveCursorAwayFromTray() {
    if (g_homeSaved) SetCursorPos(g_home.x, g_home.y);
}

HICON MakeGroundIcon(COLORREF ground, COLORREF emblemColor) {
    const int kSize = 32, kStride = kSize / 2; // 4 bits a pixel: rows of 16 bytes
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[16];
    } bmi = {};
    bmi.h.biSize = sizeof bmi.h;
    bmi.h.biWidth = kSize;
    bmi.h.biHeight = kSize;
    bmi.h.biPlanes = 1;
    bmi.h.biBitCount = 4;
    bmi.h.biCompression = BI_RGB;
    bmi.h.biClrUsed = 16;
    auto quad = [](COLORREF c) {
        RGBQUAD q = {};
        q.rgbRed = GetRValue(c);
        q.rgbGreen = GetGValue(c);
        q.rgbBlue = GetBValue(c);
        return q;
    };
    bmi.colors[1] = quad(ground);
    bmi.colors[2] = quad(emblemColor);

    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS,
                                     &bits, nullptr, 0);
    const std::vector<BYTE> maskBits(kSize * kSize / 8, 0); // all opaque
    HBITMAP mask = CreateBitmap(kSize, kSize, 1, 1, maskBits.data());
    HICON icon = nullptr;
    if (color && mask && bits) {
        BYTE* row = static_cast<BYTE*>(bits);
        for (int y = 0; y < kSize; ++y, row += kStride) {
            for (int x = 0; x < kSize; x += 2) {
                auto index = [&](int px) -> BYTE {
                    const bool emblem = px >= 10 && px < 22 && y >= 10 && y < 22;
                    return emblem ? 2 : 1;
                };
                row[x / 2] = BYTE(index(x) << 4 | index(x + 1));
            }
        }
        GdiFlush();
        ICONINFO ii = {};
        ii.fIcon = TRUE;
        ii.hbmMask = mask;
        ii.hbmColor = color;
        icon = CreateIconIndirect(&ii);
    }
    if (color) DeleteObject(color);
    if (mask) DeleteObject(mask);
    return icon;
}

// ---------------------------------------------------------------------------

std::string StandInPath() {
    return ExeDir() + "CorvidStandIn.exe";
}

std::string NewStandInLog(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof dir, dir);
    const std::string path =
        std::string(dir) + name + "-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(path.c_str());
    return path;
}

std::vector<std::string> ReadStandInLog(const std::string& logPath, DWORD pid) {
    std::vector<std::string> events;
    HANDLE f = CreateFileA(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return events;
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    CloseHandle(f);

    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos) break; // a line still being written
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 2;
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        if (pid && std::strtoul(line.c_str(), nullptr, 10) != pid) continue;
        events.push_back(line.substr(space + 1));
    }
    return events;
}

std::vector<std::string> StandInArguments(const std::string& startedEvent) {
    std::vector<std::string> arguments;
    const std::string event = "started";
    if (startedEvent.compare(0, event.size(), event) != 0) return arguments;
    // A program name in front, which the split gives back first.
    const std::string line = "x " + startedEvent.substr(event.size());
    std::wstring wide(line.size() + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, &wide[0], int(wide.size()));
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(wide.c_str(), &count);
    for (int i = 1; split && i < count; ++i) {
        char utf8[4096] = {};
        WideCharToMultiByte(CP_UTF8, 0, split[i], -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
        arguments.push_back(utf8);
    }
    LocalFree(split);
    return arguments;
}

int CountStandInEvents(const std::string& logPath, const std::string& event, DWORD pid) {
    int n = 0;
    for (const std::string& e : ReadStandInLog(logPath, pid)) {
        if (e == event || e.compare(0, event.size() + 1, event + " ") == 0) ++n;
    }
    return n;
}

bool WaitForStandInEvent(const std::string& logPath, const std::string& event, DWORD timeoutMs,
                         DWORD pid, int count) {
    return PollUntil([&] { return CountStandInEvents(logPath, event, pid) >= count; }, timeoutMs);
}

} // namespace wintest
