/*
 * Pixel metrics at a window's DPI; see dpimetrics.h. The per-window calls
 * are looked up at run time, since the binaries also run on systems that
 * lack them.
 */
#include "dpimetrics.h"

namespace {

template <typename Function>
Function User32Function(const char* name)
{
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using DpiForWindowFunction = UINT(WINAPI*)(HWND);
using MetricsForDpiFunction = int(WINAPI*)(int, UINT);

} // namespace

UINT KwScreenDpi()
{
    UINT dpi = kKwBaseDpi;
    if (const HDC screen = GetDC(nullptr)) {
        const int pixels = GetDeviceCaps(screen, LOGPIXELSY);
        if (pixels > 0) dpi = static_cast<UINT>(pixels);
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

UINT KwWindowDpi(HWND window)
{
    static const auto dpiForWindow = User32Function<DpiForWindowFunction>("GetDpiForWindow");
    if (window && dpiForWindow) {
        const UINT dpi = dpiForWindow(window);
        if (dpi) return dpi;
    }
    return KwScreenDpi();
}

int KwScale(int value, UINT dpi)
{
    if (!dpi || dpi == kKwBaseDpi || value == 0) return value;
    const int scaled = MulDiv(value, static_cast<int>(dpi), static_cast<int>(kKwBaseDpi));
    if (scaled == 0) return value > 0 ? 1 : -1;
    return scaled;
}

int KwSystemMetric(int index, UINT dpi)
{
    static const auto metricsForDpi = User32Function<MetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (metricsForDpi) return metricsForDpi(index, dpi);
    const UINT screen = KwScreenDpi();
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(screen));
}

void KwTakeSuggestedRect(HWND window, const RECT* suggested)
{
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
