/*
 * The kit's example: registers the library's classes, makes a gas gauge a
 * quarter full, keeps a setting in the library's store and reads it back,
 * and asks the closer to end a running mail watcher. Prints what it saw;
 * exits 0 when all went as it should.
 */
#include <stdio.h>
#include <string.h>

#include <kwctrl32.h>
#include <shutlet.h>

int main(void)
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    char greeting[64] = "";
    HWND gauge;

    InitControls(instance);
    gauge = CreateWindowA(KW_GASGAUGE_CLASS, "", WS_POPUP, 10, 10, 200, 20, NULL, NULL, instance, NULL);
    if (!gauge) {
        printf("no gauge\n");
        return 1;
    }
    SendMessageA(gauge, GGM_SETRANGE, 0, MAKELPARAM(0, 400));
    SendMessageA(gauge, GGM_SETPOS, 100, 0);

    KwWritePrivateProfileString("Example", "Greeting", "hello from the kit", NULL);
    KwGetPrivateProfileString("Example", "Greeting", "", greeting, sizeof greeting, NULL);

    printf("%d-bit: gauge made, setting read back: \"%s\", closer: %d\n", (int)sizeof(void*) * 8, greeting,
           CloseTidbell(0));
    DestroyWindow(gauge);
    return strcmp(greeting, "hello from the kit") == 0 ? 0 : 1;
}
