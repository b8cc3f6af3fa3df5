// The window system's behaviour that the program relies on, at the level of
// the window-system calls, over the in-memory display.
#include "platform/winsys/memory_display.h"
#include "platform/winsys/winapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using winsys::InputEvent;
using winsys::MouseButton;

struct Delivered {
    UINT message;
    WPARAM wParam;
    bool operator==(const Delivered&) const = default;
};

std::vector<Delivered> g_log;
LRESULT g_createResult = 0;
bool g_drawOnPaint = false;

std::ostream& operator<<(std::ostream& out, const Delivered& d)
{
    return out << "0x" << std::hex << d.message << "(" << d.wParam << ")" << std::dec;
}

// Records what it is sent, then does what the default procedure does.
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SETCURSOR && message != WM_NCCREATE && message != WM_ERASEBKGND)
        g_log.push_back({message, wParam});
    if (message == WM_CREATE)
        return g_createResult;
    if (message == WM_PAINT && g_drawOnPaint) {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd, &ps);
        SetROP2(dc, R2_NOT);
        Ellipse(dc, 0, 0, 40, 40);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class WindowSystemTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_log.clear();
        g_createResult = 0;
        g_drawOnPaint = false;
        raster::Picture desktop(200, 100);
        for (std::int32_t y = 0; y < 100; ++y)
            for (std::int32_t x = 0; x < 200; ++x)
                desktop.At(x, y) = std::uint32_t(x * 7919 + y * 104729);
        display_ = &winsys::UseMemoryDisplay(std::move(desktop));
        Register("test", 0, nullptr);
    }
    void TearDown() override { winsys::UseDisplay(nullptr); }

    static void Register(const char* name, UINT style, HCURSOR cursor)
    {
        WNDCLASSA wc{};
        wc.style = style;
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = cursor;
        wc.lpszClassName = name;
        ASSERT_NE(RegisterClassA(&wc), 0);
    }

    HWND Create(const char* className = "test", const char* title = "window")
    {
        return CreateWindowExA(WS_EX_TOPMOST, className, title, WS_POPUP, 0, 0, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
    }

    HWND CreateShown(const char* className = "test")
    {
        const HWND hwnd = Create(className);
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        g_log.clear();
        return hwnd;
    }

    // Takes and dispatches messages until one comes later than time or the
    // queue gives up; returns what the window saw.
    std::vector<Delivered> RunUntil(std::int64_t time)
    {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.time <= time)
            DispatchMessageA(&msg);
        return g_log;
    }

    winsys::MemoryDisplay* display_ = nullptr;
};

using Log = std::vector<Delivered>;

TEST_F(WindowSystemTest, CreationSendsCreateDuringTheCallAndMinusOneFailsIt)
{
    const HWND hwnd = Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(g_log, (Log{{WM_CREATE, 0}}));
    EXPECT_FALSE(IsWindowVisible(hwnd));

    g_log.clear();
    g_createResult = -1;
    EXPECT_EQ(Create(), nullptr);
    EXPECT_EQ(g_log, (Log{{WM_CREATE, 0}, {WM_DESTROY, 0}, {WM_NCDESTROY, 0}}));
}

TEST_F(WindowSystemTest, ShowFocusesAndUpdatePaintsBeforeReturning)
{
    const HWND hwnd = Create();
    g_log.clear();
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_EQ(g_log, (Log{{WM_SETFOCUS, 0}}));
    EXPECT_EQ(GetFocus(), hwnd);
    EXPECT_EQ(GetActiveWindow(), hwnd);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    EXPECT_EQ(update.right, 200); // the whole window
    EXPECT_EQ(update.bottom, 100);

    UpdateWindow(hwnd);
    EXPECT_EQ(g_log, (Log{{WM_SETFOCUS, 0}, {WM_PAINT, 0}}));
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
}

TEST_F(WindowSystemTest, DeliveryOrderPostedAndInputThenPaintThenTimer)
{
    const HWND hwnd = CreateShown();
    SetTimer(hwnd, 7, 10, nullptr);
    InvalidateRect(hwnd, nullptr, FALSE);
    PostMessageA(hwnd, WM_USER, 1, 0);
    display_->At(0, {InputEvent::Kind::KeyDown, 'A'});
    PostMessageA(hwnd, WM_USER, 2, 0);
    const Log log = RunUntil(10);
    // Input read while waiting comes after what was already queued; the paint
    // waits for an empty queue and the timer for no paint.
    EXPECT_EQ(log,
              (Log{{WM_USER, 1}, {WM_USER, 2}, {WM_KEYDOWN, 'A'}, {WM_PAINT, 0}, {WM_TIMER, 7}}));
}

TEST_F(WindowSystemTest, TickPaintArrivesBeforeTheNextTickAndNoBacklog)
{
    const HWND hwnd = CreateShown();
    SetTimer(hwnd, 0, 10, nullptr);
    MSG msg;
    std::vector<std::int64_t> tickTimes;
    while (tickTimes.size() < 5) {
        ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
        if (msg.message == WM_TIMER) {
            tickTimes.push_back(display_->Now());
            InvalidateRect(hwnd, nullptr, FALSE);
            // The next message must be this tick's paint.
            ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
            EXPECT_EQ(msg.message, UINT(WM_PAINT));
            if (tickTimes.size() == 2)
                display_->Advance(95); // the program falls behind by nine ticks
        }
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(tickTimes, (std::vector<std::int64_t>{10, 20, 115, 125, 135}));
}

TEST_F(WindowSystemTest, TimersAreReplacedKilledAndGoWithTheirWindow)
{
    const HWND hwnd = CreateShown();
    SetTimer(hwnd, 1, 10, nullptr);
    SetTimer(hwnd, 1, 30, nullptr); // replaces the first
    SetTimer(hwnd, 2, 20, nullptr);
    EXPECT_EQ(RunUntil(30), (Log{{WM_TIMER, 2}, {WM_TIMER, 1}}));
    KillTimer(hwnd, 2);
    g_log.clear();
    EXPECT_EQ(RunUntil(60), (Log{{WM_TIMER, 1}}));

    DestroyWindow(hwnd);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1) << "a timer outlived its window";
}

TEST_F(WindowSystemTest, QuitEndsTheLoopWithItsCode)
{
    CreateShown();
    PostQuitMessage(3);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(WindowSystemTest, CloseDestroysBeforeSendReturns)
{
    const HWND hwnd = CreateShown();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(g_log, (Log{{WM_CLOSE, 0}, {WM_KILLFOCUS, 0}, {WM_DESTROY, 0}, {WM_NCDESTROY, 0}}));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(WindowSystemTest, PaintIsClippedToTheUpdateRegionAndValidates)
{
    const HWND hwnd = CreateShown();
    const raster::Picture before = display_->Screen();
    g_drawOnPaint = true;
    const RECT band{10, 10, 20, 100};
    InvalidateRect(hwnd, &band, FALSE);
    RunUntil(0);
    EXPECT_EQ(g_log, (Log{{WM_PAINT, 0}}));
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));
    for (std::int32_t y = 0; y < 100; ++y)
        for (std::int32_t x = 0; x < 200; ++x) {
            const bool inBand = x >= 10 && x < 20 && y >= 10 && y < 100;
            if (!inBand) {
                ASSERT_EQ(display_->Screen().At(x, y), before.At(x, y)) << x << "," << y;
            }
        }
    EXPECT_NE(display_->Screen().At(15, 20), before.At(15, 20)); // inside the disc
}

TEST_F(WindowSystemTest, NoBrushNoEraseAndHiddenWindowsShowTheDesktopAgain)
{
    const HWND hwnd = CreateShown();
    EXPECT_TRUE(display_->Screen() == display_->Desktop()) << "something erased the window";
    g_drawOnPaint = true;
    InvalidateRect(hwnd, nullptr, FALSE);
    RunUntil(0);
    EXPECT_FALSE(display_->Screen() == display_->Desktop());
    DestroyWindow(hwnd);
    EXPECT_TRUE(display_->Screen() == display_->Desktop());
}

TEST_F(WindowSystemTest, KeysAndButtonsArriveAsTheirOwnMessages)
{
    CreateShown();
    struct Case {
        InputEvent event;
        Log expected;
    };
    const Case cases[] = {
        {{InputEvent::Kind::KeyDown, 'A'}, {{WM_KEYDOWN, 'A'}}},
        {{InputEvent::Kind::KeyUp, 'A'}, {{WM_KEYUP, 'A'}}},
        {{InputEvent::Kind::KeyDown, 'A', true}, {{WM_SYSKEYDOWN, 'A'}}},
        {{InputEvent::Kind::KeyUp, 'A', true}, {{WM_SYSKEYUP, 'A'}}},
        {{InputEvent::Kind::KeyDown, VK_F10}, {{WM_SYSKEYDOWN, VK_F10}}},
        {{.kind = InputEvent::Kind::ButtonDown, .button = MouseButton::Middle, .x = 5, .y = 5},
         {{WM_MBUTTONDOWN, MK_MBUTTON}}},
        {{.kind = InputEvent::Kind::ButtonUp, .button = MouseButton::Middle, .x = 5, .y = 5},
         {{WM_MBUTTONUP, 0}}},
        {{.kind = InputEvent::Kind::ButtonDown, .button = MouseButton::Right, .x = 5, .y = 5},
         {{WM_RBUTTONDOWN, MK_RBUTTON}}},
        {{.kind = InputEvent::Kind::ButtonUp, .button = MouseButton::Right, .x = 5, .y = 5},
         {{WM_RBUTTONUP, 0}}},
        {{.kind = InputEvent::Kind::Wheel, .x = 5, .y = 5, .wheelDelta = -120},
         {{WM_MOUSEWHEEL, MAKEWPARAM(0, -120)}}},
        {{.kind = InputEvent::Kind::Motion, .x = 6, .y = 5}, {{WM_MOUSEMOVE, 0}}},
    };
    std::int64_t time = 0;
    for (const Case& c : cases) {
        g_log.clear();
        display_->At(++time, c.event);
        EXPECT_EQ(RunUntil(time), c.expected) << "event at " << time;
    }
}

TEST_F(WindowSystemTest, AltF4ClosesTheWindow)
{
    const HWND hwnd = CreateShown();
    display_->KeyPress(1, VK_F4, true);
    RunUntil(1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowSystemTest, DoubleClicksOnlyForClassesThatAskForThem)
{
    Register("dblclk", CS_DBLCLKS, nullptr);
    for (const auto& [className, second] :
         {std::pair{"test", UINT(WM_LBUTTONDOWN)}, std::pair{"dblclk", UINT(WM_LBUTTONDBLCLK)}}) {
        const HWND hwnd = CreateShown(className);
        const std::int64_t t = display_->Now() + 1;
        display_->Click(t, MouseButton::Left, 50, 50);
        display_->Click(t + 100, MouseButton::Left, 50, 50);
        Log downs;
        for (const Delivered& d : RunUntil(t + 100))
            if (d.message != WM_LBUTTONUP)
                downs.push_back(d);
        EXPECT_EQ(downs, (Log{{WM_LBUTTONDOWN, MK_LBUTTON}, {second, MK_LBUTTON}})) << className;
        DestroyWindow(hwnd);
    }
}

TEST_F(WindowSystemTest, NothingShowsTheCursorAgainWithoutAClassCursor)
{
    Register("arrow", 0, LoadCursorA(nullptr, IDC_ARROW));
    for (const auto& [className, visibleAfterMove] :
         {std::pair{"test", false}, std::pair{"arrow", true}}) {
        const HWND hwnd = CreateShown(className);
        SetCursor(nullptr);
        EXPECT_FALSE(display_->CursorVisible());
        display_->MouseMove(display_->Now() + 1, 30, 30);
        RunUntil(display_->Now() + 1);
        EXPECT_EQ(display_->CursorVisible(), visibleAfterMove) << className;
        DestroyWindow(hwnd);
    }
}

TEST_F(WindowSystemTest, FindWindowByTitleAmongOursAndOtherPrograms)
{
    EXPECT_EQ(FindWindowA(nullptr, "Elsewhere"), nullptr);
    display_->AddForeignWindow("Elsewhere");
    EXPECT_NE(FindWindowA(nullptr, "Elsewhere"), nullptr);
    const HWND hwnd = Create("test", "Mine");
    EXPECT_EQ(FindWindowA(nullptr, "Mine"), hwnd);
    EXPECT_EQ(FindWindowA(nullptr, "Other"), nullptr);
}

TEST_F(WindowSystemTest, FocusChangesFromOutside)
{
    const HWND hwnd = CreateShown();
    display_->At(1, {InputEvent::Kind::FocusOut});
    display_->At(2, {InputEvent::Kind::FocusIn});
    EXPECT_EQ(RunUntil(2), (Log{{WM_KILLFOCUS, 0}, {WM_SETFOCUS, 0}}));
    EXPECT_EQ(GetFocus(), hwnd);
}

TEST_F(WindowSystemTest, NothingLeftToHappenEndsGetMessageWithAnError)
{
    CreateShown();
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), -1);
}

} // namespace
