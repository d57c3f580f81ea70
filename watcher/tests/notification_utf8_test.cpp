// The new-mail notification's title and text as Tidbell32 composes them in
// its own code page, UTF-8 (this program carries the same manifest): names
// and subjects as the popup shows them, and the cuts at the shell's limits.
// (One message, a summary of five and a long Chinese subject are seen end to
// end in the program's test.)
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mail.h"
#include "notification.h"
#include "wintest.h"

using wintest::Repeat;

TEST(NotificationText, NamesSubjectsAndCutsAsTheShellTakesThem)
{
    const std::string longSubject = Repeat("s", 300);
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> messages; // name as stored, subject
        int count;
        std::string title, text;
    } cases[] = {
        {"decoded, no bidi controls", {{"=?UTF-8?B?546L5bCP5piO?=", u8"Pay \u202Etxt.exe"}}, 1,
         u8"New mail from 王小明", "Pay txt.exe"},
        {"nothing to show", {{"", ""}}, 1, "New mail from (unknown sender)", "(no subject)"},
        {"an emoji at the title's cut", {{Repeat("a", 47) + u8"😀b", "x"}}, 1,
         "New mail from " + Repeat("a", 47) + u8"…", "x"},
        // Three lines of 303 units share the 242 that the breaks and the
        // last line leave: 80, 81 and 81.
        {"long lines share the room", {{"A", longSubject}, {"B", longSubject}, {"C", longSubject}}, 7,
         "7 new messages",
         "A: " + Repeat("s", 76) + u8"…\nB: " + Repeat("s", 77) + u8"…\nC: " + Repeat("s", 77) + u8"…\nand 4 more"},
        {"a short line leaves its room", {{"Ann", "Hi"}, {"B", longSubject}}, 2, "2 new messages",
         "Ann: Hi\nB: " + Repeat("s", 243) + u8"…"},
    };
    auto record = std::make_unique<MailRecord>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordList* records = ListCreate();
        for (const auto& m : c.messages) {
            *record = MailRecord();
            lstrcpynA(record->fromName, m.first.c_str(), kHeaderFieldSize);
            lstrcpynA(record->subject, m.second.c_str(), kHeaderFieldSize);
            MailRef item(MailItemMake(*record, 0));
            ListAppend(records, item.get());
        }
        const NotificationText shown = ComposeNotification(records, c.count);
        EXPECT_EQ(shown.title, wintest::Utf16(c.title));
        EXPECT_EQ(shown.text, wintest::Utf16(c.text));
        ListDestroy(records);
    }
}
