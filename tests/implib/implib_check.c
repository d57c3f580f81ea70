/*
 * A C caller of both libraries. It takes the address of every function that
 * kwctrl32.h and shutlet.h declare (the list, declared.h, is read from the
 * headers at configure time), so the program links only when every one of
 * them resolves from the import library, and it starts only when the loader
 * finds every import name in the DLLs. It then calls a few of them and
 * prints one line: "resolved N functions, calls ok".
 *
 * Built twice: by GCC and GNU ld against the lib*.dll.a import libraries,
 * and by lld-link against KWCTRL32.lib and Shutlet.lib alone (no C runtime;
 * KW_OWN_ENTRY gives that build its own entry point).
 */
#include <kwctrl32.h>
#include <shutlet.h>

typedef void (*any_function)(void);

static any_function const declared[] = {
#define DECLARED(name) (any_function)name,
#include "declared.h"
#undef DECLARED
};

static void say(const char* text)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, NULL);
}

static int check(void)
{
    char line[128];
    char padded[] = "  two   words ";
    char field[16];
    unsigned count = sizeof declared / sizeof declared[0];
    unsigned i;

    for (i = 0; i < count; i++) {
        if (!declared[i]) {
            wsprintfA(line, "function %u has no address\r\n", i);
            say(line);
            return 1;
        }
    }
    /* One call through each calling convention and each kind of export. */
    if (lstrcmpA(trim(padded), "two words") != 0) { say("trim failed\r\n"); return 1; }
    if (strcmpwild("K*32", "KWCTRL32") != 0) { say("strcmpwild failed\r\n"); return 1; }
    if (!GetToken("a,bc,d", field, 1, ',') || lstrcmpA(field, "bc") != 0) {
        say("GetToken failed\r\n");
        return 1;
    }
    if (GetProfileBool("NoSuchSection", "NoSuchKey", 1) != 1) {
        say("GetProfileBool failed\r\n");
        return 1;
    }
    if (!InitControls(GetModuleHandleA(NULL))) { say("InitControls failed\r\n"); return 1; }
    DummyComment("%s", "unused");
    if (CloseTidbell(0) != 1) { say("CloseTidbell failed\r\n"); return 1; }
    wsprintfA(line, "resolved %u functions, calls ok\r\n", count);
    say(line);
    return 0;
}

#ifdef KW_OWN_ENTRY
void start(void)
{
    ExitProcess(check());
}
#else
int main(void)
{
    return check();
}
#endif
