/*
 * The new-mail sound: a wave file named by the sound setting (or by a
 * mailbox's own), played asynchronously so that a newer announcement cuts
 * off an older one.
 */
#include <windows.h>
#include <mmsystem.h>

#include "kwctrl32.h"
#include "settings.h"
#include "watcher.h"

BOOL(WINAPI* playSound)(LPCSTR, HMODULE, DWORD) = PlaySoundA;

void PlaySoundFile(const char* sound)
{
    if (lstrcmpiA(sound, "None") == 0) return;
    // Without SND_NODEFAULT: a file that cannot be played gives the
    // system's default sound, which still tells the user about new mail.
    playSound(sound, nullptr, SND_FILENAME | SND_ASYNC);
}

void PlayNewMailSound()
{
    // Read afresh: the Properties dialog may have changed it meanwhile.
    KwGetPrivateProfileString(kSoundSection, "", "None", newMailSound, kSoundPlayReadSize, "");
    PlaySoundFile(newMailSound);
}

void PlayMailboxSound(const char* sound)
{
    if (!sound || !sound[0]) PlayNewMailSound();
    else PlaySoundFile(sound);
}
