// A second program on the settings store, for the test that 32- and 64-bit
// programs share it (settings_arch_test.cpp runs the other architecture's
// copy):
//   SettingsPeer write SECTION TEXT NUMBER  stores TEXT under "Text", NUMBER
//                                           under "Number" and whether it is
//                                           nonzero under "Flag"
//   SettingsPeer check SECTION TEXT NUMBER  exits 0 when the store holds
//                                           exactly those, 1 when not
// Exit code 2: wrong arguments.
#include <cstdlib>
#include <cstring>

#include "kwctrl32.h"

int main(int argc, char** argv)
{
    if (argc != 5) return 2;
    const char* section = argv[2];
    const char* text = argv[3];
    const int number = std::atoi(argv[4]);
    if (std::strcmp(argv[1], "write") == 0) {
        const bool stored = KwWritePrivateProfileString(section, "Text", text, nullptr) &&
                            KwWritePrivateProfileInt(section, "Number", number, nullptr) &&
                            KwWritePrivateProfileBool(section, "Flag", number != 0, nullptr);
        return stored ? 0 : 1;
    }
    if (std::strcmp(argv[1], "check") == 0) {
        char read[256] = "";
        KwGetPrivateProfileString(section, "Text", "<none>", read, sizeof read, nullptr);
        const bool same = std::strcmp(read, text) == 0 &&
                          KwGetPrivateProfileInt(section, "Number", number + 1, nullptr) == number &&
                          KwGetPrivateProfileBool(section, "Flag", number == 0, nullptr) == (number != 0);
        return same ? 0 : 1;
    }
    return 2;
}
