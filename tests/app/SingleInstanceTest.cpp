#include "tests/app/RunningQuib.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

using test::RunningQuib;

namespace {

// A window of the test's own, to take the foreground away from QUIB.
HWND CreateForegroundThief()
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"thief", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                    nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(window);
    return window;
}

} // namespace

TEST(SingleInstance, SecondStartExitsZeroAndBringsTheFirstForward)
{
    RunningQuib first;
    HWND window = first.Start();
    ASSERT_NE(window, nullptr) << "the first copy's window never appeared";
    EXPECT_TRUE(::IsWindowVisible(window));

    HWND thief = CreateForegroundThief();
    ASSERT_EQ(::GetForegroundWindow(), thief);

    UniqueHandle second = test::StartProcess(test::Quote(first.Program()));
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(second.Get(), test::kQuibExitMs, code))
        << "the second copy kept running";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(test::WaitUntil([&] { return ::GetForegroundWindow() == window; }, 5000))
        << "the running copy was not brought to the foreground";
    EXPECT_EQ(::FindWindowW(nullptr, test::kQuibTitle), window)
        << "the second copy must show no window";
    ::DestroyWindow(thief);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitForExit(first.Process(), test::kQuibExitMs, code));
    EXPECT_EQ(code, 0u) << "a normal exit ends with code 0";
}

TEST(SingleInstance, AHiddenFirstCopyStaysHidden)
{
    RunningQuib first;
    HWND window = first.Start();
    ASSERT_NE(window, nullptr);
    ::ShowWindow(window, SW_HIDE);
    ASSERT_FALSE(::IsWindowVisible(window));

    UniqueHandle second = test::StartProcess(test::Quote(first.Program()));
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(second.Get(), test::kQuibExitMs, code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(::IsWindowVisible(window)) << "a copy in the tray must stay hidden";

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitForExit(first.Process(), test::kQuibExitMs, code));
    EXPECT_EQ(code, 0u);
}

TEST(SingleInstance, AfterTheFirstCopyEndsANewOneStarts)
{
    RunningQuib first;
    HWND window = first.Start();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(first.Process(), test::kQuibExitMs, code));

    RunningQuib next;
    EXPECT_NE(next.Start(), nullptr) << "the mutex must go with the process";
    ::PostMessageW(next.OwnWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitForExit(next.Process(), test::kQuibExitMs, code));
}
