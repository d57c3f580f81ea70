// The "Mail Notification Properties" dialog, opened for real and driven as
// a user would: typing, pressing buttons, answering warnings and working the
// system's open-file and folder dialogs. Its modal loop (and every loop
// nested in it) runs on this thread, so a thread timer runs each test's
// steps inside it; a step that returns false is tried again at the next
// tick, which is how a step waits for a window.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "accessible.h"
#include "kwctrl32.h"
#include "leaks.h"
#include "mail_dir.h"
#include "resource.h"
#include "settings.h"
#include "stored_settings.h"
#include "watcher.h"
#include "wintest.h"

namespace {

using Step = std::function<bool(HWND properties)>;

const char kTitle[] = "Mail Notification Properties";

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    DWORD deadline = 0;
    bool running = false;
};
Script* script;

BOOL CALLBACK CollectDialog(HWND window, LPARAM list)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (!std::strcmp(className, "#32770") && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// The visible dialogs of this thread; or the first with this caption (any
// if null) and, unless null, this owner.
std::vector<HWND> Dialogs()
{
    std::vector<HWND> found;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}
HWND FindDialog(const char* title, HWND owner = nullptr)
{
    char caption[64];
    for (HWND dialog : Dialogs())
        if (GetWindowTextA(dialog, caption, sizeof caption) >= 0 && (!title || !std::strcmp(caption, title)) &&
            (!owner || GetWindow(dialog, GW_OWNER) == owner))
            return dialog;
    return nullptr;
}

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!script || script->running) return;
    script->running = true;
    if (GetTickCount() > script->deadline) {
        for (HWND dialog : Dialogs()) EndDialog(dialog, 0); // time is up: the run fails
    } else if (HWND properties = FindDialog(kTitle)) {
        if (script->next < script->steps.size() && script->steps[script->next](properties)) ++script->next;
    }
    script->running = false;
}

// Opens the dialog as the tray window does and runs the steps in it.
INT_PTR RunProperties(std::vector<Step> steps)
{
    Script run;
    run.steps = std::move(steps);
    run.deadline = GetTickCount() + 20000;
    script = &run;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ScriptTick);
    const INT_PTR result = DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), nullptr, PropertiesProc, 0);
    KillTimer(nullptr, timer);
    script = nullptr;
    EXPECT_EQ(run.next, run.steps.size()) << "steps left undone";
    return result;
}

std::string Text(HWND dialog, int id)
{
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Steps. Commands are posted, so that a modal window they open runs in the
// dialog's own loop and the script goes on ticking inside it.
Step Type(int id, const std::string& text)
{
    return [=](HWND properties) { return SetDlgItemTextA(properties, id, text.c_str()) != FALSE; };
}
Step Press(int id)
{
    return [=](HWND properties) { return PostMessageA(properties, WM_COMMAND, id, 0) != FALSE; };
}
Step Check(std::function<void(HWND)> check)
{
    return [=](HWND properties) { check(properties); return true; };
}
// Waits for a dialog owned by the Properties dialog (the caption given, or
// any), runs `act` on it once.
Step Inside(const char* title, std::function<void(HWND dialog, HWND properties)> act)
{
    return [=](HWND properties) {
        HWND dialog = FindDialog(title, properties);
        if (!dialog) return false;
        act(dialog, properties);
        return true;
    };
}
Step AnswerWarning(const std::string& text)
{
    return Inside("Tidbell", [=](HWND box, HWND) {
        const wintest::BoxInfo info = wintest::ReadMessageBox(box);
        EXPECT_EQ(info.text, text);
        EXPECT_EQ(info.icon, LoadIconA(nullptr, IDI_WARNING));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
}

// The open-file dialog: its file-name box (an edit inside the combo boxes
// of the same id) and the folder it shows.
void ChooseFile(HWND dialog, const std::string& name)
{
    HWND box = GetDlgItem(dialog, 0x47C); // cmb13
    while (HWND inner = FindWindowExA(box, nullptr, nullptr, nullptr)) box = inner;
    SetWindowTextA(box, name.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}
std::string ShownFolder(HWND dialog)
{
    char folder[MAX_PATH] = {};
    SendMessageA(dialog, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder));
    return folder;
}

void Touch(const std::string& path)
{
    CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

// A button as a screen reader reads it, named `name`, and the same name as
// its tool tip.
void ExpectNamedAndTipped(HWND window, const char* name)
{
    EXPECT_EQ(wintest::AccessibleReader(window).Name(), name);
    HWND tip = static_cast<HWND>(GetPropA(window, MAKEINTATOM(TIPPROP_TIPWND)));
    char tipText[128] = {};
    GetWindowTextA(tip, tipText, sizeof tipText);
    EXPECT_STREQ(tipText, name);
}

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The dialog comes from this test program's own copy of the
        // watcher's resources.
        appInstance = GetModuleHandleA(nullptr);
        InitControls(appInstance);
        stored::Clear();
        Touch(program);
        mailboxCount = 1;
        lstrcpynA(mailboxSettings[0].name, "Mail", kSettingSize);
        lstrcpynA(mailDir, mail.path().c_str(), kSettingSize);
        lstrcpynA(mailExt, "CNM", kSettingSize);
        lstrcpynA(clientProgram, program.c_str(), kSettingSize);
        lstrcpynA(viewerProgram, program.c_str(), kSettingSize);
        lstrcpynA(newMailSound, "None", kSettingSize);
        scanInterval = 10;
        popupNotification = 1;
        windowsNotification = 1;
    }
    void TearDown() override { stored::Clear(); }

    MailDirectory mail;
    const std::string program = mail.File("client.exe");
};

} // namespace

TEST_F(PropertiesTest, OkPutsTheFieldsInForceCutToTheirLimitsAndSavesThem)
{
    const std::string longSound = "C:\\" + std::string(297, 's');
    const INT_PTR result = RunProperties({
        Check([&](HWND properties) {
            EXPECT_EQ(Text(properties, IDC_PROP_MAILDIR), mail.path());
            EXPECT_EQ(Text(properties, IDC_PROP_CLIENT), program);
            EXPECT_EQ(Text(properties, IDC_PROP_INTERVAL), "10");
            EXPECT_EQ(Text(properties, IDC_PROP_SOUND), "None");
            EXPECT_EQ(IsDlgButtonChecked(properties, IDC_PROP_POPUP), UINT(BST_CHECKED));
            EXPECT_TRUE(SendMessageA(properties, WM_GETICON, ICON_SMALL, 0));
            CheckDlgButton(properties, IDC_PROP_POPUP, BST_UNCHECKED);
            EXPECT_EQ(IsDlgButtonChecked(properties, IDC_PROP_WINNOTIFY), UINT(BST_CHECKED));
            CheckDlgButton(properties, IDC_PROP_WINNOTIFY, BST_UNCHECKED);
        }),
        Type(IDC_PROP_MAILDIR, mail.path() + "\\"),
        Type(IDC_PROP_MAILEXT, "ABCDEFGHIJKL"),
        Type(IDC_PROP_INTERVAL, "00000000000000000042"), // only 19 characters count
        Type(IDC_PROP_SOUND, longSound),
        Press(IDOK),
    });
    EXPECT_EQ(result, 1);

    // A trailing backslash is kept; the scan removes it from the running copy.
    EXPECT_EQ(std::string(mailDir), mail.path() + "\\");
    EXPECT_STREQ(mailExt, "ABCDEFGHIJ");
    EXPECT_EQ(scanInterval, 4);
    EXPECT_EQ(std::string(newMailSound), longSound.substr(0, 253));
    EXPECT_EQ(popupNotification, 0);
    EXPECT_EQ(windowsNotification, 0);

    EXPECT_EQ(stored::Get(stored::kKey, "MailDir").text, mail.path() + "\\");
    EXPECT_EQ(stored::Get(stored::kKey, "Windows Notification").text, "No");
    EXPECT_EQ(stored::Get(stored::kKey, "Scan Interval").number, 4u);
    EXPECT_EQ(stored::Get(stored::kSoundKey, "").text, longSound.substr(0, 253));
}

TEST_F(PropertiesTest, FailedChecksWarnInOrderAndLeaveTheValuesInForceUnsaved)
{
    char found[MAX_PATH] = {};
    SearchPathA(nullptr, "notepad", ".exe", sizeof found, found, nullptr);
    const INT_PTR result = RunProperties({
        Type(IDC_PROP_CLIENT, "C:\\nowhere\\client.exe"),
        Type(IDC_PROP_MAILDIR, "C:\\nowhere"),
        Type(IDC_PROP_VIEWER, "C:\\nowhere\\viewer.exe"),
        Press(IDOK),
        AnswerWarning("WinCMail Path is invalid"),
        // A name the shell can find is replaced by the program it found.
        Type(IDC_PROP_CLIENT, "notepad"),
        Press(IDOK),
        AnswerWarning("Mail Directory Path is invalid"),
        Check([&](HWND) {
            EXPECT_STRCASEEQ(clientProgram, found);
            EXPECT_STREQ(mailDir, "C:\\nowhere");
        }),
        Type(IDC_PROP_MAILDIR, mail.path()),
        Press(IDOK),
        AnswerWarning("Viewer Program Path is invalid"),
        Press(IDCANCEL),
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(mailDir), mail.path());
    EXPECT_STREQ(viewerProgram, "C:\\nowhere\\viewer.exe");
    EXPECT_FALSE(stored::Get(stored::kKey, "MailDir").exists);
    EXPECT_FALSE(stored::Get(stored::kKey, "WinCMailDir").exists);
}

TEST_F(PropertiesTest, FileBrowsersStartInTheFieldsFolderAndFillTheField)
{
    struct Browser { int button, field; const char* title; const char* filter; const char* picked; };
    const Browser browsers[] = {
        {IDC_PROP_BROWSE_CLIENT, IDC_PROP_CLIENT, "Select WinCMail Executable", "EXE Files", nullptr}, // cancelled
        {IDC_PROP_BROWSE_CLIENT, IDC_PROP_CLIENT, "Select WinCMail Executable", "EXE Files", "pick.exe"},
        {IDC_PROP_BROWSE_VIEWER, IDC_PROP_VIEWER, "Select Mail Viewer", "EXE Files", "pick.exe"},
        {IDC_PROP_BROWSE_SOUND, IDC_PROP_SOUND, "Select Sound File", "Wave Files", "pick.wav"},
    };
    Touch(mail.File("pick.exe"));
    Touch(mail.File("pick.wav"));
    const std::string typed = mail.File("gone.xyz");
    std::vector<Step> steps;
    for (const Browser& b : browsers) {
        steps.push_back(Type(b.field, typed));
        steps.push_back(Press(b.button));
        steps.push_back(Inside(b.title, [=](HWND dialog, HWND) {
            EXPECT_STRCASEEQ(ShownFolder(dialog).c_str(), mail.path().c_str()) << b.title;
            EXPECT_EQ(Text(dialog, 0x470), b.filter); // cmb1, the file types
            if (b.picked) ChooseFile(dialog, b.picked); // a name in the folder shown
            else PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }));
        steps.push_back([=](HWND properties) {
            if (FindDialog(b.title)) return false;
            EXPECT_STRCASEEQ(Text(properties, b.field).c_str(), b.picked ? mail.File(b.picked).c_str() : typed.c_str());
            return true;
        });
    }
    steps.push_back(Press(IDCANCEL));
    RunProperties(steps);
}

TEST_F(PropertiesTest, FolderBrowserFillsTheDirectoryFieldOnlyWithAFolderPath)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    LPITEMIDLIST computer = nullptr;
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
    const auto select = [](WPARAM isPath, const void* what) {
        return Inside(nullptr, [=](HWND browser, HWND) {
            SendMessageA(browser, BFFM_SETSELECTIONA, isPath, reinterpret_cast<LPARAM>(what));
            PostMessageA(browser, WM_COMMAND, IDOK, 0);
        });
    };
    RunProperties({
        Press(IDC_PROP_BROWSE_MAILDIR),
        select(TRUE, temp),
        [&](HWND properties) { return Text(properties, IDC_PROP_MAILDIR) == stored::TempDirectory(); },
        // A choice without a file-system path says so and changes nothing.
        Press(IDC_PROP_BROWSE_MAILDIR),
        select(FALSE, computer),
        Inside("Test", [](HWND box, HWND) {
            EXPECT_EQ(wintest::ReadMessageBox(box).text, "SHGetPathFromIDList failed");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }),
        Check([](HWND properties) { EXPECT_EQ(Text(properties, IDC_PROP_MAILDIR), stored::TempDirectory()); }),
        Press(IDCANCEL),
    });
    ILFree(computer);
}

TEST_F(PropertiesTest, OpeningAgainAndAgainLeavesNoGdiObjects)
{
    RunProperties({Press(IDCANCEL)});
    const wintest::ResourceSnapshot before = wintest::ResourceSnapshot::Take();
    for (int i = 0; i < 20; ++i) RunProperties({Press(IDCANCEL)});
    const wintest::ResourceSnapshot after = wintest::ResourceSnapshot::Take();
    EXPECT_EQ(after.gdi.total, before.gdi.total) << before.DescribeChange(after);
}

TEST_F(PropertiesTest, ScreenshotShowsTheFourBrowseButtons)
{
    RunProperties({Check([](HWND properties) {
                       UpdateWindow(properties);
                       wintest::SaveBmp(wintest::CaptureScreen(),
                                        (wintest::ExeDir() + "..\\properties-dialog.bmp").c_str());
                       // Each button shows the bitmap, not just the face colour.
                       for (int id : {IDC_PROP_BROWSE_CLIENT, IDC_PROP_BROWSE_MAILDIR, IDC_PROP_BROWSE_VIEWER,
                                      IDC_PROP_BROWSE_SOUND}) {
                           const wintest::Pixels face = wintest::CaptureClient(GetDlgItem(properties, id));
                           const int plain = face.CountColor(GetSysColor(COLOR_BTNFACE));
                           EXPECT_LT(plain, int(face.data.size()) * 3 / 4) << id;
                       }
                   }),
                   Press(IDCANCEL)});
}

TEST_F(PropertiesTest, TabReachesEveryBrowseButtonAndKeysPressIt)
{
    CoInitialize(nullptr);
    const struct {
        int id;
        const char* name;
    } buttons[] = {{IDC_PROP_BROWSE_CLIENT, "Browse for the mail client"},
                   {IDC_PROP_BROWSE_MAILDIR, "Browse for the new-mail directory"},
                   {IDC_PROP_BROWSE_VIEWER, "Browse for the viewer"},
                   {IDC_PROP_BROWSE_SOUND, "Browse for the sound"}};
    std::vector<HWND> reached;
    // Each Tab goes through the dialog's own loop, as a key would.
    const Step tab = [&](HWND properties) {
        reached.push_back(GetFocus());
        return PostMessageA(GetFocus() ? GetFocus() : properties, WM_KEYDOWN, VK_TAB, 0) != FALSE;
    };
    const auto keys = [](WPARAM key) {
        return [key](HWND) {
            PostMessageA(GetFocus(), WM_KEYDOWN, key, 0);
            return PostMessageA(GetFocus(), WM_KEYUP, key, 0) != FALSE;
        };
    };
    std::vector<Step> steps(20, tab);
    steps.push_back(Check([&](HWND properties) {
        for (const auto& button : buttons) {
            HWND window = GetDlgItem(properties, button.id);
            EXPECT_NE(std::find(reached.begin(), reached.end(), window), reached.end()) << button.name;
            ExpectNamedAndTipped(window, button.name);
        }
        SetFocus(GetDlgItem(properties, IDC_PROP_BROWSE_VIEWER));
    }));
    // Enter and Space press the focused browse button.
    steps.push_back(keys(VK_RETURN));
    steps.push_back(Inside("Select Mail Viewer", [](HWND dialog, HWND) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }));
    steps.push_back([](HWND properties) {
        return !FindDialog("Select Mail Viewer") && SetFocus(GetDlgItem(properties, IDC_PROP_BROWSE_SOUND));
    });
    steps.push_back(keys(VK_SPACE));
    steps.push_back(Inside("Select Sound File", [](HWND dialog, HWND) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }));
    steps.push_back([](HWND) { return !FindDialog("Select Sound File"); });
    steps.push_back(Press(IDCANCEL));
    RunProperties(steps);
    CoUninitialize();
}

namespace {

const std::string kSecond = std::string(stored::kKey) + "\\Mailbox 2";
const std::string kThird = std::string(stored::kKey) + "\\Mailbox 3";

std::vector<std::string> MailboxLines(HWND properties)
{
    std::vector<std::string> lines;
    HWND list = GetDlgItem(properties, IDC_PROP_MAILBOXES);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char line[1024] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line));
        lines.push_back(line);
    }
    return lines;
}

Step Select(int index)
{
    return [=](HWND properties) {
        SendDlgItemMessageA(properties, IDC_PROP_MAILBOXES, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        // As a click would, so that the buttons follow the choice.
        SendMessageA(properties, WM_COMMAND, MAKEWPARAM(IDC_PROP_MAILBOXES, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(properties, IDC_PROP_MAILBOXES)));
        return true;
    };
}

// Fills the "Mailbox" dialog (a null text leaves its field) and presses OK.
Step FillMailbox(const char* name, const char* directory, const char* extension, const char* sound)
{
    return Inside("Mailbox", [=](HWND box, HWND) {
        const std::pair<int, const char*> fields[] = {
            {IDC_MBOX_NAME, name}, {IDC_MBOX_DIR, directory}, {IDC_MBOX_EXT, extension}, {IDC_MBOX_SOUND, sound}};
        for (const auto& field : fields)
            if (field.second) SetDlgItemTextA(box, field.first, field.second);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

std::vector<std::string> playedSounds;
BOOL WINAPI RecordSound(LPCSTR sound, HMODULE, DWORD)
{
    playedSounds.push_back(sound ? sound : "(null)");
    return TRUE;
}

} // namespace

TEST_F(PropertiesTest, MailboxesAddedEditedAndRemovedRoundTripThroughTheRegistry)
{
    MailDirectory work("work");
    const std::string home = mail.path() + "\\home";
    RunProperties({
        Check([&](HWND properties) {
            EXPECT_EQ(MailboxLines(properties), std::vector<std::string>{"Mail\t" + mail.path()});
            EXPECT_FALSE(Enabled(properties, IDC_PROP_REMOVE)) << "the last mailbox stays";
        }),
        Press(IDC_PROP_ADD),
        // A new mailbox has its number's name and the usual extension; it
        // needs a directory before OK takes it.
        Inside("Mailbox", [](HWND box, HWND) {
            EXPECT_EQ(Text(box, IDC_MBOX_NAME), "Mailbox 2");
            EXPECT_EQ(Text(box, IDC_MBOX_EXT), "CNM");
            EXPECT_EQ(Text(box, IDC_MBOX_SOUND), "");
            EXPECT_FALSE(Enabled(box, IDOK));
            SetDlgItemTextA(box, IDC_MBOX_NAME, "Work");
            SetDlgItemTextA(box, IDC_MBOX_DIR, "C:\\somewhere");
            EXPECT_TRUE(Enabled(box, IDOK));
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        }),
        [](HWND properties) { return !FindDialog("Mailbox") && MailboxLines(properties).size() == 1; },
        Press(IDC_PROP_ADD),
        FillMailbox("Work", work.path().c_str(), nullptr, "C:\\sounds\\work.wav"),
        [](HWND properties) { return MailboxLines(properties).size() == 2; },
        Press(IDC_PROP_ADD),
        FillMailbox("", home.c_str(), "MSG", nullptr), // no name: its number's
        [](HWND properties) { return MailboxLines(properties).size() == 3; },
        Select(1),
        Press(IDC_PROP_EDIT),
        Inside("Mailbox", [&](HWND box, HWND) {
            EXPECT_EQ(Text(box, IDC_MBOX_DIR), work.path());
            EXPECT_EQ(Text(box, IDC_MBOX_SOUND), "C:\\sounds\\work.wav");
            SetDlgItemTextA(box, IDC_MBOX_NAME, "Office");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }),
        [&](HWND properties) {
            return MailboxLines(properties) == std::vector<std::string>{"Mail\t" + mail.path(),
                                                                        "Office\t" + work.path(),
                                                                        "Mailbox 3\t" + home};
        },
        Press(IDOK),
    });
    // The first mailbox stays where the watcher has always kept it.
    EXPECT_EQ(stored::Get(stored::kKey, "MailDir").text, mail.path());
    EXPECT_EQ(stored::Get(stored::kKey, "MailExt").text, "CNM");
    EXPECT_EQ(stored::Get(stored::kKey, "Mailbox Name").text, "Mail");
    const struct {
        const std::string& key;
        const char* name;
        std::string directory;
        const char* extension;
        const char* sound;
    } saved[] = {{kSecond, "Office", work.path(), "CNM", "C:\\sounds\\work.wav"},
                 {kThird, "Mailbox 3", home, "MSG", ""}};
    for (const auto& box : saved) {
        SCOPED_TRACE(box.key);
        EXPECT_EQ(stored::Get(box.key.c_str(), "Name").text, box.name);
        EXPECT_EQ(stored::Get(box.key.c_str(), "MailDir").text, box.directory);
        EXPECT_EQ(stored::Get(box.key.c_str(), "MailExt").text, box.extension);
        EXPECT_EQ(stored::Get(box.key.c_str(), "Sound").text, box.sound);
    }
    EXPECT_EQ(mailboxCount, 3) << "in force at once";

    // Removed: the numbers close up and the subsection left over goes.
    RunProperties({
        Select(1),
        Check([](HWND properties) { EXPECT_TRUE(Enabled(properties, IDC_PROP_REMOVE)); }),
        Press(IDC_PROP_REMOVE),
        [&](HWND properties) {
            return MailboxLines(properties) ==
                   std::vector<std::string>{"Mail\t" + mail.path(), "Mailbox 3\t" + home};
        },
        Press(IDOK),
    });
    EXPECT_EQ(stored::Get(kSecond.c_str(), "MailDir").text, home);
    EXPECT_FALSE(stored::Get(kThird.c_str(), "MailDir").exists);
    LoadSettings();
    ASSERT_EQ(mailboxCount, 2);
    EXPECT_STREQ(mailboxSettings[1].name, "Mailbox 3");
}

TEST_F(PropertiesTest, TheFirstMailboxIsTheDialogsOwnFieldsAndItsSoundTheCommonOne)
{
    playSound = RecordSound;
    playedSounds.clear();
    const std::string other = mail.path() + "\\other";
    RunProperties({
        Type(IDC_PROP_SOUND, "C:\\sounds\\ding.wav"),
        // Typed into the field, the directory shows in the list at once.
        Type(IDC_PROP_MAILDIR, other),
        [&](HWND properties) { return MailboxLines(properties)[0] == "Mail\t" + other; },
        Select(0),
        Press(IDC_PROP_EDIT),
        Inside("Mailbox", [&](HWND box, HWND) {
            EXPECT_EQ(Text(box, IDC_MBOX_DIR), other);
            EXPECT_EQ(Text(box, IDC_MBOX_SOUND), "C:\\sounds\\ding.wav");
            // Play: the sound typed, or the common one when it is empty.
            SetDlgItemTextA(box, IDC_MBOX_SOUND, "C:\\sounds\\typed.wav");
            SendMessageA(box, WM_COMMAND, IDC_MBOX_PLAY, 0);
            SetDlgItemTextA(box, IDC_MBOX_SOUND, "");
            SendMessageA(box, WM_COMMAND, IDC_MBOX_PLAY, 0);
            SetDlgItemTextA(box, IDC_MBOX_NAME, "Home");
            SetDlgItemTextA(box, IDC_MBOX_DIR, mail.path().c_str());
            SetDlgItemTextA(box, IDC_MBOX_EXT, "MSG");
            SetDlgItemTextA(box, IDC_MBOX_SOUND, "C:\\sounds\\home.wav");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }),
        [](HWND properties) { return !FindDialog("Mailbox") && Text(properties, IDC_PROP_MAILEXT) == "MSG"; },
        Check([&](HWND properties) {
            EXPECT_EQ(Text(properties, IDC_PROP_MAILDIR), mail.path());
            EXPECT_EQ(Text(properties, IDC_PROP_SOUND), "C:\\sounds\\home.wav");
            EXPECT_EQ(MailboxLines(properties)[0], "Home\t" + mail.path());
        }),
        // A second mailbox with a sound of its own; the first removed, it
        // takes the first's place, fields and sound.
        Press(IDC_PROP_ADD),
        FillMailbox("Work", other.c_str(), nullptr, "C:\\sounds\\work.wav"),
        [](HWND properties) { return MailboxLines(properties).size() == 2; },
        Select(0),
        Press(IDC_PROP_REMOVE),
        Check([&](HWND properties) {
            EXPECT_EQ(MailboxLines(properties), std::vector<std::string>{"Work\t" + other});
            EXPECT_EQ(Text(properties, IDC_PROP_MAILDIR), other);
            EXPECT_EQ(Text(properties, IDC_PROP_MAILEXT), "CNM");
            EXPECT_EQ(Text(properties, IDC_PROP_SOUND), "C:\\sounds\\work.wav");
            EXPECT_FALSE(Enabled(properties, IDC_PROP_REMOVE));
        }),
        Press(IDCANCEL),
    });
    EXPECT_EQ(playedSounds, (std::vector<std::string>{"C:\\sounds\\typed.wav", "C:\\sounds\\ding.wav"}));
    EXPECT_EQ(std::string(mailDir), mail.path()) << "Cancel: nothing in force";
    EXPECT_EQ(mailboxCount, 1);
}

TEST_F(PropertiesTest, TheMailboxDialogIsReachedByTabAndNamed)
{
    CoInitialize(nullptr);
    RunProperties({
        // The list and its buttons come after the settings' own controls.
        Check([](HWND properties) {
            for (int id : {IDC_PROP_MAILBOXES, IDC_PROP_ADD, IDC_PROP_EDIT, IDC_PROP_REMOVE})
                EXPECT_TRUE(GetWindowLongA(GetDlgItem(properties, id), GWL_STYLE) & WS_TABSTOP) << id;
            EXPECT_EQ(GetNextDlgTabItem(properties, GetDlgItem(properties, IDCANCEL), FALSE),
                      GetDlgItem(properties, IDC_PROP_MAILBOXES));
        }),
        Press(IDC_PROP_ADD),
        Inside("Mailbox", [](HWND box, HWND) {
            std::vector<HWND> reached;
            HWND control = GetNextDlgTabItem(box, nullptr, FALSE);
            for (int i = 0; i < 12 && control; ++i) {
                reached.push_back(control);
                control = GetNextDlgTabItem(box, control, FALSE);
            }
            for (int id : {IDC_MBOX_NAME, IDC_MBOX_DIR, IDC_MBOX_BROWSE_DIR, IDC_MBOX_EXT, IDC_MBOX_SOUND,
                           IDC_MBOX_BROWSE_SOUND, IDC_MBOX_PLAY})
                EXPECT_NE(std::find(reached.begin(), reached.end(), GetDlgItem(box, id)), reached.end()) << id;
            const std::pair<int, const char*> named[] = {
                {IDC_MBOX_BROWSE_DIR, "Browse for the mailbox's directory"},
                {IDC_MBOX_BROWSE_SOUND, "Browse for the mailbox's sound"}};
            for (const auto& button : named) ExpectNamedAndTipped(GetDlgItem(box, button.first), button.second);
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        }),
        [](HWND) { return !FindDialog("Mailbox"); },
        Press(IDCANCEL),
    });
    CoUninitialize();
}
