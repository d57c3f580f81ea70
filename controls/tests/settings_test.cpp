// Settings store: what lands in the registry and in INI files, read back
// with the platform's own calls, and the file names built next to a module.
#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "fresh_library.h"
#include "kwctrl32.h"
#include "wintest.h"

namespace {

const std::string kPid = std::to_string(GetCurrentProcessId());
const std::string kTestRoot = "Software\\Kestrel Apps Tests " + kPid;
const std::string kTestBase = kTestRoot + "\\Base";

// Raw bytes of a value, terminator included; "<none>" if it is missing.
std::string Stored(HKEY root, const std::string& path, const char* name, DWORD* type = nullptr)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<none>";
    char data[8192];
    DWORD bytes = sizeof data;
    const LONG result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data), &bytes);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(data, bytes) : "<none>";
}

std::string Text(const char* s)
{
    return std::string(s, strlen(s) + 1);
}

std::string Read(const char* key, int size, const char* defaultText = "dflt", const char* section = "S")
{
    char buffer[8192];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KwGetPrivateProfileString(section, key, defaultText, buffer, size, nullptr), 1);
    return buffer;
}

// Every test works below a base path of its own, removed afterwards.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { SetRegBase(kTestBase.c_str()); }
    void TearDown() override
    {
        SetRootKey(HKEY_CURRENT_USER);
        SetRegBase("Software\\Kestrel Apps");
        SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot.c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kTestRoot.c_str());
    }
};

} // namespace

TEST_F(RegistryTest, WritesLandAsTypedValuesBelowTheBasePath)
{
    EXPECT_EQ(KwWritePrivateProfileInt("App", "Count", -5, "C:\\ignored.ini"), 1);
    EXPECT_EQ(KwWritePrivateProfileString("App", "Name", "hello", nullptr), 1);
    EXPECT_EQ(KwWritePrivateProfileBool("App", "On", 7, nullptr), 1);
    EXPECT_EQ(KwWritePrivateProfileBool("App", "Off", 0, nullptr), 1);
    EXPECT_EQ(KwWritePrivateProfileItem("App", "", nullptr, "%s-%d", "item", 12), 1);
    EXPECT_EQ(KwWritePrivateProfileInt("Software\\Corvid\\KWApps\\Tidbell", "N", 1, nullptr), 1);

    const std::string app = kTestBase + "\\App";
    DWORD countType = 0, nameType = 0;
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, app, "Count", &countType), std::string("\xFB\xFF\xFF\xFF", 4));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, app, "Name", &nameType), Text("hello"));
    EXPECT_EQ(countType, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(nameType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, app, "On"), Text("Yes"));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, app, "Off"), Text("No"));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, app, ""), Text("item-12")); // the key's default value
    EXPECT_NE(Stored(HKEY_CURRENT_USER, kTestBase + "\\Software\\Corvid\\KWApps\\Tidbell", "N"), "<none>");

    // The file argument has no effect.
    EXPECT_EQ(KwGetPrivateProfileInt("App", "Count", 0, "C:\\other.ini"), -5);
    EXPECT_EQ(GetFileAttributesA("C:\\ignored.ini"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RegistryTest, DeletingASectionTakesWhatIsBelowItAndNothingBeside)
{
    KwWritePrivateProfileString("App\\Part 2", "Name", "two", nullptr);
    KwWritePrivateProfileString("App\\Part 2\\Deeper", "Name", "deeper", nullptr);
    KwWritePrivateProfileString("App\\Part 3", "Name", "three", nullptr);
    EXPECT_EQ(KwDeletePrivateProfileSection("App\\Part 2", nullptr), 1);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\App\\Part 2\\Deeper", "Name"), "<none>");
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\App\\Part 2", "Name"), "<none>");
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\App\\Part 3", "Name"), Text("three"));
    EXPECT_EQ(KwDeletePrivateProfileSection("App\\Part 2", nullptr), 1) << "already gone";
    // An empty or missing name would be the base path: refused.
    EXPECT_EQ(KwDeletePrivateProfileSection("", nullptr), 0);
    EXPECT_EQ(KwDeletePrivateProfileSection(nullptr, nullptr), 0);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\App\\Part 3", "Name"), Text("three"));
}

TEST_F(RegistryTest, ReadsGiveTheDefaultForWhatDoesNotFitOrHasTheWrongType)
{
    KwWritePrivateProfileString("S", "Twenty", "abcdefghijklmnopqrst", nullptr);
    KwWritePrivateProfileString("S", "Fifteen", "abcdefghijklmno", nullptr);
    EXPECT_EQ(Read("Twenty", 16), "dflt");
    EXPECT_EQ(Read("Fifteen", 16), "abcdefghijklmno");
    EXPECT_EQ(Read("Missing", 16, "01234567890123456789"), "012345678901234");
    EXPECT_EQ(Read("Missing", 16, nullptr), "");
    EXPECT_EQ(Read(nullptr, 16), "dflt");
    // A size above 4096 is taken as 4096.
    EXPECT_EQ(Read("Fifteen", 8000), "abcdefghijklmno");
    EXPECT_EQ(Read("Missing", 8000, std::string(5000, 'x').c_str()), std::string(4095, 'x'));

    // Data without a terminator ends within the size.
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (kTestBase + "\\S").c_str(), &key), ERROR_SUCCESS);
    RegSetValueExA(key, "Raw", 0, REG_BINARY, reinterpret_cast<const BYTE*>("abcdef"), 6);
    RegCloseKey(key);
    EXPECT_EQ(Read("Raw", 16), "abcdef");
    EXPECT_EQ(Read("Raw", 6), "abcde");
    EXPECT_EQ(Read("Raw", 5), "dflt");

    // Numbers stored as text read as the default.
    KwWritePrivateProfileString("S", "Ten", "10", nullptr);
    KwWritePrivateProfileString("S", "FourBytes", "100", nullptr);
    EXPECT_EQ(KwGetPrivateProfileInt("S", "Ten", 3, nullptr), 3);
    EXPECT_EQ(KwGetPrivateProfileInt("S", "FourBytes", 3, nullptr), 3);
    EXPECT_EQ(KwGetPrivateProfileInt("S", nullptr, 3, nullptr), 3);
}

// Values as another program may leave them under a section: of any type
// and size, terminated or not.
TEST_F(RegistryTest, ForeignValuesReadWithinTheCallersBuffer)
{
    const std::string full(4095, 'f'); // with its terminator, the most a text read takes
    const DWORD abc = 0x00434241, abcd = 0x44434241, off = 0, on = 1, ten = 10;
    const unsigned long long wide = 10;
    const struct {
        const char* name;
        DWORD type;
        std::string data;
        size_t cut = 0; // bytes stored, if fewer than the data's
    } raws[] = {
        {"Huge", REG_SZ, std::string(100000, 'h') + '\0'},
        {"Full", REG_SZ, full + '\0'},
        {"Over", REG_SZ, full + "f" + '\0'},
        // No terminator: the byte after the count is not zero, so the
        // registry does not add one either.
        {"Open", REG_SZ, "abcdefX", 6},
        {"Binary", REG_BINARY, std::string(300, 'b')},
        {"Empty", REG_BINARY, ""},
        {"Multi", REG_MULTI_SZ, std::string("first\0second\0\0", 14)},
        {"Abc", REG_DWORD, std::string(reinterpret_cast<const char*>(&abc), 4)},
        {"Abcd", REG_DWORD, std::string(reinterpret_cast<const char*>(&abcd), 4)},
        {"Off", REG_DWORD, std::string(reinterpret_cast<const char*>(&off), 4)},
        {"On", REG_DWORD, std::string(reinterpret_cast<const char*>(&on), 4)},
        {"IntBinary", REG_BINARY, std::string(reinterpret_cast<const char*>(&ten), 4)},
        {"IntShort", REG_DWORD, std::string(reinterpret_cast<const char*>(&ten), 2)},
        {"IntLong", REG_DWORD, std::string(reinterpret_cast<const char*>(&wide), 8)},
        {"IntEmpty", REG_DWORD, ""},
        {"IntQword", REG_QWORD, std::string(reinterpret_cast<const char*>(&wide), 8)},
        {"IntBigEndian", REG_DWORD_BIG_ENDIAN, std::string(reinterpret_cast<const char*>(&ten), 4)},
    };
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (kTestBase + "\\S").c_str(), &key), ERROR_SUCCESS);
    for (const auto& raw : raws)
        RegSetValueExA(key, raw.name, 0, raw.type, reinterpret_cast<const BYTE*>(raw.data.data()),
                       static_cast<DWORD>(raw.cut ? raw.cut : raw.data.size()));
    RegCloseKey(key);

    // Whatever the value and the size, the caller gets a text terminated
    // within the size, and nothing past the size changes.
    for (const auto& raw : raws)
        for (int size : {1, 2, 3, 4, 5, 6, 7, 16, 255, 300, 301, 4096, 4097, 8000}) {
            std::string buffer(size + 64, '#');
            KwGetPrivateProfileString("S", raw.name, "dflt", &buffer[0], size, nullptr);
            EXPECT_TRUE(memchr(buffer.data(), 0, size)) << raw.name << ", size " << size;
            EXPECT_EQ(buffer.substr(size), std::string(64, '#')) << raw.name << ", size " << size;
        }

    // A text that does not fit is the default; one that fits is read up to
    // its first zero, whatever its type, and cut within the size.
    EXPECT_EQ(Read("Huge", 8000), "dflt");
    EXPECT_EQ(Read("Full", 8000), full);
    EXPECT_EQ(Read("Over", 8000), "dflt");
    EXPECT_EQ(Read("Open", 7), "abcdef");
    EXPECT_EQ(Read("Open", 6), "abcde");
    EXPECT_EQ(Read("Binary", 255), "dflt");
    EXPECT_EQ(Read("Binary", 300), std::string(299, 'b'));
    EXPECT_EQ(Read("Multi", 255), "first");
    EXPECT_EQ(Read("Abc", 3), "df"); // the default, cut to the size
    EXPECT_EQ(Read("Abc", 4), "ABC");
    EXPECT_EQ(Read("Abcd", 16), "ABCD");
    // An empty value is an empty text, not what the read before left behind.
    EXPECT_EQ(Read("Full", 8000), full);
    EXPECT_EQ(Read("Empty", 8000), "");

    // Booleans: a misfit is the default; a number reads by its first byte.
    EXPECT_EQ(KwGetPrivateProfileBool("S", "Huge", 1, nullptr), 1);
    EXPECT_EQ(KwGetPrivateProfileBool("S", "Huge", 0, nullptr), 0);
    EXPECT_EQ(KwGetPrivateProfileBool("S", "Off", 1, nullptr), 0);
    EXPECT_EQ(KwGetPrivateProfileBool("S", "On", 0, nullptr), 1);

    // Integers: anything but four bytes of REG_DWORD is the default.
    for (const char* name : {"IntBinary", "IntShort", "IntLong", "IntEmpty", "IntQword", "IntBigEndian", "Full"})
        EXPECT_EQ(KwGetPrivateProfileInt("S", name, 3, nullptr), 3) << name;
}

TEST_F(RegistryTest, BooleansDecodeOnlyTheNoWordsAsFalse)
{
    const struct { const char* text; int flag; } kTexts[] = {
        {"Yes", 1}, {"Y", 1}, {"ON", 1}, {"TRUE", 1}, {"1", 1}, {"2", 1}, {"00", 1}, {" 0", 1}, {"no ", 1},
        {"", 0}, {"0", 0}, {"n", 0}, {"No", 0}, {"Off", 0}, {"f", 0}, {"fAlSe", 0},
    };
    for (const auto& t : kTexts) {
        KwWritePrivateProfileString("S", "B", t.text, nullptr);
        EXPECT_EQ(KwGetPrivateProfileBool("S", "B", 1 - t.flag, nullptr), t.flag) << '"' << t.text << '"';
    }
    // Too long for the 16-character reader: the default, as 1 or 0.
    KwWritePrivateProfileString("S", "Long", "no no no no no no", nullptr);
    EXPECT_EQ(KwGetPrivateProfileBool("S", "Long", 5, nullptr), 1);
}

TEST_F(RegistryTest, RefusedWritesStoreNothing)
{
    KwWritePrivateProfileString("S", "Kept", "x", nullptr);
    EXPECT_EQ(KwWritePrivateProfileString("S", "Kept", nullptr, nullptr), 0);
    EXPECT_EQ(KwWritePrivateProfileInt("S", nullptr, 1, nullptr), 0);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\S", "Kept"), Text("x"));

    // A key path beyond 4096 characters: reads give the default, writes 0.
    const std::string deep(5000, 'd');
    EXPECT_EQ(KwWritePrivateProfileInt(deep.c_str(), "K", 1, nullptr), 0);
    EXPECT_EQ(Read("K", 16, "dflt", deep.c_str()), "dflt");

    // The formatted item is cut to 4096 characters.
    EXPECT_EQ(KwWritePrivateProfileItem("S", "Item", nullptr, "%s%s", deep.c_str(), deep.c_str()), 1);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\S", "Item").size(), 4097u);
}

TEST_F(RegistryTest, RootKeyAndBasePathMoveEveryLaterCall)
{
    // A newly loaded library starts at HKEY_CURRENT_USER\Software\Kestrel Apps.
    const std::string section = "Kestrel Apps Tests " + kPid;
    {
        FreshLibrary fresh;
        auto writeInt = fresh.Get<int(WINAPI*)(LPCSTR, LPCSTR, int, LPCSTR)>("KwWritePrivateProfileInt");
        ASSERT_TRUE(writeInt);
        EXPECT_EQ(writeInt(section.c_str(), "Count", 1, nullptr), 1);
    }
    EXPECT_NE(Stored(HKEY_CURRENT_USER, "Software\\Kestrel Apps\\" + section, "Count"), "<none>");
    SHDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Kestrel Apps\\" + section).c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kestrel Apps"); // only if it is empty

    SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(KwWritePrivateProfileInt("App", "Count", 2, nullptr), 1);
    EXPECT_NE(Stored(HKEY_LOCAL_MACHINE, kTestBase + "\\App", "Count"), "<none>");
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, kTestBase + "\\App", "Count"), "<none>");

    // A base path over 99 characters is cut to 99.
    SetRootKey(HKEY_CURRENT_USER);
    const std::string longBase = kTestRoot + "\\" + std::string(120, 'L');
    SetRegBase(longBase.c_str());
    EXPECT_EQ(KwWritePrivateProfileInt("App", "Count", 3, nullptr), 1);
    EXPECT_NE(Stored(HKEY_CURRENT_USER, longBase.substr(0, 99) + "\\App", "Count"), "<none>");
}

TEST(IniFiles, WritersStoreTheWholeTextAndBooleansDecode)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string ini = std::string(temp) + "kwsettings" + kPid + ".ini";
    const std::string section = "KwSettingsTest" + kPid;
    auto read = [&](const char* key) {
        char buffer[512] = {};
        GetPrivateProfileStringA("S", key, "<none>", buffer, sizeof buffer, ini.c_str());
        return std::string(buffer);
    };

    EXPECT_TRUE(WritePrivateProfileInt("S", "Small", -42, ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileInt("S", "Large", INT_MIN, ini.c_str()));
    EXPECT_TRUE(WritePrivateProfileItem("S", "Item", ini.c_str(), "%s=%d", "x", 5));
    EXPECT_TRUE(WritePrivateProfileItem("S", "Cut", ini.c_str(), "%s", std::string(300, 'c').c_str()));
    EXPECT_EQ(read("Small"), "-42");
    EXPECT_EQ(read("Large"), "-2147483648");
    EXPECT_EQ(read("Item"), "x=5");
    EXPECT_EQ(read("Cut"), std::string(255, 'c'));

    WritePrivateProfileStringA("S", "Off", "OFF", ini.c_str());
    EXPECT_EQ(GetPrivateProfileBool("S", "Off", 1, ini.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileBool("S", "Item", 0, ini.c_str()), 1);
    EXPECT_EQ(GetPrivateProfileBool("S", "Missing", 3, ini.c_str()), 1);
    WriteProfileStringA(section.c_str(), "No", "no");
    EXPECT_EQ(GetProfileBool(section.c_str(), "No", 1), 0);

    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());
    DeleteFileA(ini.c_str());
    WriteProfileStringA(section.c_str(), nullptr, nullptr);
}

TEST(FileNames, HelpAndSetupFilesSitNextToTheModule)
{
    char buffer[256];
    const std::string dir = wintest::ExeDir();
    EXPECT_EQ(HelpFileName(nullptr, buffer), static_cast<int>(dir.size() + 26));
    EXPECT_EQ(buffer, dir + "controls_settings_test.HLP");
    EXPECT_EQ(IniFileName(GetModuleHandleA("KWCTRL32.dll"), buffer), static_cast<int>(dir.size() + 11));
    EXPECT_EQ(buffer, dir + "CMSETUP.INI");

    // A module in a drive's root; one whose names would not fit 256
    // characters gets an empty buffer rather than a cut name.
    const std::string inRoot = "C:\\KwNames" + kPid + ".dll";
    const std::string longDir = "C:\\" + std::string(247, 'd');
    const std::string deep = longDir + "\\W.x"; // 254 characters
    CreateDirectoryA(longDir.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((dir + "KWCTRL32.dll").c_str(), inRoot.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((dir + "KWCTRL32.dll").c_str(), deep.c_str(), FALSE));
    HMODULE rootModule = LoadLibraryA(inRoot.c_str());
    HMODULE deepModule = LoadLibraryA(deep.c_str());
    ASSERT_TRUE(rootModule && deepModule);

    IniFileName(rootModule, buffer);
    EXPECT_STREQ(buffer, "C:\\CMSETUP.INI");
    EXPECT_EQ(IniFileName(deepModule, buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(HelpFileName(deepModule, buffer), 0);
    EXPECT_STREQ(buffer, "");

    FreeLibrary(rootModule);
    FreeLibrary(deepModule);
    DeleteFileA(inRoot.c_str());
    DeleteFileA(deep.c_str());
    RemoveDirectoryA(longDir.c_str());
}
