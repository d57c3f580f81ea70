// The shipped binaries' export and import tables: callers link against the
// export names exactly as they stand, and the binaries must run on a bare
// Windows, needing nothing but system DLLs and each other.
#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "pe_image.h"
#include "wintest.h"

namespace {

using wintest::PeImage;
using wintest::PeImport;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::set<std::string> Sorted(const std::vector<std::string>& names)
{
    return {names.begin(), names.end()};
}

PeImage LoadBinary(const char* name)
{
    PeImage image;
    EXPECT_TRUE(image.Load(wintest::ExeDir() + name)) << name;
    return image;
}

// System DLLs a binary of the family may import.
const std::set<std::string> kSystemDlls = {
    "kernel32.dll", "user32.dll",  "gdi32.dll",    "advapi32.dll", "shell32.dll",
    "comdlg32.dll", "winmm.dll",   "shlwapi.dll",  "msvcrt.dll",   "ole32.dll",    "oleaut32.dll",
    "oleacc.dll",
};

void ExpectOnlyImports(const PeImage& image, std::set<std::string> allowed)
{
    for (const PeImport& import : image.Imports())
        EXPECT_TRUE(allowed.count(Lower(import.dll))) << "unexpected import of " << import.dll;
}

// The name a routine is exported under by this build, given its 32-bit
// export name. x64 has no standard-call decoration: "_GetFont@8" is
// "GetFont" there; plain names stay as they are.
std::string BuildName(const std::string& x86Name)
{
#ifdef _WIN64
    const size_t at = x86Name.rfind('@');
    if (x86Name.size() > 1 && x86Name[0] == '_' && at != std::string::npos && at + 1 < x86Name.size() &&
        x86Name.find_first_not_of("0123456789", at + 1) == std::string::npos)
        return x86Name.substr(1, at - 1);
#endif
    return x86Name;
}

std::set<std::string> BuildNames(const std::set<std::string>& x86Names)
{
    std::set<std::string> names;
    for (const std::string& name : x86Names) names.insert(BuildName(name));
    return names;
}

} // namespace

TEST(Images, EveryBinaryIsBuiltForThisArchitecture)
{
    for (const char* name : {"Tidbell32.exe", "KWCTRL32.dll", "Shutlet.dll", "KWGallery.exe"}) {
        const PeImage image = LoadBinary(name);
        EXPECT_EQ(image.Machine(), wintest::kBuildMachine) << name;
        EXPECT_EQ(image.Is64(), sizeof(void*) == 8) << name;
    }
}

// The 32-bit names, decorated ones included, exactly; on x64 each by its
// plain name.
TEST(Exports, ControlLibraryExportsExactlyItsNames)
{
    const std::set<std::string> x86Names = {
        "InitControls",   "Comment",          "DummyComment",   "DisplayDebugMessage",
        "DisplayStatusMessage", "MyDialogYield", "_MyYield@8",  "InitURL",
        "InitDips",       "InitBumps",        "InitBMPButtons", "RegisterGasGauge",
        "RegisterHeader", "statusInit",       "InitializeTips", "InitTimeDisplay",
        // Settings store
        "SetRootKey", "SetRegBase", "KwGetPrivateProfileString", "KwWritePrivateProfileString",
        "KwGetPrivateProfileInt", "KwWritePrivateProfileInt", "KwGetPrivateProfileBool",
        "KwWritePrivateProfileBool", "KwWritePrivateProfileItem", "KwDeletePrivateProfileSection",
        "_GetPrivateProfileBool@16",
        "_GetProfileBool@12", "WritePrivateProfileInt", "WritePrivateProfileItem", "_HelpFileName@8",
        "_IniFileName@8",
        // Strings and clipboard
        "trim", "GetToken", "strcmpwild", "strcmpiwild", "_CopyTextToClipboard@8",
        // Window and dialog utilities
        "winCenter", "cwCenter", "InflateWnd", "MoveWnd", "GetSmallFont", "_GetFont@8",
        "SetMyDialogFont", "Create3DEffect",
        // Bitmap utilities
        "_CopyBitmap@4", "ChangeBitmapColorDC", "ChangeBitmapColor", "SwapBitmapColors",
        "LoadTransparentBitmap", "LoadTransparentBitmap1", "DimBitmap", "CreateDisabledBitmap",
        // Hyperlink control
        "_ClipCopy@8",
        // Tool tips and status bar
        "CreateTip", "DestroyTip", "SetTipsStatus", "statusCreateTools", "statusDeleteTools",
        "statusGetHeight", "statusUpdateStatus", "statusUpdateCount", "MsgTimer", "_statusWndProc@16",
        "_fnText@16", "_PaintText@8",
    };
    EXPECT_EQ(Sorted(LoadBinary("KWCTRL32.dll").ExportNames()), BuildNames(x86Names));
}

TEST(Exports, WatcherExportsItsAboutBoxAndForwardsTheRest)
{
    const PeImage watcher = LoadBinary("Tidbell32.exe");
    EXPECT_EQ(Sorted(watcher.ExportNames()),
              BuildNames({"Comment", "KWTrim", "WritePrivateProfileInt", "_AboutProc@16"}));

    // The About box procedure is the program's own code; the others are the
    // library's routines themselves.
    EXPECT_EQ(watcher.Forwarder(BuildName("_AboutProc@16")), "");
    EXPECT_EQ(watcher.Forwarder("Comment"), "KWCTRL32.Comment");
    EXPECT_EQ(watcher.Forwarder("KWTrim"), "KWCTRL32.trim");
    EXPECT_EQ(watcher.Forwarder("WritePrivateProfileInt"), "KWCTRL32.WritePrivateProfileInt");
}

TEST(Exports, CloserExportsItsThreeNamesAtFixedOrdinals)
{
    const std::vector<std::pair<WORD, std::string>> expected = {
        {1, "CloseLinkbell"}, {2, "CloseHorlett"}, {3, "CloseTidbell"}};
    EXPECT_EQ(LoadBinary("Shutlet.dll").Exports(), expected);
}

TEST(Imports, BinariesNeedOnlySystemDllsAndEachOther)
{
    ExpectOnlyImports(LoadBinary("KWCTRL32.dll"), kSystemDlls);
    ExpectOnlyImports(LoadBinary("Shutlet.dll"), kSystemDlls);

    std::set<std::string> watcherDlls = kSystemDlls;
    watcherDlls.insert({"kwctrl32.dll", "ctl3d32.dll"});
    ExpectOnlyImports(LoadBinary("Tidbell32.exe"), watcherDlls);
}

TEST(Imports, WatcherIsAGuiProgramBoundToTheLibrary)
{
    const PeImage watcher = LoadBinary("Tidbell32.exe");
    EXPECT_EQ(watcher.Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_FALSE(watcher.IsDll());
    const auto imports = watcher.Imports();
    EXPECT_TRUE(std::any_of(imports.begin(), imports.end(),
                            [](const PeImport& i) { return Lower(i.dll) == "kwctrl32.dll"; }));
}

// 32-bit by nature: the 3-D controls library exists for 32-bit programs
// only, and the 64-bit watcher binds none.
TEST(Imports, ThreeDControlsAreBoundByOrdinalOnly)
{
    const auto imports = LoadBinary("Tidbell32.exe").Imports();
    auto ctl3d = std::find_if(imports.begin(), imports.end(),
                              [](const PeImport& i) { return Lower(i.dll) == "ctl3d32.dll"; });
#ifdef _WIN64
    EXPECT_EQ(ctl3d, imports.end());
    GTEST_SKIP() << "32-bit only: the 64-bit watcher binds no 3-D controls library";
#endif
    ASSERT_NE(ctl3d, imports.end());
    EXPECT_TRUE(ctl3d->names.empty());
    EXPECT_EQ(std::set<WORD>(ctl3d->ordinals.begin(), ctl3d->ordinals.end()), (std::set<WORD>{12, 13, 16}));

    // The platform's library resolves those ordinals.
    HMODULE library = LoadLibraryA("ctl3d32.dll");
    ASSERT_TRUE(library);
    for (WORD ordinal : {12, 13, 16})
        EXPECT_TRUE(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))) << "ordinal " << ordinal;
    FreeLibrary(library);
}

TEST(Imports, NoBinaryPaintsOrMeasuresTextThroughAnsiCalls)
{
    // The ANSI text calls of GDI and USER convert with the system's code
    // page, not the process's own, so text in a UTF-8 process would come out
    // garbled on Windows; the binaries convert with CP_ACP and call the
    // Unicode forms.
    const std::pair<const char*, std::vector<const char*>> kAnsiText[] = {
        {"gdi32.dll",
         {"TextOutA", "ExtTextOutA", "GetTextExtentPoint32A", "GetTextExtentPointA", "GetTextExtentExPointA",
          "GetCharWidthA", "GetCharWidth32A", "GetTextFaceA", "PolyTextOutA", "GetTextMetricsA"}},
        {"user32.dll", {"DrawTextA", "DrawTextExA", "TabbedTextOutA", "GrayStringA"}},
    };
    for (const char* binary : {"Tidbell32.exe", "KWCTRL32.dll", "Shutlet.dll"}) {
        const PeImage image = LoadBinary(binary);
        for (const auto& dll : kAnsiText)
            for (const char* function : dll.second)
                EXPECT_FALSE(image.ImportsFunction(dll.first, function)) << binary << " imports " << function;
    }
}

TEST(Exports, NameTablesAreSortedForTheLoader)
{
    // The loader binary-searches the name table; an entry out of order
    // (as a linker may place a decorated alias) cannot be imported by name.
    for (const char* binary : {"KWCTRL32.dll", "Tidbell32.exe", "Shutlet.dll"}) {
        const std::vector<std::string> names = LoadBinary(binary).ExportNames();
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << binary;
    }
}

namespace {

std::string VersionText(const std::vector<char>& block, const char* name)
{
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text) return "";
    return text;
}

} // namespace

TEST(Versions, EveryBinaryCarriesTheProductVersionAndItsOwnName)
{
    for (const char* name : {"Tidbell32.exe", "KWCTRL32.dll", "Shutlet.dll", "KWGallery.exe"}) {
        SCOPED_TRACE(name);
        const std::string path = wintest::ExeDir() + name;
        std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), nullptr));
        ASSERT_FALSE(block.empty());
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, DWORD(block.size()), block.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
        EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 9));
        EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 2));
        EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(0, 9));
        const bool isProgram = std::string(name).find(".exe") != std::string::npos;
        EXPECT_EQ(fixed->dwFileType, DWORD(isProgram ? VFT_APP : VFT_DLL));

        EXPECT_EQ(VersionText(block, "FileVersion"), "2.0.9");
        EXPECT_EQ(VersionText(block, "ProductVersion"), "2.0.9");
        EXPECT_EQ(VersionText(block, "OriginalFilename"), name);
        EXPECT_NE(VersionText(block, "FileDescription"), "");
        EXPECT_NE(VersionText(block, "ProductName"), "");
    }
}
