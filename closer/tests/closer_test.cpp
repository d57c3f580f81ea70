// The closer library seen from a program that loads it: each export asks
// every window of its program's classes to close, and returns even when a
// window will not close or does not answer.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "shutlet.h"
#include "stored_settings.h"
#include "wintest.h"

namespace {

using wintest::MessageRecorder;

const char kOtherClass[] = "ShutletTestBystander";

// Windows that log the order in which they are asked to close.
struct CloseLog {
    std::vector<std::string> order;

    std::unique_ptr<MessageRecorder> Window(const char* className, bool refuses = false)
    {
        auto window = std::make_unique<MessageRecorder>(nullptr, className, "Tidbell");
        window->OnMessage(WM_CLOSE, [this, className, refuses](HWND h, UINT m, WPARAM w, LPARAM l) {
            order.push_back(className);
            return refuses ? 0 : DefWindowProcA(h, m, w, l);
        });
        return window;
    }
};

void ExpectOneCloseRequest(const MessageRecorder& window)
{
    const auto received = window.Received(WM_CLOSE);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[0].lParam, 0);
}

// A window owned by a thread of its own. The thread answers messages until
// the object is destroyed, or, with `hang`, answers nothing until Resume(),
// as a program stuck in a long job would.
class WindowOnThread {
public:
    WindowOnThread(const char* className, bool hang)
        : ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          resume_(CreateEventA(nullptr, TRUE, hang ? FALSE : TRUE, nullptr)),
          end_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this, className] { Run(className); });
        WaitForSingleObject(ready_, 10000);
    }
    ~WindowOnThread()
    {
        SetEvent(resume_);
        SetEvent(end_);
        thread_.join();
        for (HANDLE event : {ready_, resume_, end_}) CloseHandle(event);
    }
    HWND hwnd() const { return hwnd_; }
    void Resume() { SetEvent(resume_); }

private:
    void Run(const char* className)
    {
        MessageRecorder window(nullptr, className);
        hwnd_ = window.hwnd();
        SetEvent(ready_);
        WaitForSingleObject(resume_, INFINITE);
        while (MsgWaitForMultipleObjects(1, &end_, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
    }

    HANDLE ready_;
    HANDLE resume_;
    HANDLE end_;
    HWND hwnd_ = nullptr;
    std::thread thread_;
};

// Calls the export on a thread of its own while this thread answers its
// windows' messages. When the call has not returned within timeoutMs,
// giveIn() makes the windows close after all, so that a closer that would
// wait for ever fails the test instead of hanging it.
struct Outcome {
    bool returnedInTime;
    int result;
};

Outcome CallWithin(SHUTLET_CLOSE_PROC closer, DWORD timeoutMs, const std::function<void()>& giveIn)
{
    std::atomic<bool> done{false};
    int result = -1;
    std::thread caller([&] {
        result = closer(0);
        done = true;
    });
    const bool returnedInTime = wintest::PumpUntil([&] { return done.load(); }, timeoutMs);
    if (!returnedInTime) {
        giveIn();
        wintest::PumpUntil([&] { return done.load(); }, 60000);
    }
    caller.join();
    return {returnedInTime, result};
}

#ifndef _WIN64
// Calls the export with one argument by hand and returns how far the stack
// pointer moved over the call: 0 when the callee removed its argument.
int StackDrift(FARPROC function)
{
    int drift;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl $0\n\t"
        "call *%%edi\n\t"
        "movl %%esi, %%eax\n\t"
        "subl %%esp, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(drift)
        : "D"(function)
        : "ecx", "edx", "esi", "memory", "cc");
    return drift;
}
#endif

// Windows that answer WM_CLOSE by making a new window of their class before
// they go, so that one of them is always there, until told to stop.
struct Respawner {
    std::vector<std::unique_ptr<MessageRecorder>> windows;
    bool stopped = false;

    void Add()
    {
        auto window = std::make_unique<MessageRecorder>(nullptr, SHUTLET_TIDBELL_CLASS);
        window->OnMessage(WM_CLOSE, [this](HWND h, UINT, WPARAM, LPARAM) {
            if (!stopped) Add();
            DestroyWindow(h);
            return LRESULT(0);
        });
        windows.push_back(std::move(window));
    }
};

} // namespace

TEST(CloseTidbell, NothingRunningReturnsOneAndTouchesNoOtherWindow)
{
    MessageRecorder bystander(nullptr, kOtherClass, SHUTLET_TIDBELL_CLASS);
    EXPECT_EQ(CloseTidbell(0), 1);
    EXPECT_EQ(bystander.Count(WM_CLOSE), 0u);
    EXPECT_TRUE(IsWindow(bystander.hwnd()));
}

TEST(CloseTidbell, ClosesEveryWindowOfTheClassWhateverTheTitle)
{
    CloseLog log;
    auto first = log.Window(SHUTLET_TIDBELL_CLASS);
    auto second = log.Window(SHUTLET_TIDBELL_CLASS);
    auto third = std::make_unique<MessageRecorder>(nullptr, SHUTLET_TIDBELL_CLASS, "");
    MessageRecorder bystander(nullptr, kOtherClass, "Tidbell");

    EXPECT_EQ(CloseTidbell(0), 1);
    EXPECT_EQ(wintest::CountWindows(SHUTLET_TIDBELL_CLASS), 0);
    for (const MessageRecorder* window : {first.get(), second.get(), third.get()})
        ExpectOneCloseRequest(*window);
    EXPECT_EQ(bystander.Count(WM_CLOSE), 0u);
}

TEST(CloseLinkbell, ReportsWhetherOneWasRunning)
{
    MessageRecorder bystander(nullptr, kOtherClass);
    EXPECT_EQ(CloseLinkbell(0), 0);
    EXPECT_EQ(bystander.Count(WM_CLOSE), 0u);

    // A window of another thread is gone by the time the call returns.
    WindowOnThread notifier(SHUTLET_LINKBELL_CLASS, false);
    ASSERT_TRUE(IsWindow(notifier.hwnd()));
    EXPECT_EQ(CloseLinkbell(0), 1);
    EXPECT_FALSE(IsWindow(notifier.hwnd()));

    EXPECT_EQ(CloseLinkbell(0), 0);
}

TEST(CloseHorlett, ClosesBothClassNamesNewNameFirst)
{
    CloseLog log;
    auto old = log.Window(SHUTLET_HORLETT_CLASS2);
    auto first = log.Window(SHUTLET_HORLETT_CLASS);
    auto second = log.Window(SHUTLET_HORLETT_CLASS);

    EXPECT_EQ(CloseHorlett(0), 1);
    EXPECT_EQ(log.order, (std::vector<std::string>{"KWHorlett", "KWHorlett", "Horlett"}));
    EXPECT_EQ(wintest::CountWindows(SHUTLET_HORLETT_CLASS), 0);
    EXPECT_EQ(wintest::CountWindows(SHUTLET_HORLETT_CLASS2), 0);

    // Nothing left: still 1.
    EXPECT_EQ(CloseHorlett(0), 1);
}

TEST(BoundedLoop, WindowThatStaysIsAskedOnceAndTheOthersStillClose)
{
    CloseLog log;
    auto before = log.Window(SHUTLET_TIDBELL_CLASS);
    auto stays = log.Window(SHUTLET_TIDBELL_CLASS, true);
    auto after = log.Window(SHUTLET_TIDBELL_CLASS);
    // The one that stays is the first a lookup finds, ahead of both others.
    SetWindowPos(stays->hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_EQ(FindWindowA(SHUTLET_TIDBELL_CLASS, nullptr), stays->hwnd());

    const Outcome outcome = CallWithin(CloseTidbell, 10000, [&] { stays->OnMessage(WM_CLOSE, {}); });
    ASSERT_TRUE(outcome.returnedInTime);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(log.order.size(), 3u);
    ExpectOneCloseRequest(*stays);
    EXPECT_TRUE(IsWindow(stays->hwnd()));
    EXPECT_FALSE(IsWindow(before->hwnd()));
    EXPECT_FALSE(IsWindow(after->hwnd()));

    // A later call asks it again, once.
    EXPECT_EQ(CloseTidbell(0), 1);
    EXPECT_EQ(stays->Count(WM_CLOSE), 2u);
}

TEST(BoundedLoop, WindowThatDoesNotAnswerIsNotWaitedFor)
{
    WindowOnThread stuck(SHUTLET_TIDBELL_CLASS, true);
    MessageRecorder other(nullptr, SHUTLET_TIDBELL_CLASS);
    // The system counts a thread as hung once it has not looked at its
    // messages for a few seconds.
    ASSERT_TRUE(wintest::PumpUntil([&] { return IsHungAppWindow(stuck.hwnd()) != FALSE; }, 15000));

    const Outcome outcome = CallWithin(CloseTidbell, 10000, [&] { stuck.Resume(); });
    ASSERT_TRUE(outcome.returnedInTime);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_FALSE(IsWindow(other.hwnd()));
    EXPECT_TRUE(IsWindow(stuck.hwnd()));
}

TEST(BoundedLoop, WindowsThatReplaceThemselvesDoNotKeepTheCallerForEver)
{
    Respawner respawner;
    respawner.Add();

    const Outcome outcome = CallWithin(CloseTidbell, 20000, [&] { respawner.stopped = true; });
    ASSERT_TRUE(outcome.returnedInTime);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_GT(respawner.windows.size(), 2u) << "the replacements were asked to close too";
    EXPECT_EQ(wintest::CountWindows(SHUTLET_TIDBELL_CLASS), 1);
}

TEST(Ordinals, ReachTheNamedRoutines)
{
    HMODULE library = GetModuleHandleA("Shutlet.dll");
    ASSERT_TRUE(library);
    const struct {
        WORD ordinal;
        const char* name;
    } exports[] = {
        {SHUTLET_ORDINAL_CLOSELINKBELL, "CloseLinkbell"},
        {SHUTLET_ORDINAL_CLOSEHORLETT, "CloseHorlett"},
        {SHUTLET_ORDINAL_CLOSETIDBELL, "CloseTidbell"},
    };
    for (const auto& e : exports) {
        FARPROC byOrdinal = GetProcAddress(library, MAKEINTRESOURCEA(e.ordinal));
        ASSERT_TRUE(byOrdinal) << e.name;
        EXPECT_EQ(byOrdinal, GetProcAddress(library, e.name)) << e.name;
    }

    // Called by ordinal, each does its own job.
    auto call = [&](WORD ordinal) {
        void* routine = reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal)));
        return reinterpret_cast<SHUTLET_CLOSE_PROC>(routine)(0);
    };
    EXPECT_EQ(call(SHUTLET_ORDINAL_CLOSELINKBELL), 0);
    MessageRecorder horlett(nullptr, SHUTLET_HORLETT_CLASS);
    MessageRecorder tidbell(nullptr, SHUTLET_TIDBELL_CLASS);
    EXPECT_EQ(call(SHUTLET_ORDINAL_CLOSEHORLETT), 1);
    EXPECT_FALSE(IsWindow(horlett.hwnd()));
    EXPECT_TRUE(IsWindow(tidbell.hwnd()));
    EXPECT_EQ(call(SHUTLET_ORDINAL_CLOSETIDBELL), 1);
    EXPECT_FALSE(IsWindow(tidbell.hwnd()));
}

// 32-bit by nature: x64 has one calling convention, in which the caller
// owns the stack.
TEST(Ordinals, CalleeRemovesItsArgument)
{
#ifdef _WIN64
    GTEST_SKIP() << "32-bit only: the standard calling convention exists on x86 alone";
#else
    HMODULE library = GetModuleHandleA("Shutlet.dll");
    ASSERT_TRUE(library);
    for (WORD ordinal = 1; ordinal <= 3; ++ordinal)
        EXPECT_EQ(StackDrift(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))), 0) << "ordinal " << ordinal;
#endif
}

// A real copy of the watcher, with settings whose paths exist so that it
// starts without asking for them.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override { stored::WriteUsable(stored::TempDirectory()); }
    void TearDown() override
    {
        wintest::KillProcess(watcher);
        stored::Clear();
    }
    wintest::Process watcher;
};

TEST_F(EndToEnd, CloseTidbellEndsTheRunningWatcher)
{
    watcher = wintest::StartProcess(wintest::ExeDir() + "Tidbell32.exe");
    ASSERT_TRUE(watcher);
    HWND window = wintest::WaitForWindow(SHUTLET_TIDBELL_CLASS, nullptr, 15000, watcher.pid);
    ASSERT_TRUE(window);

    EXPECT_EQ(CloseTidbell(0), 1);
    EXPECT_FALSE(IsWindow(window)) << "the watcher destroys its window while it handles WM_CLOSE";
    DWORD code = 1;
    EXPECT_TRUE(wintest::WaitExit(watcher, 15000, &code));
    EXPECT_EQ(code, 0u);
}
