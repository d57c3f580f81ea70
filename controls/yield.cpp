/*
 * Message yield: lets the calling thread's pending messages through while a
 * long operation runs on it, so windows keep painting and answering the
 * mouse. Neither routine ever waits for a message.
 */
#include "kwctrl32.h"

namespace {

// Takes at most maxMessages messages off the queue, stopping as soon as the
// queue is empty; translate decides whether a message is translated first.
template <typename Translate>
void PassMessages(int maxMessages, Translate translate)
{
    MSG msg;
    for (int i = 0; i < maxMessages; ++i) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
        if (translate(msg)) TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace

void WINAPI MyDialogYield(int maxMessages)
{
    PassMessages(maxMessages, [](const MSG&) { return true; });
}

void WINAPI MyYield(HWND window, int maxMessages)
{
    // Translation only for a valid window whose parent, taken as an MDI
    // client, did not take the message as a system accelerator; the message
    // is dispatched in every case.
    PassMessages(maxMessages, [window](MSG& msg) {
        return window && IsWindow(window) &&
               !TranslateMDISysAccel(GetParent(window), &msg);
    });
}
