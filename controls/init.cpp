/*
 * Library start-up and the library's ways of reporting to the user:
 * InitControls registers every window class once per process; Comment and
 * DisplayStatusMessage show warning boxes, DisplayDebugMessage writes to the
 * debugger. Every formatted text is cut to its block rather than written
 * past it.
 */
#include <cstdarg>
#include <cstdio>

#include <shlwapi.h>

#include "chores.h"
#include "classes.h"
#include "kwctrl32.h"

namespace {

// Set by the first InitControls, before any registration, and never cleared:
// a failed first call is not repeated by later ones.
int initialised = 0;

// The formatted text of Comment and DummyComment fits 254 characters.
constexpr SIZE_T kCommentBlock = 255;

// A comment's text, formatted into a block of its own; no text when the
// block cannot be had.
class CommentText : public LockedGlobalBlock {
public:
    CommentText(const char* format, va_list args) : LockedGlobalBlock(kCommentBlock + kCutSlack)
    {
        if (text()) FormatC(text(), size(), format, args);
    }
};
constexpr int kDebugBuffer = 256;
constexpr SIZE_T kStatusBlock = 500;

struct Registration {
    const char* failureText;
    int (*registerClasses)(HINSTANCE);
};

// The classes in the order they are registered; the chain stops at the
// first failure.
const Registration kRegistrations[] = {
    {"InitURL Failure", [](HINSTANCE i) -> int { return InitURL(i); }},
    {"InitDips Failure", [](HINSTANCE i) -> int { return InitDips(i); }},
    {"InitBumps Failure", [](HINSTANCE i) -> int { return InitBumps(i); }},
    {"InitBMPButtons Failure", [](HINSTANCE i) -> int { return InitBMPButtons(i); }},
    {"RegisterGasGauge Failure", [](HINSTANCE i) -> int { return RegisterGasGauge(i); }},
    {"RegisterHeader Failure", [](HINSTANCE i) -> int { return RegisterHeader(i); }},
    {"statusInit Failure", [](HINSTANCE i) -> int { return statusInit(i, 0); }},
    {"InitializeTips Failure", [](HINSTANCE i) -> int { return InitializeTips(i); }},
    {"InitTimeDisplay Failure", [](HINSTANCE i) -> int { return InitTimeDisplay(i); }},
    {"InitCalendar Failure", [](HINSTANCE i) -> int { return InitCalendar(i); }},
};

} // namespace

// C run-time formatting (floating point included), cut between whole
// characters to the buffer less its kCutSlack bytes.
void FormatC(char* buffer, int size, const char* format, va_list args)
{
    vsnprintf(buffer, size, format, args);
    buffer[size - 1] = '\0';
    EndWhole(buffer, size - 1 - kCutSlack);
}

// Windows formatting rules (no floating point), cut as FormatC cuts.
void FormatWindows(char* buffer, int size, const char* format, va_list args)
{
    wvnsprintfA(buffer, size, format, args);
    buffer[size - 1] = '\0';
    EndWhole(buffer, size - 1 - kCutSlack);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

int WINAPI InitControls(HINSTANCE instance)
{
    if (initialised) return 1;
    initialised = 1;

    for (const Registration& r : kRegistrations) {
        if (!r.registerClasses(instance)) {
            Comment(GetFocus(), "KWCtrls", "%s", r.failureText);
            return 0;
        }
    }
    return 1;
}

void __cdecl Comment(HWND owner, LPCSTR caption, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    const CommentText comment(format, args);
    va_end(args);
    if (comment.text()) MessageBoxA(owner, comment.text(), caption, MB_ICONWARNING);
}

// Formats exactly as Comment does and shows nothing: a stand-in for Comment
// where no box is wanted.
void __cdecl DummyComment(LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    const CommentText comment(format, args);
    va_end(args);
}

void __cdecl DisplayDebugMessage(LPCSTR format, ...)
{
    char buffer[kDebugBuffer + kCutSlack];
    va_list args;
    va_start(args, format);
    FormatC(buffer, sizeof buffer, format, args);
    va_end(args);
    OutputDebugStringA(buffer);
    MyDialogYield(1000);
}

void __cdecl DisplayStatusMessage(HWND window, LPCSTR format, ...)
{
    LockedGlobalBlock block(kStatusBlock + kCutSlack);
    if (!block.text()) return;
    va_list args;
    va_start(args, format);
    FormatWindows(block.text(), block.size(), format, args);
    va_end(args);

    // The receiver may read the text only while it handles the message.
    const UINT statusMessage = RegisterWindowMessageA(KW_STATUS_MESSAGE_NAME);
    SendMessageA(window, statusMessage, 0, reinterpret_cast<LPARAM>(block.text()));
    MessageBoxA(window, block.text(), "MarlLib", MB_ICONWARNING);
    MyDialogYield(100);
}
