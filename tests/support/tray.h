// Looks at the taskbar notification area from outside, through the shell
// that shows it: which icons are there, their tips, what they look like on
// the screen, and mouse input to them as the user would give it.
//
// The helpers target the shell of the test prefix: a virtual desktop whose
// taskbar window "Shell_TrayWnd" draws the icons itself. Each icon has a
// tooltip control of its own ("tooltips_class32", owned by the taskbar)
// holding one tool: its text is the icon's tip and its rectangle, in taskbar
// client coordinates, the icon's cell. Tooltips of deleted or hidden icons
// linger with an empty rectangle and are ignored.
//
// Owner window and identifier are not published by the tooltips; they are
// read from the shell's own record of the icon (found in the shell process's
// memory next to the tooltip's handle and checked against the tip text). When
// that fails the icon is still listed, with owner null and pid 0: tell icons
// apart by tip text then.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "wintest.h"

namespace wintest {

struct TrayIcon {
    HWND owner = nullptr;      // the window given to Shell_NotifyIcon; null if unknown
    UINT id = 0;               // the icon identifier given with it
    UINT callbackMessage = 0;  // the message the shell sends the owner
    DWORD pid = 0;             // owner's process; 0 if unknown or the owner is gone
    std::string tip;
    RECT screenRect = {};      // the icon's cell on the screen
    HWND tooltip = nullptr;    // the shell's tooltip control for this icon
    // The balloon (NIF_INFO) the icon last asked for, from the shell's record;
    // empty when none or unknown. The shell empties the text once the
    // balloon has had its time on the screen.
    std::wstring balloonText;
    std::wstring balloonTitle;
};

// A balloon on the screen. This shell draws one at a time, as a tooltip in
// balloon style pointing at its icon; it never reports clicks on it.
struct TrayBalloon {
    std::wstring title;     // the title its icon gave it
    std::wstring text;      // the text it shows
    RECT screenRect = {};   // the balloon on the screen
    TrayIcon icon;          // the icon it belongs to
};

// The taskbar window that holds the notification area, or null if the
// shell shows none (no icon was ever added, or no virtual desktop).
HWND FindTrayWindow();

// The icons shown in the notification area right now, left to right; only
// those of process pid unless pid is 0.
std::vector<TrayIcon> ReadTrayIcons(DWORD pid = 0);

// The shown icon with this owner window and identifier.
bool FindTrayIcon(HWND owner, UINT id, TrayIcon* icon);

// Pumps the calling thread's messages until process pid (any process if 0)
// shows an icon whose tip is exactly `tip`; stores that icon if asked.
bool WaitForTrayTip(DWORD pid, const std::string& tip, DWORD timeoutMs, TrayIcon* icon = nullptr);

// The balloon on the screen now, if it belongs to an icon of process pid
// (of any process if pid is 0).
bool ReadTrayBalloon(DWORD pid, TrayBalloon* balloon = nullptr);

// Pumps until process pid's icon shows a balloon with this title.
bool WaitForTrayBalloon(DWORD pid, const std::wstring& title, DWORD timeoutMs, TrayBalloon* balloon = nullptr);

// Pumps until process pid shows no icon (pid 0: until the area is empty).
bool WaitForNoTrayIcon(DWORD pid, DWORD timeoutMs);

// The icon's picture as the screen shows it: the small-icon square
// (SM_CXSMICON x SM_CYSMICON) centred in the cell, or the whole cell.
// Empty if the icon is not on the screen.
Pixels CaptureTrayIcon(const TrayIcon& icon, bool wholeCell = false);

// Colour tones for telling an icon's ground apart on the screen.
enum class Tone { Red, Grey, Other };
// Red: the red channel clearly dominates (dark red too). Grey: all three
// channels within 24 of each other and between 64 and 224 (so neither black
// nor white).
Tone ToneOf(COLORREF c);
// Share (0..1) of the pixels that have this tone; 0 for an empty image.
double ToneShare(const Pixels& pixels, Tone tone);

// Mouse input on the icon. The shell answers it by sending the owner the
// icon's callback message with the mouse message in lParam.
enum class TrayClick { Left, Right, DoubleLeft };

// Moves the real cursor onto the icon's cell and presses the buttons with
// SendInput, as the user would; the cursor stays there.
bool ClickTrayIcon(const TrayIcon& icon, TrayClick click);

// Posts the button messages straight to the taskbar window at the icon's
// position, leaving the cursor alone.
bool PostTrayClick(const TrayIcon& icon, TrayClick click);

// Puts the cursor back where it was before this process's first
// ClickTrayIcon (so that it neither keeps an icon's tip up nor hovers over
// windows of later tests); does nothing if there was no such click.
void MoveCursorAwayFromTray();

// A 32 x 32, 16-colour icon: a solid `ground` with a square `emblem` of
// colour `emblemColor` in the middle, fully opaque. The caller destroys it.
HICON MakeGroundIcon(COLORREF ground, COLORREF emblemColor = RGB(255, 255, 255));

// ---------------------------------------------------------------------------
// The mail client stand-in, CorvidStandIn.exe, built beside the test
// programs: a window of class "FRAME" titled "Corvid Mail" that appends
// "<pid> <event>[ <detail>]" lines to a log (see tests/fakeclient).
// ---------------------------------------------------------------------------

// Full path of CorvidStandIn.exe beside the running test program.
std::string StandInPath();

// A fresh log path in the temporary directory (any old file removed), to
// pass with --log or in the environment variable CORVID_STANDIN_LOG.
std::string NewStandInLog(const std::string& name = "standin");

// The log's events ("restored", "started --log x"...), oldest first, of
// process pid only unless pid is 0.
std::vector<std::string> ReadStandInLog(const std::string& logPath, DWORD pid = 0);

// The arguments that a "started" event records, split as the program's C
// run-time splits its command line (the log's text taken as UTF-8, which
// ASCII is too).
std::vector<std::string> StandInArguments(const std::string& startedEvent);

// Number of events that are `event` or start with `event` and a space.
int CountStandInEvents(const std::string& logPath, const std::string& event, DWORD pid = 0);

// Pumps until the log holds at least `count` such events.
bool WaitForStandInEvent(const std::string& logPath, const std::string& event, DWORD timeoutMs,
                         DWORD pid = 0, int count = 1);

} // namespace wintest
