// The new-mail notification's title and text as Tidbell32 composes them in
// its own code page, UTF-8 (this program carries the same manifest): names
// and subjects decoded as the popup shows them, one message or a summary,
// and every cut at the shell's limits between whole characters.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mail.h"
#include "notification.h"
#include "wintest.h"

namespace {

using wintest::Repeat;
using wintest::Utf16;

// No lone half of a surrogate pair anywhere.
bool IsWholeUtf16(const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1])) ++i;
        else if (IS_HIGH_SURROGATE(text[i]) || IS_LOW_SURROGATE(text[i])) return false;
    }
    return true;
}

struct Message {
    std::string fromName; // as the header reader stores it
    std::string subject;
};

// A list of records as the scan makes them.
std::unique_ptr<RecordList, RecordList* (*)(RecordList*)> Records(const std::vector<Message>& messages)
{
    std::unique_ptr<RecordList, RecordList* (*)(RecordList*)> list(ListCreate(sizeof(MailRecord)), ListDestroy);
    auto record = std::make_unique<MailRecord>();
    for (const Message& m : messages) {
        *record = MailRecord();
        lstrcpynA(record->fromName, m.fromName.c_str(), kHeaderFieldSize);
        lstrcpynA(record->subject, m.subject.c_str(), kHeaderFieldSize);
        ListAppend(list.get(), record.get());
    }
    return list;
}

const std::string kHan = u8"中";
const std::string kEmoji = u8"😀"; // two UTF-16 units

struct Case {
    const char* what;
    std::vector<Message> messages;
    int count;
    std::string title;
    std::string text;
};

} // namespace

TEST(NotificationText, OneMessageOrASummaryCutWholeToTheShellsLimits)
{
    const Message ann{"Ann Lee", "Budget"};
    const Message bob{"bob@example.com", "Lunch"};
    const Message cleo{"Cleo", "Minutes"};
    const std::string longSubject = Repeat("s", 300);
    const Case cases[] = {
        {"one message", {ann}, 1, "New mail from Ann Lee", "Budget"},
        {"decoded as the popup shows it, no bidi controls",
         {{"=?UTF-8?B?546L5bCP5piO?=", u8"Pay \u202Etxt.exe"}}, 1, u8"New mail from 王小明", "Pay txt.exe"},
        {"no subject, no sender", {{"", ""}}, 1, "New mail from (unknown sender)", "(no subject)"},
        {"300 Chinese characters", {{"Wang", Repeat(kHan, 300)}}, 1, "New mail from Wang",
         Repeat(kHan, 254) + u8"…"},
        {"an emoji at the text's cut", {{"Wang", Repeat(kHan, 253) + kEmoji + Repeat(kHan, 46)}}, 1,
         "New mail from Wang", Repeat(kHan, 253) + u8"…"},
        {"an emoji at the title's cut", {{Repeat("a", 47) + kEmoji + "b", "x"}}, 1,
         "New mail from " + Repeat("a", 47) + u8"…", "x"},
        {"two", {ann, bob}, 2, "2 new messages", "Ann Lee: Budget\nbob@example.com: Lunch"},
        {"three", {ann, bob, cleo}, 3, "3 new messages", "Ann Lee: Budget\nbob@example.com: Lunch\nCleo: Minutes"},
        {"five: three lines and the rest counted", {ann, bob, cleo, ann, bob}, 5, "5 new messages",
         "Ann Lee: Budget\nbob@example.com: Lunch\nCleo: Minutes\nand 2 more"},
        // Three lines of 303 units share the 242 that the breaks and the
        // last line leave: 80, 81 and 81, each ending in "…".
        {"long lines share the room", {{"A", longSubject}, {"B", longSubject}, {"C", longSubject}}, 7,
         "7 new messages",
         "A: " + Repeat("s", 76) + u8"…\nB: " + Repeat("s", 77) + u8"…\nC: " + Repeat("s", 77) + u8"…\nand 4 more"},
        // A short line leaves its room to those after it.
        {"a short line gives way", {ann, {"B", longSubject}}, 2, "2 new messages",
         "Ann Lee: Budget\nB: " + Repeat("s", 235) + u8"…"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto records = Records(c.messages);
        const NotificationText shown = ComposeNotification(records.get(), c.count);
        EXPECT_EQ(shown.title, Utf16(c.title));
        EXPECT_EQ(shown.text, Utf16(c.text));
        EXPECT_LE(shown.title.size(), size_t(kNotificationTitleUnits));
        EXPECT_LE(shown.text.size(), size_t(kNotificationTextUnits));
        EXPECT_TRUE(IsWholeUtf16(shown.title) && IsWholeUtf16(shown.text));
    }
    EXPECT_TRUE(ComposeNotification(nullptr, 1).title.empty());
}
