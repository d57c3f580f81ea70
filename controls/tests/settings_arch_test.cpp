// 32- and 64-bit programs share the settings store: its key lies under
// HKEY_CURRENT_USER\Software, which Windows does not split by architecture.
// This (64-bit) test and the 32-bit build's SettingsPeer, in one prefix,
// each read what the other wrote.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "kwctrl32.h"
#include "pe_image.h"
#include "wintest.h"

namespace {

class SettingsAcrossArchitectures : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* path = std::getenv("KW_SETTINGS_PEER");
        ASSERT_TRUE(path) << "KW_SETTINGS_PEER names the other architecture's SettingsPeer.exe";
        peer_ = path;
        wintest::PeImage image;
        ASSERT_TRUE(image.Load(peer_)) << peer_;
        ASSERT_NE(image.Machine(), wintest::kBuildMachine) << "the peer must be of the other architecture";
    }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Kestrel Apps\\" + section_).c_str()); }

    DWORD RunPeer(const char* command, const char* text, int number) const
    {
        const std::string args =
            std::string(command) + " \"" + section_ + "\" \"" + text + "\" " + std::to_string(number);
        wintest::Process peer = wintest::StartProcess(peer_, args, SW_HIDE);
        DWORD code = 99;
        EXPECT_TRUE(peer && wintest::WaitExit(peer, 60000, &code)) << peer_ << " " << args;
        wintest::KillProcess(peer);
        return code;
    }

    std::string peer_;
    const std::string section_ = "Architectures " + std::to_string(GetCurrentProcessId());
};

} // namespace

TEST_F(SettingsAcrossArchitectures, EachReadsWhatTheOtherWrote)
{
    const char* section = section_.c_str();
    ASSERT_TRUE(KwWritePrivateProfileString(section, "Text", "written by x64", nullptr));
    ASSERT_TRUE(KwWritePrivateProfileInt(section, "Number", 64, nullptr));
    ASSERT_TRUE(KwWritePrivateProfileBool(section, "Flag", 1, nullptr));
    EXPECT_EQ(RunPeer("check", "written by x64", 64), 0u);
    EXPECT_EQ(RunPeer("check", "written by x64", 32), 1u) << "the peer must tell a difference";

    ASSERT_EQ(RunPeer("write", "written by x86", 0), 0u);
    char text[64] = "";
    KwGetPrivateProfileString(section, "Text", "<none>", text, sizeof text, nullptr);
    EXPECT_STREQ(text, "written by x86");
    EXPECT_EQ(KwGetPrivateProfileInt(section, "Number", -1, nullptr), 0);
    EXPECT_EQ(KwGetPrivateProfileBool(section, "Flag", 1, nullptr), 0);
}
