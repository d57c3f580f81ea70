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
 *
 * With KW_CHECK_BINDING it also makes sure that the loader bound every
 * function it imports from the two DLLs to code inside that DLL, that is,
 * found its import name among the DLL's exports: Wine binds a name that a
 * DLL lacks to a stub elsewhere and starts the program all the same.
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

#ifdef KW_CHECK_BINDING
/* 0 when every import from KWCTRL32.dll and Shutlet.dll lies inside that
   DLL's image; otherwise says which does not and returns 1. */
static int check_binding(void)
{
    BYTE* self = (BYTE*)GetModuleHandleA(NULL);
    const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(self + ((const IMAGE_DOS_HEADER*)self)->e_lfanew);
    const IMAGE_DATA_DIRECTORY* dir = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const IMAGE_IMPORT_DESCRIPTOR* d = (const IMAGE_IMPORT_DESCRIPTOR*)(self + dir->VirtualAddress);
    char line[160];
    unsigned bound = 0;

    for (; d->Name; d++) {
        const char* dllName = (const char*)(self + d->Name);
        BYTE* dll;
        SIZE_T size;
        const IMAGE_THUNK_DATA* names;
        const IMAGE_THUNK_DATA* slots;
        if (lstrcmpiA(dllName, "KWCTRL32.dll") != 0 && lstrcmpiA(dllName, "Shutlet.dll") != 0) continue;
        dll = (BYTE*)GetModuleHandleA(dllName);
        size = ((const IMAGE_NT_HEADERS*)(dll + ((const IMAGE_DOS_HEADER*)dll)->e_lfanew))->OptionalHeader.SizeOfImage;
        names = (const IMAGE_THUNK_DATA*)(self + d->OriginalFirstThunk);
        slots = (const IMAGE_THUNK_DATA*)(self + d->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            const BYTE* at = (const BYTE*)slots->u1.Function;
            if (at < dll || at >= dll + size) {
                const char* name = IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
                                       ? "(by ordinal)"
                                       : (const char*)((const IMAGE_IMPORT_BY_NAME*)(self + names->u1.AddressOfData))->Name;
                wsprintfA(line, "%s of %s is not bound into the DLL\r\n", name, dllName);
                say(line);
                return 1;
            }
            bound++;
        }
    }
    wsprintfA(line, "bound %u imports\r\n", bound);
    say(line);
    return 0;
}
#endif

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
#ifdef KW_CHECK_BINDING
    if (check_binding() != 0) return 1;
#endif
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
