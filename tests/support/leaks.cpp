#include "leaks.h"

#include <cstdio>

namespace wintest {

namespace {

// Wine's GDI handle table has 64K slots; USER handles are the even numbers
// from 0x20 to 0xFFEE.
const DWORD kGdiSlots = 0x10000;
const DWORD kFirstUserHandle = 0x20, kLastUserHandle = 0xFFEF;

// Answers for icons and cursors of this process without creating anything
// (GetIconInfo would make two bitmaps per answer).
using FrameInfoFn = HCURSOR(WINAPI*)(HCURSOR, DWORD, DWORD, DWORD*, DWORD*);

bool IsIcon(HANDLE h) {
    static const FrameInfoFn frameInfo = reinterpret_cast<FrameInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetCursorFrameInfo")));
    if (frameInfo) {
        DWORD rate = 0, steps = 0;
        return frameInfo(static_cast<HCURSOR>(h), 0, 0, &rate, &steps) != nullptr;
    }
    ICONINFO ii = {};
    if (!GetIconInfo(static_cast<HICON>(h), &ii)) return false;
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    return true;
}

BOOL CALLBACK CountChild(HWND, LPARAM lp) {
    ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

int CountWindowsUnder(HWND parent, DWORD pid) {
    int n = 0;
    HWND h = nullptr;
    while ((h = FindWindowExA(parent, h, nullptr, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner != pid) continue;
        // Each GUI thread gets an input-method window with its first window;
        // it belongs to the system, not to the code that made that window.
        char cls[8] = {};
        GetClassNameA(h, cls, sizeof cls);
        if (lstrcmpiA(cls, "IME") == 0) continue;
        ++n;
        EnumChildWindows(h, CountChild, reinterpret_cast<LPARAM>(&n));
    }
    return n;
}

// Wine keeps the display DCs that GetDC and BeginPaint hand out in a cache
// of up to 64 entries in the process's own handle table: one DC and one
// region each, made when no free entry fits and never deleted. A window of
// another process taking the focus at an unlucky moment (a new frame DC for
// a window of ours) could grow it between two counts. Filling it to its
// limit once, before anything is counted, keeps the cache out of every
// comparison. DCs that code never releases still show once more of them are
// held than the cache has entries, as in any run of many paints.
bool FillDisplayDcCache() {
    constexpr int kCacheEntries = 64;
    HWND windows[kCacheEntries] = {};
    HDC dcs[kCacheEntries] = {};
    for (int i = 0; i < kCacheEntries; ++i) {
        windows[i] = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (windows[i]) dcs[i] = GetDC(windows[i]);
    }
    for (int i = 0; i < kCacheEntries; ++i) {
        if (dcs[i]) ReleaseDC(windows[i], dcs[i]);
        if (windows[i]) DestroyWindow(windows[i]);
    }
    return true;
}

} // namespace

GdiCounts CountGdiObjects() {
    [[maybe_unused]] static const bool cacheFilled = FillDisplayDcCache();
    GdiCounts c;
    for (DWORD slot = 0; slot < kGdiSlots; ++slot) {
        const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(slot)));
        if (!type) continue;
        ++c.total;
        switch (type) {
        case OBJ_DC: case OBJ_MEMDC: case OBJ_METADC: case OBJ_ENHMETADC: ++c.dcs; break;
        case OBJ_BITMAP: ++c.bitmaps; break;
        case OBJ_BRUSH: ++c.brushes; break;
        case OBJ_PEN: case OBJ_EXTPEN: ++c.pens; break;
        case OBJ_FONT: ++c.fonts; break;
        case OBJ_REGION: ++c.regions; break;
        case OBJ_PAL: ++c.palettes; break;
        default: ++c.other; break;
        }
    }
    return c;
}

UserCounts CountUserObjects() {
    UserCounts c;
    for (DWORD h = kFirstUserHandle; h <= kLastUserHandle; h += 2) {
        const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(h));
        if (IsMenu(static_cast<HMENU>(handle)))
            ++c.menus;
        else if (IsIcon(handle))
            ++c.icons;
    }
    // Windows are USER objects too, but asking about a slot that this
    // process does not own costs a trip to the server, so they are
    // enumerated instead: top-level, message-only and all their children.
    const DWORD pid = GetCurrentProcessId();
    c.windows = CountWindowsUnder(nullptr, pid) + CountWindowsUnder(HWND_MESSAGE, pid);
    c.total = c.menus + c.icons + c.windows;
    return c;
}

size_t HeapInUse(size_t* blocks) {
    // A fixed array: allocating here would change what is measured.
    HANDLE heaps[128];
    DWORD n = GetProcessHeaps(128, heaps);
    if (n > 128) n = 128;
    size_t bytes = 0, count = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY e = {};
        while (HeapWalk(heaps[i], &e)) {
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                bytes += e.cbData;
                ++count;
            }
        }
        HeapUnlock(heaps[i]);
    }
    if (blocks) *blocks = count;
    return bytes;
}

ResourceSnapshot ResourceSnapshot::Take() {
    ResourceSnapshot s;
    s.gdi = CountGdiObjects();
    s.user = CountUserObjects();
    s.heapBytes = HeapInUse(&s.heapBlocks);
    return s;
}

std::string ResourceSnapshot::DescribeChange(const ResourceSnapshot& later) const {
    std::string out;
    char buf[96];
    auto part = [&](const char* name, int before, int after) {
        if (after == before) return;
        std::snprintf(buf, sizeof buf, "%s%s %+d", out.empty() ? "" : ", ", name, after - before);
        out += buf;
    };
    part("dcs", gdi.dcs, later.gdi.dcs);
    part("bitmaps", gdi.bitmaps, later.gdi.bitmaps);
    part("brushes", gdi.brushes, later.gdi.brushes);
    part("pens", gdi.pens, later.gdi.pens);
    part("fonts", gdi.fonts, later.gdi.fonts);
    part("regions", gdi.regions, later.gdi.regions);
    part("palettes", gdi.palettes, later.gdi.palettes);
    part("other GDI", gdi.other, later.gdi.other);
    part("windows", user.windows, later.user.windows);
    part("menus", user.menus, later.user.menus);
    part("icons", user.icons, later.user.icons);
    part("heap blocks", int(heapBlocks), int(later.heapBlocks));
    if (later.heapBytes != heapBytes) {
        std::snprintf(buf, sizeof buf, "%sheap bytes %+ld", out.empty() ? "" : ", ",
                      long(later.heapBytes) - long(heapBytes));
        out += buf;
    }
    return out.empty() ? "no change" : out;
}

} // namespace wintest
