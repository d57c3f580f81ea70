/*
 * Shutlet: closes the family's tray programs, found by their window classes.
 * Each export asks every top-level window of its program's classes to close
 * with WM_CLOSE and leaves the rest to the program; the window title is
 * never looked at. The library keeps no state between calls.
 */
#include "shutlet.h"

namespace {

// Recorded when the library is loaded; nothing reads it.
HINSTANCE thisModule = nullptr;

// How long one window may take over its WM_CLOSE before the closer moves on.
// Generous, because a program may ask the user before it quits; a thread that
// has stopped answering altogether is not waited for at all (SMTO_ABORTIFHUNG).
constexpr UINT kCloseTimeoutMs = 30000;

// Most WM_CLOSE requests sent for one class in one call. A normal desktop
// holds a handful of windows of a class at most; the limit only matters for
// a program that answers WM_CLOSE by making a new window of the same class,
// which would otherwise keep the caller here for ever.
constexpr int kMaxRequests = 256;

bool Contains(const HWND* list, int count, HWND window)
{
    for (int i = 0; i < count; ++i)
        if (list[i] == window) return true;
    return false;
}

// The first top-level window of the class, in the order FindWindowA searches,
// that is not one of `skip`.
HWND FindWindowNotIn(const char* className, const HWND* skip, int skipCount)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr)
        if (!Contains(skip, skipCount, window)) return window;
    return nullptr;
}

// Sends WM_CLOSE to the window and waits until its thread has handled it,
// unless that thread does not answer (see kCloseTimeoutMs).
void RequestClose(HWND window)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kCloseTimeoutMs, &result);
}

// Closes every top-level window of the class: look the class up, ask the
// window found to close, look again, until none is left.
//
// A window that is still there after its WM_CLOSE (it asked the user and
// stayed, it does not answer, or it closes itself later) is asked once only:
// later lookups pass over it, so it neither keeps the loop going nor hides the
// windows of the class behind it, which are still asked in turn.
void CloseAllOfClass(const char* className)
{
    HWND survivors[kMaxRequests];
    int survivorCount = 0;
    for (int requests = 0; requests < kMaxRequests; ++requests) {
        const HWND window = FindWindowNotIn(className, survivors, survivorCount);
        if (!window) return;
        RequestClose(window);
        if (IsWindow(window)) survivors[survivorCount++] = window;
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    thisModule = instance;
    return TRUE;
}

extern "C" int WINAPI CloseLinkbell(DWORD)
{
    if (!IsWindow(FindWindowA(SHUTLET_LINKBELL_CLASS, nullptr))) return 0;
    CloseAllOfClass(SHUTLET_LINKBELL_CLASS);
    return 1;
}

extern "C" int WINAPI CloseHorlett(DWORD)
{
    CloseAllOfClass(SHUTLET_HORLETT_CLASS);
    CloseAllOfClass(SHUTLET_HORLETT_CLASS2);
    return 1;
}

extern "C" int WINAPI CloseTidbell(DWORD)
{
    CloseAllOfClass(SHUTLET_TIDBELL_CLASS);
    return 1;
}
