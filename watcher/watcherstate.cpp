/*
 * The running watcher's mailboxes, scans and announcements (see
 * watcherstate.h).
 */
#include "watcherstate.h"

#include <cstdio>
#include <cstring>

#include "resource.h"
#include "settings.h"

namespace {

// The header reader tells nobody when it cannot have its read buffer; the
// scan's caller does, as the reader once did itself, once per scan.
void ReportMissingReadBuffer()
{
    MessageBoxA(GetFocus(), "System error: Cannot allocate io buffer", "File I/O Error", MB_ICONERROR);
}

// The wait cursor while a list for the popup is gathered.
class WaitCursor {
public:
    WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
    ~WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The window's reference to its state, kept in a window property of this
// name (not the user data, which any window may use for itself: the
// helpers that take a window are also handed others).
using StateHandle = std::shared_ptr<WatcherState>;
const char kStateProperty[] = "Tidbell.WatcherState";

} // namespace

std::shared_ptr<WatcherState> StateOf(HWND window)
{
    const auto* handle = static_cast<const StateHandle*>(GetPropA(window, kStateProperty));
    return handle ? *handle : nullptr;
}

void SetStateOf(HWND window, std::shared_ptr<WatcherState> state)
{
    auto* old = static_cast<StateHandle*>(RemovePropA(window, kStateProperty));
    if (state) SetPropA(window, kStateProperty, new StateHandle(std::move(state)));
    delete old;
}

WatcherState::WatcherState(HWND window) : window_(window), scheduler_(window)
{
    FollowSettings();
}

WatcherState::~WatcherState()
{
    ForgetMailNotification(notified_);
}

Mailbox* WatcherState::MailboxAt(int index) const
{
    return index >= 0 && index < MailboxCount() ? mailboxes_[static_cast<size_t>(index)].get() : nullptr;
}

Mailbox* WatcherState::FindMailbox(MailboxId id) const
{
    const int index = IndexOf(id);
    return index >= 0 ? MailboxAt(index) : nullptr;
}

int WatcherState::IndexOf(MailboxId id) const
{
    for (int i = 0; i < MailboxCount(); ++i)
        if (mailboxes_[static_cast<size_t>(i)]->Id() == id) return i;
    return -1;
}

MailboxSet WatcherState::Every() const
{
    return MailboxCount() >= kMaxMailboxes ? (1u << kMaxMailboxes) - 1 : MailboxBit(MailboxCount()) - 1;
}

int WatcherState::Waiting() const
{
    int waiting = 0;
    for (const auto& mailbox : mailboxes_) waiting += mailbox->Waiting();
    return waiting;
}

bool WatcherState::FollowSettings()
{
    if (closed_ || settingsSeen_ == SettingsRevision()) return false;
    settingsSeen_ = SettingsRevision();
    const bool hadMailboxes = !mailboxes_.empty();
    std::vector<const Mailbox*> before;
    for (const auto& mailbox : mailboxes_) before.push_back(mailbox.get());
    const int count = mailboxCount < 1 ? 1 : mailboxCount > kMaxMailboxes ? kMaxMailboxes : mailboxCount;
    MailboxList next;
    bool fresh = false;
    for (int i = 0; i < count; ++i) {
        const MailboxSettings& settings = mailboxSettings[i];
        std::shared_ptr<Mailbox> mailbox;
        for (auto& old : mailboxes_) {
            if (old && old->Watches(settings)) {
                mailbox = std::move(old);
                break;
            }
        }
        if (mailbox) {
            mailbox->Rename(settings);
        } else {
            mailbox = std::make_shared<Mailbox>(settings);
            mailbox->Watch().Start(mailbox->Directory());
            fresh = true;
        }
        next.push_back(std::move(mailbox));
    }
    // Mailboxes added, removed, or kept but put in another order.
    bool moved = fresh || next.size() != before.size();
    for (size_t i = 0; i < next.size() && !moved; ++i) moved = next[i].get() != before[i];
    mailboxes_.swap(next);
    if (!moved) return false;
    // Bursts and wishes belonged to the places the mailboxes had: all are
    // scanned soon, the new ones for the mail they hold already.
    scheduler_.Forget();
    if (hadMailboxes) scheduler_.ScanSoon(Every());
    return true;
}

MailboxSet WatcherState::FollowWatches(MailboxSet mailboxes)
{
    MailboxSet anew = 0;
    for (int i = 0; i < MailboxCount(); ++i) {
        Mailbox& mailbox = *mailboxes_[static_cast<size_t>(i)];
        if ((mailboxes & MailboxBit(i)) && mailbox.Watch().Follow(mailbox.Directory())) anew |= MailboxBit(i);
    }
    return anew;
}

int WatcherState::WatchHandles(HANDLE* handles, int* mailboxes, int max) const
{
    int n = 0;
    for (int i = 0; i < MailboxCount() && n < max; ++i) {
        if (HANDLE handle = mailboxes_[static_cast<size_t>(i)]->Watch().Handle()) {
            handles[n] = handle;
            mailboxes[n] = i;
            ++n;
        }
    }
    return n;
}

MailboxSet WatcherState::TakeSignals()
{
    MailboxSet signalled = 0;
    for (int i = 0; i < MailboxCount(); ++i)
        if (mailboxes_[static_cast<size_t>(i)]->Watch().Take()) signalled |= MailboxBit(i);
    return signalled;
}

void WatcherState::ChangesSeen(MailboxSet mailboxes)
{
    // Mailboxes whose changes are seen together are scanned together, and
    // what they found is announced once.
    MailboxSet now = 0;
    for (int i = 0; i < kMaxMailboxes; ++i)
        if ((mailboxes & MailboxBit(i)) && scheduler_.Changed(i)) now |= MailboxBit(i);
    if (now && !closed_) ScanAndAnnounce(now);
}

void WatcherState::ChangeSeen(int index)
{
    ChangesSeen(MailboxBit(index));
}

void WatcherState::FormatTip(char (&tip)[kTipSize], int count) const
{
    std::snprintf(tip, sizeof tip, "%d New Mail Messages", count);
    if (MailboxCount() <= 1) return;
    size_t used = std::strlen(tip);
    for (const auto& mailbox : mailboxes_) {
        char line[kTipSize + kSettingSize];
        if (!mailbox->Reachable()) std::snprintf(line, sizeof line, "\n%s: not reachable", mailbox->Name());
        else if (mailbox->Waiting() > 0) std::snprintf(line, sizeof line, "\n%s: %d", mailbox->Name(), mailbox->Waiting());
        else continue;
        // Cut at a whole line: one that does not fit ends the tip.
        const size_t length = std::strlen(line);
        if (used + length >= sizeof tip) break;
        std::memcpy(tip + used, line, length + 1);
        used += length;
    }
}

int WatcherState::Scan(MailboxSet mailboxes, RecordList* found, MailboxId* soundOf)
{
    // The scans let messages through: the mailboxes scanned stay alive
    // even if the settings change meanwhile.
    const MailboxList scanned = mailboxes_;
    int count = 0;
    bool lackedMemory = false;
    MailboxSet busy = 0;
    for (size_t i = 0; i < scanned.size() && !closed_; ++i) {
        const MailboxSet bit = MailboxBit(static_cast<int>(i));
        if (!(mailboxes & bit)) continue;
        Mailbox& mailbox = *scanned[i];
        // A scan of this mailbox is under way further up: it wants to run
        // again once that one is done.
        if (mailbox.Scanning()) {
            busy |= bit;
            continue;
        }
        const int foundHere = ScanMailbox(mailbox, found, &lackedMemory);
        ++scans_;
        if (foundHere > 0 && soundOf && !*soundOf) *soundOf = mailbox.Id();
        count += foundHere;
    }
    if (scanned == mailboxes_) {
        scheduler_.Scanned(mailboxes & ~busy);
        scheduler_.ScanSoon(busy);
    }
    if (lackedMemory && !closed_) ReportMissingReadBuffer();
    return count;
}

void WatcherState::RestartScanning()
{
    lastCount_ = Waiting();
    scheduler_.Resume();
    scheduler_.RestartInterval();
}

void WatcherState::Start()
{
    MailboxId soundOf = 0;
    // The known lists fill alone: at start-up every waiting file is new,
    // and nothing is listed for a popup.
    const int found = Scan(Every(), nullptr, &soundOf);
    if (closed_) return;
    char tip[kTipSize];
    FormatTip(tip, MailboxCount() > 1 ? Waiting() : found);
    std::memcpy(lastTip_, tip, sizeof tip);
    ShowTrayIcon(window_, NIM_ADD, found > 0 ? IDI_NEWMAIL : IDI_IDLE, tip);
    // The popup is never opened at start-up; the sound waits while the
    // user is busy, like that of a scan.
    if (found > 0) {
        if (UserIsBusy()) scheduler_.Hold(nullptr, soundOf);
        else PlaySoundOf(soundOf);
    }
    RestartScanning();
}

void WatcherState::PlaySoundOf(MailboxId mailbox)
{
    // The first mailbox has the common sound, as do those without their own.
    const int index = IndexOf(mailbox);
    if (index <= 0) PlayNewMailSound();
    else PlayMailboxSound(MailboxAt(index)->Sound());
}

void WatcherState::PopupOn(RecordList* list)
{
    scheduler_.Pause();
    OpenPopup(list, this);
    scheduler_.Resume();
}

void WatcherState::ShowNewMail(RecordList* found)
{
    if (popupNotification) PopupOn(found);
    else if (windowsNotification) ShowMailNotification(window_, notified_, found);
}

void WatcherState::ScanAndAnnounce(MailboxSet mailboxes)
{
    scheduler_.Pause();
    FollowSettings();
    // This scan sees every change made so far. A directory being removed
    // is let go of first, so that the watch does not keep it from going.
    FollowWatches(mailboxes);
    RecordList* found = ListCreate(kAllMailboxesCapacity);
    MailboxId soundOf = 0;
    const int count = Scan(mailboxes, found, &soundOf);
    if (closed_) {
        ListDestroy(found);
        return;
    }

    const int waiting = Waiting();
    char tip[kTipSize];
    FormatTip(tip, waiting);
    if (count > 0) {
        ShowTrayIcon(window_, NIM_MODIFY, IDI_NEWMAIL, tip);
        if (UserIsBusy()) {
            scheduler_.Hold(found, soundOf);
        } else {
            PlaySoundOf(soundOf);
            ShowNewMail(found);
        }
    } else if (waiting < lastCount_ || lastCount_ == 0) {
        // The new-mail icon stays until the client has taken some in.
        ShowTrayIcon(window_, NIM_MODIFY, IDI_IDLE, tip);
    } else if (MailboxCount() > 1 && std::strcmp(tip, lastTip_) != 0) {
        // The same count, but a mailbox's line changed (one became
        // unreachable, or mail moved between mailboxes): the icon stays.
        ShowTrayIcon(window_, NIM_MODIFY, tray.icon, tip);
    }
    std::memcpy(lastTip_, tip, sizeof tip);
    // Messages taken in no longer need their memory for a notification's
    // click.
    if (waiting < lastCount_) ListPrune(notified_.named);
    ListDestroy(found);
    if (!closed_) RestartScanning();
}

void WatcherState::ReleaseAnnouncement()
{
    // This departs from the popup's usual rules in three ways: the popup
    // (or the notification's summary) lists every message that arrived
    // while the user was busy, over as many scans as there were, not only
    // those of the latest scan; it opens on a tick that did not scan; and
    // messages the client took in meanwhile are left out (with none left,
    // neither comes). The sound plays once for all of them, that of the
    // first mailbox in order with new mail.
    scheduler_.Pause();
    MailboxId soundOf = 0;
    RecordList* list = scheduler_.TakeHeld(&soundOf);
    int first = IndexOf(soundOf);
    for (int i = 0; i < ListCount(list); ++i) {
        const int index = IndexOf(MailAt(list, i)->mailbox);
        if (index >= 0 && (first < 0 || index < first)) first = index;
    }
    ListPrune(list);
    PlaySoundOf(first >= 0 ? MailboxAt(first)->Id() : 0);
    const bool popup = popupNotification && ListCount(list) > 0;
    if (ListCount(list) > 0) ShowNewMail(list);
    ListDestroy(list);
    if (closed_) return;
    // As after a scan's popup, the interval counts from its closing.
    if (popup) RestartScanning();
    else scheduler_.Resume();
}

void WatcherState::OnTick()
{
    // Besides the interval the tick keeps the settings and the watches
    // followed and looks at the signals, for the times the message loop is
    // not the one running (menus and dialogs have loops of their own).
    FollowSettings();
    ChangesSeen(FollowWatches());
    ChangesSeen(TakeSignals());
    if (closed_ || scheduler_.Paused()) return;
    if (scheduler_.ReleaseDue()) {
        ReleaseAnnouncement();
        return;
    }
    if (!scheduler_.IntervalDue()) return;
    ScanAndAnnounce(Every());
}

void WatcherState::OnBurstSettled()
{
    const MailboxSet settled = scheduler_.TakeSettled();
    if (settled) ScanAndAnnounce(settled);
}

void WatcherState::Resumed()
{
    // The directories may have changed in any way meanwhile, and a watch on
    // a network volume may have been lost.
    FollowWatches();
    scheduler_.ScanSoon(Every());
}

void WatcherState::SettingsClosed()
{
    // A new directory is watched (and scanned) at once.
    FollowSettings();
    ChangesSeen(FollowWatches());
}

void WatcherState::Close()
{
    if (closed_) return;
    closed_ = true;
    // Paused for good: no tick and no burst's scan any more.
    scheduler_.Pause();
    scheduler_.DropHeld();
    for (auto& mailbox : mailboxes_) mailbox->Watch().Stop();
    mailboxes_.clear();
    ForgetMailNotification(notified_);
}

void WatcherState::PopupOnGathered(const std::function<void(RecordList*)>& gather, bool evenEmpty)
{
    scheduler_.Pause();
    RecordList* list = ListCreate(kAllMailboxesCapacity);
    {
        WaitCursor waiting;
        gather(list);
    }
    if (evenEmpty || ListCount(list) > 0) OpenPopup(list, this);
    ListDestroy(list);
    scheduler_.Resume();
}

void WatcherState::ShowNewMailList()
{
    PopupOnGathered(
        [this](RecordList* list) {
            for (const auto& mailbox : mailboxes_) ListAppendAll(list, mailbox->Known());
            // The list shows every waiting message, so nothing held is
            // owed any more.
            scheduler_.DropHeld();
        },
        true);
}

void WatcherState::OpenNotifiedMail()
{
    if (ListCount(notified_.named) == 0) return;
    PopupOnGathered(
        [this](RecordList* list) {
            ListAppendAll(list, notified_.named);
            // It names them no more after this.
            ForgetMailNotification(notified_);
            ListPrune(list);
        },
        false);
}

bool WatcherState::RescanDue(std::time_t since)
{
    // The signals are taken either way, so that none outlives this scan.
    const MailboxSet wanted = scheduler_.TakeWanted() | TakeSignals();
    return wanted != 0 || scheduler_.IntervalDue(since);
}

void WatcherState::RescanInto(RecordList* list)
{
    FollowSettings();
    Scan(Every(), list, nullptr);
    if (closed_) return;
    // With one mailbox the tip counts what the popup lists; with several,
    // what waits in each.
    char tip[kTipSize];
    FormatTip(tip, MailboxCount() > 1 ? Waiting() : ListCount(list));
    ShowTrayIcon(window_, NIM_MODIFY, IDI_NEWMAIL, tip);
}

const char* WatcherState::ShownMailboxName(MailboxId mailbox)
{
    if (MailboxCount() <= 1) return nullptr;
    const Mailbox* found = FindMailbox(mailbox);
    return found ? found->Name() : nullptr;
}
