// The resources that the watcher's code and the control library load by
// number or name: read straight from Tidbell32.exe and KWCTRL32.dll, mapped
// as data files, so nothing of either module runs.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "wintest.h"

#include "../resource.h"

namespace {

constexpr COLORREF kKeyPurple = RGB(128, 0, 128);
constexpr COLORREF kSilver = RGB(192, 192, 192);

// A module mapped as a data file: its resources can be loaded, its code is
// never run.
class DataModule {
public:
    explicit DataModule(const char* fileName)
    {
        const std::string path = wintest::ExeDir() + fileName;
        module_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~DataModule()
    {
        if (module_) FreeLibrary(module_);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    HMODULE get() const { return module_; }

    // The raw bytes of one resource, empty if it is missing.
    std::vector<unsigned char> Raw(LPCSTR name, LPCSTR type) const
    {
        HRSRC info = FindResourceA(module_, name, type);
        if (!info) return {};
        HGLOBAL data = LoadResource(module_, info);
        const void* bytes = data ? LockResource(data) : nullptr;
        if (!bytes) return {};
        const auto* p = static_cast<const unsigned char*>(bytes);
        return std::vector<unsigned char>(p, p + SizeofResource(module_, info));
    }

private:
    HMODULE module_ = nullptr;
};

// ---------------------------------------------------------------- dialogs

struct DialogItem {
    int id = 0;
    std::string cls;  // predefined classes by name ("Button", "Static", ...)
    std::string text; // an ordinal as "#n"
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
};

struct DialogInfo {
    bool ok = false;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    int pointSize = 0;
    std::string font;
    std::vector<DialogItem> items;
};

// Walks a dialog template with every read checked against the resource size.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& bytes) : b_(bytes) {}

    bool ok() const { return ok_; }
    WORD Word()
    {
        if (pos_ + 2 > b_.size()) {
            ok_ = false;
            return 0;
        }
        WORD w = WORD(b_[pos_] | (b_[pos_ + 1] << 8));
        pos_ += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        return lo | (DWORD(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    void Skip(size_t n) { pos_ += n; ok_ = ok_ && pos_ <= b_.size(); }
    void AlignDword() { Skip((4 - pos_ % 4) % 4); }

    std::string String()
    {
        std::wstring w;
        for (WORD c = Word(); ok_ && c != 0; c = Word()) w.push_back(wchar_t(c));
        if (w.empty()) return {};
        char buf[512] = {};
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), buf, sizeof buf - 1, nullptr, nullptr);
        return buf;
    }
    // A name-or-ordinal field; an ordinal comes back as "#n".
    std::string NameOrOrdinal()
    {
        const size_t start = pos_;
        const WORD first = Word();
        if (first == 0) return {};
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        pos_ = start;
        return String();
    }

private:
    const std::vector<unsigned char>& b_;
    size_t pos_ = 0;
    bool ok_ = true;
};

std::string ClassName(const std::string& raw)
{
    static const char* const predefined[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
    for (int i = 0; i < 6; ++i)
        if (raw == "#" + std::to_string(0x80 + i)) return predefined[i];
    return raw;
}

// Reads a DLGTEMPLATE (the form that the DIALOG statement gives).
DialogInfo ReadDialog(const DataModule& module, int id)
{
    DialogInfo d;
    const std::vector<unsigned char> bytes = module.Raw(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (bytes.size() < 4 || (bytes[2] == 0xFF && bytes[3] == 0xFF)) return d;
    TemplateReader r(bytes);

    d.style = r.Dword();
    r.Dword();  // extended style
    const int count = r.Word();
    d.x = r.Short();
    d.y = r.Short();
    d.cx = r.Short();
    d.cy = r.Short();
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // window class
    d.caption = r.String();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.Word();
        d.font = r.String();
    }
    for (int i = 0; i < count && r.ok(); ++i) {
        DialogItem item;
        r.AlignDword();
        item.style = r.Dword();
        r.Dword();  // extended style
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Short();
        item.cls = ClassName(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        r.Skip(r.Word());  // creation data
        d.items.push_back(item);
    }
    d.ok = r.ok() && int(d.items.size()) == count;
    return d;
}

// What a table row of a dialog demands of one control. `style` must be set
// within `mask`; a null text is not checked.
struct Expected {
    int id;
    const char* cls;
    const char* text;
    int x, y, cx, cy;
    DWORD style;
    DWORD mask;
};

constexpr DWORD kTypeMask = 0x0F;  // button and static type bits (SS_ types fit in 0x1F)
constexpr DWORD kStaticMask = 0x1F;
constexpr DWORD kEditBits = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

#define DEFAULT_BUTTON BS_DEFPUSHBUTTON, kTypeMask
#define PUSH_TAB BS_PUSHBUTTON | WS_TABSTOP, kTypeMask | WS_TABSTOP
#define PUSH BS_PUSHBUTTON, kTypeMask
#define GROUP_BOX BS_GROUPBOX, kTypeMask
#define CHECK_BOX BS_AUTOCHECKBOX | WS_TABSTOP, kTypeMask | WS_TABSTOP
#define OWNER_DRAWN BS_OWNERDRAW, kTypeMask
#define LEFT_TEXT SS_LEFT, kStaticMask
#define NOWRAP_TEXT SS_LEFTNOWORDWRAP, kStaticMask
#define ICON_STATIC SS_ICON, kStaticMask
#define EDIT kEditBits, kEditBits | ES_READONLY
#define READONLY_EDIT kEditBits | ES_READONLY, kEditBits | ES_READONLY
#define TAB_STOP WS_TABSTOP, WS_TABSTOP
#define ANY_STYLE 0, 0

void ExpectItems(const DialogInfo& d, const std::vector<Expected>& want)
{
    ASSERT_EQ(d.items.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const DialogItem& got = d.items[i];
        const Expected& w = want[i];
        SCOPED_TRACE("item " + std::to_string(i) + " (id " + std::to_string(w.id) + ")");
        // Identifiers are 16-bit in a DLGTEMPLATE: "no id" reads back as 0xFFFF.
        EXPECT_EQ(static_cast<WORD>(got.id), static_cast<WORD>(w.id));
        // Class names are compared as the window manager does, without case.
        EXPECT_EQ(lstrcmpiA(got.cls.c_str(), w.cls), 0) << got.cls << " vs " << w.cls;
        if (w.text) {
            EXPECT_EQ(got.text, w.text);
        }
        EXPECT_EQ(got.x, w.x);
        EXPECT_EQ(got.y, w.y);
        EXPECT_EQ(got.cx, w.cx);
        EXPECT_EQ(got.cy, w.cy);
        EXPECT_EQ(got.style & (WS_CHILD | WS_VISIBLE), DWORD(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(got.style & w.mask, w.style) << std::hex << got.style;
    }
}

class WatcherResources : public ::testing::Test {
protected:
    static void SetUpTestSuite() { watcher_ = new DataModule("Tidbell32.exe"); }
    static void TearDownTestSuite()
    {
        delete watcher_;
        watcher_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(watcher_->get(), nullptr) << "Tidbell32.exe not found beside the test"; }

    static DataModule* watcher_;
};
DataModule* WatcherResources::watcher_ = nullptr;

TEST_F(WatcherResources, NewMailPopupDialog)
{
    const DialogInfo d = ReadDialog(*watcher_, IDD_NEWMAIL);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.style, 0x80CA00C0u);
    EXPECT_EQ(d.caption, "New Mail!!");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.cx, 266);
    EXPECT_EQ(d.cy, 105);
    ExpectItems(d, {
        {IDOK, "Button", "&Close", 209, 84, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, kTypeMask | WS_TABSTOP},
        {-1, "Button", "", 7, 5, 252, 73, GROUP_BOX},
        {-1, "Static", "#106", 14, 16, 20, 20, ICON_STATIC},
        {-1, "Static", "From:", 43, 18, 33, 8, LEFT_TEXT},
        {IDC_POPUP_FROM, "Edit", "", 84, 16, 167, 14, READONLY_EDIT},
        {-1, "Static", "Subject:", 43, 39, 33, 8, LEFT_TEXT},
        {IDC_POPUP_SUBJECT, "Edit", "", 84, 36, 167, 14, READONLY_EDIT},
        {-1, "Static", "Date:", 43, 59, 32, 8, LEFT_TEXT},
        {IDC_POPUP_DATE, "Edit", "", 84, 56, 167, 14, READONLY_EDIT},
        {IDC_POPUP_POSITION, "Static", "Total", 11, 87, 34, 8, LEFT_TEXT},
        {IDC_POPUP_PREV, "Button", "<< &Prev", 51, 84, 50, 14, PUSH_TAB},
        {IDC_POPUP_NEXT, "Button", "&Next >>", 101, 84, 50, 14, PUSH_TAB},
        {IDC_POPUP_CMAIL, "Button", "&CMail", 155, 84, 50, 14, PUSH_TAB},
    });
}

TEST_F(WatcherResources, PropertiesDialog)
{
    const DialogInfo d = ReadDialog(*watcher_, IDD_PROPERTIES);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.style, 0x80C800C0u);
    EXPECT_EQ(d.caption, "Mail Notification Properties");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    // Wider than the 291 units it had before the mailbox list came beside
    // the fields; everything else stands where it stood.
    EXPECT_EQ(d.cx, 430);
    EXPECT_EQ(d.cy, 151);
    ExpectItems(d, {
        {-1, "Button", "", 7, 3, 277, 118, GROUP_BOX},
        {-1, "Static", "WinCMail Location", 15, 18, 66, 8, NOWRAP_TEXT},
        {IDC_PROP_CLIENT, "Edit", "", 85, 15, 172, 14, EDIT},
        {IDC_PROP_BROWSE_CLIENT, "KWBMPButton", "Custom1", 259, 16, 18, 14, TAB_STOP},
        {-1, "Static", "New Mail Directory", 15, 35, 66, 8, NOWRAP_TEXT},
        {IDC_PROP_MAILDIR, "Edit", "", 85, 32, 171, 14, EDIT},
        {IDC_PROP_BROWSE_MAILDIR, "KWBMPButton", "Custom1", 259, 33, 18, 14, ANY_STYLE},
        {-1, "Static", "Quick Viewer", 15, 52, 66, 8, NOWRAP_TEXT},
        {IDC_PROP_VIEWER, "Edit", "", 85, 49, 171, 14, EDIT},
        {IDC_PROP_BROWSE_VIEWER, "KWBMPButton", "Custom1", 259, 50, 18, 14, ANY_STYLE},
        {-1, "Static", "NewMail Sound", 15, 69, 66, 8, NOWRAP_TEXT},
        {IDC_PROP_SOUND, "Edit", "", 85, 66, 171, 14, EDIT},
        {IDC_PROP_BROWSE_SOUND, "KWBMPButton", "Custom1", 259, 66, 18, 14, ANY_STYLE},
        {-1, "Static", "New Mail Extension", 15, 86, 66, 8, NOWRAP_TEXT},
        {IDC_PROP_MAILEXT, "Edit", "", 85, 83, 23, 14, EDIT},
        {IDC_PROP_POPUP, "Button", "Popup Notification", 149, 85, 74, 10, CHECK_BOX},
        {IDC_PROP_WINNOTIFY, "Button", "Windows Notification", 149, 101, 84, 10, CHECK_BOX},
        {-1, "Static", "Scan Mail Dir Every", 15, 102, 66, 8, NOWRAP_TEXT},
        {IDC_PROP_INTERVAL, "Edit", "", 85, 99, 23, 14, EDIT},
        {-1, "Static", "Seconds", 113, 103, 29, 8, LEFT_TEXT},
        {IDOK, "Button", "OK", 179, 130, 50, 14, DEFAULT_BUTTON},
        {IDCANCEL, "Button", "Cancel", 234, 130, 50, 14, PUSH},
        {-1, "Button", "", 291, 3, 132, 118, GROUP_BOX},
        {-1, "Static", "&Mailboxes", 298, 12, 118, 8, LEFT_TEXT},
        {IDC_PROP_MAILBOXES, "ListBox", "", 298, 22, 118, 74, LBS_NOTIFY | LBS_USETABSTOPS | WS_TABSTOP,
         LBS_NOTIFY | LBS_USETABSTOPS | WS_TABSTOP},
        {IDC_PROP_ADD, "Button", "&Add...", 298, 100, 37, 14, PUSH_TAB},
        {IDC_PROP_EDIT, "Button", "&Edit...", 339, 100, 37, 14, PUSH_TAB},
        {IDC_PROP_REMOVE, "Button", "&Remove", 380, 100, 36, 14, PUSH_TAB},
    });
}

TEST_F(WatcherResources, MailboxDialog)
{
    const DialogInfo d = ReadDialog(*watcher_, IDD_MAILBOX);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.style, 0x80C800C0u);
    EXPECT_EQ(d.caption, "Mailbox");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    // Every control that takes input is reached with Tab; each edit field
    // follows the label that names it.
    ExpectItems(d, {
        {-1, "Static", "&Name", 8, 11, 50, 8, LEFT_TEXT},
        {IDC_MBOX_NAME, "Edit", "", 62, 8, 160, 14, EDIT},
        {-1, "Static", "&Directory", 8, 29, 50, 8, LEFT_TEXT},
        {IDC_MBOX_DIR, "Edit", "", 62, 26, 160, 14, EDIT},
        {IDC_MBOX_BROWSE_DIR, "KWBMPButton", "Browse for the mailbox's directory", 225, 26, 18, 14, TAB_STOP},
        {-1, "Static", "E&xtension", 8, 47, 50, 8, LEFT_TEXT},
        {IDC_MBOX_EXT, "Edit", "", 62, 44, 30, 14, EDIT},
        {-1, "Static", "&Sound", 8, 65, 50, 8, LEFT_TEXT},
        {IDC_MBOX_SOUND, "Edit", "", 62, 62, 134, 14, EDIT},
        {IDC_MBOX_BROWSE_SOUND, "KWBMPButton", "Browse for the mailbox's sound", 198, 62, 18, 14, TAB_STOP},
        {IDC_MBOX_PLAY, "Button", "&Play", 219, 62, 24, 14, PUSH_TAB},
        {IDOK, "Button", "OK", 138, 84, 50, 14, DEFAULT_BUTTON},
        {IDCANCEL, "Button", "Cancel", 193, 84, 50, 14, PUSH},
    });
}

TEST_F(WatcherResources, AboutDialog)
{
    const DialogInfo d = ReadDialog(*watcher_, IDD_ABOUT);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.style, 0x90C800C0u);
    EXPECT_EQ(d.caption, "About Tidbell");
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    EXPECT_EQ(d.x, 73);
    EXPECT_EQ(d.y, 69);
    EXPECT_EQ(d.cx, 191);
    EXPECT_EQ(d.cy, 147);
    ExpectItems(d, {
        {IDOK, "Button", "OK", 132, 128, 50, 14, DEFAULT_BUTTON},
        {IDC_ABOUT_VERSION, "Static", "", 74, 11, 102, 18, NOWRAP_TEXT},
        {IDC_ABOUT_NAME, "Static", "Tidbell", 74, 34, 102, 8, LEFT_TEXT},
        {IDC_ABOUT_BY, "Static", "By", 74, 48, 102, 8, LEFT_TEXT},
        {IDC_ABOUT_CREDIT1, "Static", nullptr, 74, 61, 102, 8, LEFT_TEXT},
        {IDC_ABOUT_CREDIT2, "Static", nullptr, 74, 75, 102, 18, LEFT_TEXT},
        {IDC_ABOUT_LINK, "KWURLWindow", "Custom1", 74, 98, 101, 19, TAB_STOP},
        {-1, "KWDipsWindow", "", 68, 5, 114, 118, ANY_STYLE},
        {IDC_ABOUT_LOGO, "Button", "", 7, 9, 50, 110, OWNER_DRAWN},
        {-1, "KWDipsWindow", "", 3, 5, 58, 118, ANY_STYLE},
    });
}

// ------------------------------------------------------------------ menu

TEST_F(WatcherResources, TrayMenuHoldsOnePopupWithItemsInPlace)
{
    HMENU menu = LoadMenuA(watcher_->get(), MAKEINTRESOURCEA(IDM_TRAYMENU));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);

    struct Item {
        const char* text;  // null for a separator
        UINT id;
    };
    const Item want[] = {
        {"&Properties", IDM_PROPERTIES},
        {"&Show New Mail List", IDM_SHOWLIST},
        {"&About", IDM_ABOUT},
        {nullptr, 0},
        {"&Run WinCMail", IDM_RUNCLIENT},
        {nullptr, 0},
        {"E&xit", IDM_EXIT},
    };
    const int count = int(sizeof want / sizeof want[0]);
    ASSERT_EQ(GetMenuItemCount(popup), count);
    for (int pos = 0; pos < count; ++pos) {
        SCOPED_TRACE("position " + std::to_string(pos));
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        ASSERT_TRUE(GetMenuItemInfoA(popup, pos, TRUE, &info));
        EXPECT_EQ(info.hSubMenu, nullptr);
        if (!want[pos].text) {
            EXPECT_NE(info.fType & MFT_SEPARATOR, 0u);
            continue;
        }
        EXPECT_EQ(info.fType & MFT_SEPARATOR, 0u);
        EXPECT_EQ(info.fState & (MFS_GRAYED | MFS_CHECKED), 0u);
        EXPECT_EQ(info.wID, want[pos].id);
        char text[64] = {};
        GetMenuStringA(popup, pos, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, want[pos].text);
    }
    EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), UINT(IDM_RUNCLIENT));
    DestroyMenu(menu);
}

// ----------------------------------------------------------------- icons

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The images that an icon group lists, as (width, bits per pixel).
std::vector<std::pair<int, int>> IconImages(const DataModule& module, int id)
{
    std::vector<std::pair<int, int>> images;
    const std::vector<unsigned char> raw = module.Raw(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (raw.size() < 6) return images;
    const int count = raw[4] | (raw[5] << 8);
    for (int i = 0; i < count && 6 + (i + 1) * sizeof(GroupIconEntry) <= raw.size(); ++i) {
        GroupIconEntry e;
        std::memcpy(&e, raw.data() + 6 + i * sizeof e, sizeof e);
        EXPECT_EQ(e.width, e.height) << "icon " << id << " image " << i;
        const int bits = e.bitCount ? e.bitCount : (e.colours == 16 ? 4 : 0);
        images.emplace_back(e.width ? e.width : 256, bits);
    }
    return images;
}

// An icon drawn at size x size onto white.
wintest::Pixels DrawIcon(const DataModule& module, int id, int size)
{
    HICON icon = static_cast<HICON>(LoadImageA(module.get(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
    if (!icon) return {};
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, size, size};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    wintest::Pixels pixels = wintest::CaptureDC(dc, size, size);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
    return pixels;
}

// The small and large icon sizes at 100%, 125%, 150% and 200%.
const std::vector<int> kIconSizes = {16, 20, 24, 32, 40, 48, 64};

TEST_F(WatcherResources, IconsHaveLargeAndSmall16ColourImages)
{
    for (int id : {IDI_IDLE, IDI_APP, IDI_NEWMAIL, IDI_ABOUT}) {
        SCOPED_TRACE("icon " + std::to_string(id));
        const auto images = IconImages(*watcher_, id);
        bool large = false, small = false;
        std::vector<int> sizes;
        for (const auto& image : images) {
            EXPECT_EQ(image.second, 4) << "every image has 16 colours";
            large = large || image.first == 32;
            small = small || image.first == 16;
            sizes.push_back(image.first);
        }
        EXPECT_TRUE(large);
        EXPECT_TRUE(small);
        std::sort(sizes.begin(), sizes.end());
        EXPECT_EQ(sizes, kIconSizes) << "one image for each size";
        HANDLE icon = LoadImageA(watcher_->get(), MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 32, 0);
        EXPECT_NE(icon, nullptr);
        if (icon) DestroyIcon(static_cast<HICON>(icon));
    }
}

TEST_F(WatcherResources, TrayIconsShowIdleOnGreyAndNewMailOnRed)
{
    const COLORREF grey = RGB(128, 128, 128), red = RGB(255, 0, 0);
    for (int size : kIconSizes) {
        SCOPED_TRACE("size " + std::to_string(size));
        const wintest::Pixels idle = DrawIcon(*watcher_, IDI_IDLE, size);
        const wintest::Pixels mail = DrawIcon(*watcher_, IDI_NEWMAIL, size);
        ASSERT_FALSE(idle.empty());
        ASSERT_FALSE(mail.empty());
        const int ground = size * size / 5;  // the ground shows around the bell
        EXPECT_GT(idle.CountColor(grey), ground);
        EXPECT_EQ(idle.CountColor(red), 0);
        EXPECT_GT(mail.CountColor(red), ground);
        EXPECT_EQ(mail.CountColor(grey), 0);
    }
}

// --------------------------------------------------------------- bitmaps

struct BitmapShape {
    int width = 0, height = 0, bits = 0;
    wintest::Pixels pixels;
};

BitmapShape ReadBitmap(const DataModule& module, LPCSTR name)
{
    BitmapShape shape;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(module.get(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return shape;
    DIBSECTION dib = {};
    if (GetObjectA(bitmap, sizeof dib, &dib) == sizeof dib) {
        shape.width = dib.dsBm.bmWidth;
        shape.height = dib.dsBm.bmHeight;
        shape.bits = dib.dsBmih.biBitCount;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    shape.pixels = wintest::CaptureDC(dc, shape.width, shape.height);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return shape;
}

TEST_F(WatcherResources, BrowseBitmapIsDrawnOnTheKeyColour)
{
    const BitmapShape face = ReadBitmap(*watcher_, MAKEINTRESOURCEA(IDB_BROWSE));
    EXPECT_EQ(face.width, 24);
    EXPECT_EQ(face.height, 24);
    EXPECT_EQ(face.bits, 4);
    ASSERT_FALSE(face.pixels.empty());
    // The disabled image takes its background from the top-left pixel, and
    // the loader swaps the key colour for the button face.
    EXPECT_EQ(face.pixels.At(0, 0), kKeyPurple);
    EXPECT_EQ(face.pixels.At(23, 0), kKeyPurple);
    EXPECT_EQ(face.pixels.At(0, 23), kKeyPurple);
    EXPECT_EQ(face.pixels.At(23, 23), kKeyPurple);
    // The swap would also turn button-face pixels of the picture purple.
    EXPECT_EQ(face.pixels.CountColor(kSilver), 0);
    // And there is a picture, not only ground.
    EXPECT_LT(face.pixels.CountColor(kKeyPurple), 24 * 24 * 3 / 4);
}

// The logo and its twice-as-large drawing for 150% and more.
TEST_F(WatcherResources, LogoBitmapIsDrawnOnTheKeyColour)
{
    for (int scale : {1, 2}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        const BitmapShape logo = ReadBitmap(*watcher_, scale == 1 ? IDB_LOGO : IDB_LOGO2X);
        EXPECT_EQ(logo.width, 60 * scale);
        EXPECT_EQ(logo.height, 96 * scale);
        EXPECT_EQ(logo.bits, 4);
        ASSERT_FALSE(logo.pixels.empty());
        EXPECT_EQ(logo.pixels.At(0, 0), kKeyPurple);
        EXPECT_EQ(logo.pixels.CountColor(kSilver), 0);
        EXPECT_LT(logo.pixels.CountColor(kKeyPurple), logo.width * logo.height * 3 / 4);
    }
}

// --------------------------------------------------------------- cursors

struct CursorShape {
    bool found = false;
    bool monochrome = false;
    int width = 0, height = 0;
    int hotX = -1, hotY = -1;
    bool hotSpotOnPicture = false;  // the AND mask is clear under the hot spot
};

CursorShape ReadCursor(HMODULE module, LPCSTR name)
{
    CursorShape shape;
    HCURSOR cursor = static_cast<HCURSOR>(LoadImageA(module, name, IMAGE_CURSOR, 0, 0, 0));
    if (!cursor) return shape;
    shape.found = true;
    ICONINFO info = {};
    if (GetIconInfo(cursor, &info)) {
        shape.hotX = int(info.xHotspot);
        shape.hotY = int(info.yHotspot);
        shape.monochrome = info.hbmColor == nullptr;
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof mask, &mask);
        shape.width = mask.bmWidth;
        // A monochrome cursor's mask holds the AND image above the XOR image.
        shape.height = shape.monochrome ? mask.bmHeight / 2 : mask.bmHeight;
        std::vector<unsigned char> bits(size_t(mask.bmWidthBytes) * mask.bmHeight);
        if (!bits.empty() && GetBitmapBits(info.hbmMask, LONG(bits.size()), bits.data()) > 0 &&
            shape.hotX >= 0 && shape.hotX < shape.width && shape.hotY >= 0 && shape.hotY < shape.height) {
            const unsigned char byte = bits[size_t(shape.hotY) * mask.bmWidthBytes + shape.hotX / 8];
            shape.hotSpotOnPicture = (byte & (0x80 >> (shape.hotX % 8))) == 0;
        }
        if (info.hbmMask) DeleteObject(info.hbmMask);
        if (info.hbmColor) DeleteObject(info.hbmColor);
    }
    DestroyCursor(cursor);
    return shape;
}

void ExpectHandCursor(HMODULE module)
{
    const CursorShape hand = ReadCursor(module, IDCUR_HAND);
    ASSERT_TRUE(hand.found);
    EXPECT_TRUE(hand.monochrome);
    EXPECT_EQ(hand.width, 32);
    EXPECT_EQ(hand.height, 32);
    EXPECT_TRUE(hand.hotSpotOnPicture) << "hot spot (" << hand.hotX << ", " << hand.hotY << ")";
}

TEST_F(WatcherResources, CarriesTheHandCursorForTheHyperlink)
{
    ExpectHandCursor(watcher_->get());
}

// The programs run in UTF-8, whatever the system's code page.
TEST(ProgramResources, ManifestsAskForUtf8AsTheAnsiCodePage)
{
    for (const char* program : {"Tidbell32.exe", "KWGallery.exe"}) {
        DataModule module(program);
        ASSERT_NE(module.get(), nullptr) << program;
        const std::vector<unsigned char> raw = module.Raw(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
        const std::string manifest(raw.begin(), raw.end());
        EXPECT_NE(manifest.find(">UTF-8</activeCodePage>"), std::string::npos) << program;
    }
}

TEST(ControlLibraryResources, CarriesHandAndMovingCursors)
{
    DataModule library("KWCTRL32.dll");
    ASSERT_NE(library.get(), nullptr) << "KWCTRL32.dll not found beside the test";
    ExpectHandCursor(library.get());

    const CursorShape moving = ReadCursor(library.get(), "MOVING");
    ASSERT_TRUE(moving.found);
    EXPECT_TRUE(moving.monochrome);
    EXPECT_EQ(moving.width, 32);
    EXPECT_EQ(moving.height, 32);
    EXPECT_EQ(moving.hotX, 16);
    EXPECT_EQ(moving.hotY, 16);
    EXPECT_TRUE(moving.hotSpotOnPicture);
}

}  // namespace
