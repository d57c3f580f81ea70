/*
 * The new-mail notification. Its texts are composed from the records as the
 * popup shows them (decoded, every script, no bidirectional controls) and
 * converted once from the process's code page to the shell's UTF-16, where
 * they are cut to the shell's limits between whole characters.
 *
 * The caller's NotificationMemory keeps the messages the latest
 * notification named, so that a click on it can open the popup at them, and
 * a notification that follows moments later can sum up both.
 */
// The notification fields of Windows 7 and later (the balloon's own icon,
// quiet time); the headers give them only to programs built for those
// systems. Older shells ignore what they do not know.
#define NTDDI_VERSION 0x06010000

#include "notification.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "display.h"
#include "dpimetrics.h"
#include "resource.h"
#include "watcher.h"

namespace {

// A notification shown less than this long before the next one is still on
// the screen (the shell shows one for five seconds unless the user asked
// for longer): the next one sums up both.
constexpr DWORD kSummaryWindowMs = 5000;
// Messages a summary names line by line.
constexpr int kListedMessages = 3;
const wchar_t kEllipsis = L'\x2026';

// A header value as the popup shows it, in UTF-16.
std::wstring ShownText(const char* value)
{
    char shown[kHeaderFieldSize];
    const int length = HeaderValueForDisplay(value, shown, sizeof shown);
    if (length <= 0) return std::wstring();
    // Never more UTF-16 units than bytes, in any code page.
    std::wstring wide(static_cast<size_t>(length), L'\0');
    const int units = MultiByteToWideChar(CP_ACP, 0, shown, length, &wide[0], length);
    wide.resize(static_cast<size_t>(std::max(units, 0)));
    return wide;
}

std::wstring SenderOf(const MailItem& record)
{
    const std::wstring name = ShownText(record.fromName);
    return name.empty() ? L"(unknown sender)" : name;
}

// A notification with an empty text would not show at all.
std::wstring SubjectOf(const MailItem& record)
{
    const std::wstring subject = ShownText(record.subject);
    return subject.empty() ? L"(no subject)" : subject;
}

// Cuts text to at most limit units, between whole characters (never between
// the two halves of a surrogate pair), with "…" in place of what went.
void CutWhole(std::wstring& text, size_t limit)
{
    if (text.size() <= limit) return;
    if (limit == 0) {
        text.clear();
        return;
    }
    size_t keep = limit - 1;
    if (keep > 0 && IS_SURROGATE_PAIR(text[keep - 1], text[keep])) --keep;
    text.resize(keep);
    text += kEllipsis;
}

// The text of a summary: a line for each of the first messages, then how
// many more there are. The lines share the room the last line and the line
// breaks leave, each taking an equal share of what is left, so that a short
// line leaves more to those after it.
std::wstring SummaryLines(RecordList* records, int count)
{
    const int listed = std::min({count, kListedMessages, ListCount(records)});
    const std::wstring more = count > listed ? L"and " + std::to_wstring(count - listed) + L" more" : L"";
    const size_t breaks = static_cast<size_t>(listed - 1) + (more.empty() ? 0 : 1);
    size_t room = kNotificationTextUnits - breaks - more.size();
    std::wstring text;
    for (int i = 0; i < listed; ++i) {
        const MailItem* record = MailAt(records, i);
        std::wstring line = SenderOf(*record) + L": " + SubjectOf(*record);
        CutWhole(line, room / static_cast<size_t>(listed - i));
        room -= line.size();
        if (i > 0) text += L'\n';
        text += line;
    }
    if (!more.empty()) text += L'\n' + more;
    return text;
}

} // namespace

NotificationText ComposeNotification(RecordList* records, int count)
{
    NotificationText shown;
    const MailItem* first = MailAt(records, 0);
    if (!first || count < 1) return shown;
    if (count == 1) {
        shown.title = L"New mail from " + SenderOf(*first);
        shown.text = SubjectOf(*first);
    } else {
        shown.title = std::to_wstring(count) + L" new messages";
        shown.text = SummaryLines(records, count);
    }
    CutWhole(shown.title, kNotificationTitleUnits);
    CutWhole(shown.text, kNotificationTextUnits);
    return shown;
}

void ShowMailNotification(HWND window, NotificationMemory& memory, RecordList* records)
{
    if (ListCount(records) == 0) return;
    if (memory.named && GetTickCount() - memory.shownAt >= kSummaryWindowMs) ForgetMailNotification(memory);
    // A summary tells of the earlier messages that still wait. One found
    // new under the path of an earlier one is a new message in its place:
    // the earlier one was taken in.
    ListPrune(memory.named);
    if (!memory.named) memory.named = ListCreate(kAllMailboxesCapacity);
    const int count = ListCount(records);
    for (int i = 0; i < count; ++i)
        if (const MailItem* record = MailAt(records, i)) ListRemovePath(memory.named, record->path);
    memory.namedCount = ListCount(memory.named) + count;
    ListAppendAll(memory.named, records);
    memory.shownAt = GetTickCount();

    const NotificationText shown = ComposeNotification(memory.named, memory.namedCount);
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    data.uFlags = NIF_INFO | NIF_SHOWTIP;
    lstrcpynW(data.szInfoTitle, shown.title.c_str(), ARRAYSIZE(data.szInfoTitle));
    lstrcpynW(data.szInfo, shown.text.c_str(), ARRAYSIZE(data.szInfo));
    // The program's new-mail picture as the large icon; no sound, since the
    // watcher plays its own; and the system keeps it back in quiet time.
    data.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON | NIIF_NOSOUND | NIIF_RESPECT_QUIET_TIME;
    data.hBalloonIcon = LoadIconAtSize(IDI_NEWMAIL, KwSystemMetric(SM_CXICON, KwScreenDpi()));
    Shell_NotifyIconW(NIM_MODIFY, &data);
    if (data.hBalloonIcon) DestroyIcon(data.hBalloonIcon);
}

void ForgetMailNotification(NotificationMemory& memory)
{
    memory.named = ListDestroy(memory.named);
    memory.namedCount = 0;
}
