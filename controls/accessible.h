/*
 * What a screen reader learns of the library's windows. The system's
 * accessibility layer knows the standard window classes only; each class of
 * the library describes itself here in a KwAccessInfo (its role, how to read
 * its name and value, its state, its parts and its default action), and
 * this module makes the IAccessible object for a window of that class,
 * hands it out for WM_GETOBJECT and lets it go when the window goes. What a
 * description leaves out is answered by the system's standard object for
 * the window's client area.
 *
 * Texts are the process's 8-bit text (CP_ACP, which may be UTF-8) as the
 * user sees it; the object converts them once for the Unicode interface.
 */
#ifndef KW_ACCESSIBLE_H
#define KW_ACCESSIBLE_H

#include <windows.h>

#include <oleacc.h>

#include <string>

// Parts are numbered from 1; CHILDID_SELF (0) is the window itself. Every
// member but the role may be left out (null: the window or part has none),
// so a description lists what it has, in this order.
struct KwAccessInfo {
    LONG role; // ROLE_SYSTEM_* of the window
    void (*name)(HWND window, LONG part, std::string& text) = nullptr;
    void (*value)(HWND window, LONG part, std::string& text) = nullptr;
    // The state: for the window, `standard` is what the system reports for
    // its client area (focusable, focused, unavailable, invisible); for a
    // part it is 0. Null: the standard state, and none for parts.
    LONG (*state)(HWND window, LONG part, LONG standard) = nullptr;
    const char* action = nullptr; // default action of the window ("Press")
    // Does the default action of the window or a part, as a click would.
    // It runs from the window's message loop, after the caller's request
    // has returned, since a click may open a modal box.
    void (*doAction)(HWND window, LONG part) = nullptr;

    // Parts: simple elements inside the window (a status bar's panes, a
    // calendar's days), all of one role.
    LONG partRole = 0;
    LONG (*partCount)(HWND window) = nullptr;
    // A part's rectangle in client coordinates; false when it has none.
    bool (*partRect)(HWND window, LONG part, RECT* rect) = nullptr;
    const char* partAction = nullptr; // default action of every part
    // The part that is selected (and has the focus while the window has
    // it); 0 for none.
    LONG (*selectedPart)(HWND window) = nullptr;
};

// Answers WM_GETOBJECT: for OBJID_CLIENT the window's object (made on the
// first request, kept until KwForgetAccessible), otherwise 0 so that the
// system answers.
LRESULT KwAnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const KwAccessInfo& info);

// Lets the window's object go (WM_NCDESTROY); a screen reader that still
// holds it gets "disconnected" from then on.
void KwForgetAccessible(HWND window);

// Tells screen readers that something of the window's client area (a part,
// or the window itself) changed: EVENT_OBJECT_VALUECHANGE,
// EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_STATECHANGE and so on.
void KwRaiseEvent(HWND window, DWORD event, LONG part = CHILDID_SELF);

// The window's text without its '&' prefixes, as a screen reader speaks a
// button's caption ("&&" stays one '&').
void KwTextWithoutPrefix(HWND window, std::string& text);

// A name callback: the window's text without its '&' prefixes.
void KwWindowTextName(HWND window, LONG part, std::string& text);

// A state callback: read-only, besides what is given.
LONG KwReadOnlyState(HWND window, LONG part, LONG state);

#endif
