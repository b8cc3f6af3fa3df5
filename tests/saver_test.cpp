// The whole program, theApp and its saver window, on the in-memory display:
// what the user sees and what ends it.
#include "app/saver_app.h"
#include "figure_pictures.h"
#include "platform/winsys/memory_display.h"
#include "saver/main_frame.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace {

using winsys::InputEvent;
using winsys::MouseButton;

constexpr std::int64_t TICK = 10;

using test::After;
using test::Pattern;
using test::WithFigures;

class SaverTest : public testing::Test {
protected:
    void SetUp() override { s_nMouseMoves = 0; }
    void TearDown() override
    {
        winsys::SetMessageObserver(nullptr);
        winsys::UseDisplay(nullptr);
    }

    winsys::MemoryDisplay& Screen(std::int32_t width = 320, std::int32_t height = 240)
    {
        display_ = &winsys::UseMemoryDisplay(Pattern(width, height));
        return *display_;
    }

    // Calls onPaint after every frame the saver window paints, with the
    // number of ticks handled so far.
    void WatchFrames(std::function<void(int ticks, HWND window)> onPaint)
    {
        winsys::SetMessageObserver([this, onPaint](HWND window, UINT message) {
            if (message == WM_TIMER)
                ++ticks_;
            else if (message == WM_PAINT && IsWindow(window))
                onPaint(ticks_, window);
        });
    }

    int Run() { return AfxWinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOW); }

    const CMainFrame* Frame() const { return static_cast<const CMainFrame*>(theApp.m_pMainWnd); }

    winsys::MemoryDisplay* display_ = nullptr;
    int ticks_ = 0;
};

TEST_F(SaverTest, ClosingInputEndsWithStatusZero)
{
    struct Case {
        const char* what;
        std::int64_t at;
        InputEvent event;
    };
    const Case cases[] = {
        {"key", 55, {InputEvent::Kind::KeyDown, 'Q'}},
        {"key before the first tick", 0, {InputEvent::Kind::KeyDown, VK_ESCAPE}},
        {"left click", 55, {.kind = InputEvent::Kind::ButtonDown, .button = MouseButton::Left}},
        {"right click", 55, {.kind = InputEvent::Kind::ButtonDown, .button = MouseButton::Right}},
        {"right click before the first tick",
         0,
         {.kind = InputEvent::Kind::ButtonDown, .button = MouseButton::Right}},
    };
    for (const Case& c : cases) {
        winsys::MemoryDisplay& screen = Screen();
        screen.At(c.at, c.event);
        std::int64_t closedAt = -1;
        winsys::SetMessageObserver([&](HWND, UINT message) {
            if (message == WM_NCDESTROY)
                closedAt = screen.Now();
        });
        EXPECT_EQ(Run(), 0) << c.what;
        EXPECT_EQ(closedAt, c.at) << c.what;
        EXPECT_TRUE(screen.Screen() == screen.Desktop()) << c.what << ": the picture is not back";
        EXPECT_TRUE(screen.CursorVisible() == false) << c.what;
    }
}

TEST_F(SaverTest, TheFourthMouseMoveCloses)
{
    winsys::MemoryDisplay& screen = Screen();
    // Focus changes in between do not reset the count.
    screen.MouseMove(15, 1, 1);
    screen.At(22, {InputEvent::Kind::FocusOut});
    screen.MouseMove(25, 2, 1);
    screen.At(28, {InputEvent::Kind::FocusIn});
    screen.MouseMove(35, 3, 1);
    screen.MouseMove(45, 4, 1);
    std::int64_t closedAt = -1;
    winsys::SetMessageObserver([&](HWND, UINT message) {
        if (message == WM_NCDESTROY)
            closedAt = screen.Now();
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(closedAt, 45);
    EXPECT_EQ(s_nMouseMoves, 4);
}

TEST_F(SaverTest, InputThatDoesNotClose)
{
    using Kind = InputEvent::Kind;
    const InputEvent events[] = {
        {Kind::KeyDown, 'A', true},
        {Kind::KeyUp, 'A', true},
        {Kind::KeyDown, VK_F10},
        {Kind::KeyUp, VK_F10},
        {Kind::KeyUp, 'Q'},
        {.kind = Kind::ButtonDown, .button = MouseButton::Middle},
        {.kind = Kind::ButtonUp, .button = MouseButton::Middle},
        {.kind = Kind::ButtonUp, .button = MouseButton::Left},
        {.kind = Kind::ButtonUp, .button = MouseButton::Right},
        {.kind = Kind::Wheel, .wheelDelta = 120},
        {.kind = Kind::Wheel, .wheelDelta = -120},
    };
    winsys::MemoryDisplay& screen = Screen();
    std::int64_t at = 5;
    for (const InputEvent& e : events)
        screen.At(at += 10, e);
    const std::int64_t keyAt = at + 100;
    screen.KeyPress(keyAt, 'Q');
    std::int64_t closedAt = -1;
    winsys::SetMessageObserver([&](HWND, UINT message) {
        if (message == WM_NCDESTROY)
            closedAt = screen.Now();
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(closedAt, keyAt);
}

TEST_F(SaverTest, AnotherCopyRunningMeansNothingShown)
{
    winsys::MemoryDisplay& screen = Screen();
    screen.AddForeignWindow("Blinkorb");
    bool anyMessage = false;
    winsys::SetMessageObserver([&](HWND, UINT) { anyMessage = true; });
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(anyMessage) << "a window was created";
    EXPECT_TRUE(screen.Screen() == screen.Desktop());
    EXPECT_TRUE(screen.CursorVisible());
}

TEST_F(SaverTest, NoWindowEndsAtOnceWithStatusOne)
{
    Screen().RefuseWindows();
    EXPECT_EQ(Run(), 1);
}

TEST_F(SaverTest, EveryFrameShowsThePictureWithTheCurrentFigure)
{
    // Long enough for the first three bounces of the 640 x 480 run.
    constexpr int LAST_TICK = 340;
    winsys::MemoryDisplay& screen = Screen(640, 480);
    int frames = 0;
    WatchFrames([&](int ticks, HWND) {
        ++frames;
        ASSERT_EQ(Frame()->Figure().m_nCurX, After(ticks, 640, 480).m_nCurX);
        ASSERT_TRUE(screen.Screen() == WithFigures(screen.Desktop(), {After(ticks, 640, 480)}))
            << "after tick " << ticks;
        if (ticks == LAST_TICK)
            screen.KeyPress(screen.Now(), 'Q');
    });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(frames, LAST_TICK + 1);
}

TEST_F(SaverTest, AFocusGainRestartsAndLeavesTheLastFigure)
{
    winsys::MemoryDisplay& screen = Screen();
    // Focus leaves after the fifth tick and comes back before the sixth.
    screen.At(51, {InputEvent::Kind::FocusOut});
    screen.At(53, {InputEvent::Kind::FocusIn});
    std::optional<raster::Picture> seen;
    WatchFrames([&](int ticks, HWND) {
        if (ticks == 7) {
            seen = screen.Screen();
            screen.KeyPress(screen.Now(), 'Q');
        }
    });
    EXPECT_EQ(Run(), 0);
    ASSERT_TRUE(seen);
    // The figure of tick 5 was never un-drawn, the restart's un-draw step drew
    // the centre figure, and the figure moved on two ticks from the centre.
    EXPECT_TRUE(*seen == WithFigures(screen.Desktop(),
                                     {After(5, 320, 240), After(0, 320, 240), After(2, 320, 240)}));
}

TEST_F(SaverTest, APaintWithoutATickLeavesStrayFigures)
{
    winsys::MemoryDisplay& screen = Screen();
    std::optional<raster::Picture> seen;
    bool repainted = false;
    WatchFrames([&](int ticks, HWND window) {
        if (ticks == 5 && !repainted) {
            repainted = true;
            ::InvalidateRect(window, nullptr, FALSE); // as an exposure would
        }
        if (ticks == 6) {
            seen = screen.Screen();
            screen.KeyPress(screen.Now(), 'Q');
        }
    });
    EXPECT_EQ(Run(), 0);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(*seen == WithFigures(screen.Desktop(),
                                     {After(4, 320, 240), After(5, 320, 240), After(6, 320, 240)}));
}

TEST_F(SaverTest, TheWindowIsTheMainWindowAndIsKnownByItsClassName)
{
    winsys::MemoryDisplay& screen = Screen();
    screen.KeyPress(25, 'Q');
    const CRuntimeClass* runtimeClass = nullptr;
    HWND found = nullptr;
    WatchFrames([&](int, HWND window) {
        if (!runtimeClass) {
            runtimeClass = theApp.m_pMainWnd->GetRuntimeClass();
            found = FindWindowA(nullptr, "Blinkorb");
            EXPECT_EQ(found, window);
        }
    });
    EXPECT_EQ(Run(), 0);
    ASSERT_NE(runtimeClass, nullptr);
    EXPECT_STREQ(runtimeClass->m_lpszClassName, "CMainFrame");
    EXPECT_EQ(theApp.m_pMainWnd, nullptr) << "the framework keeps a destroyed main window";
}

} // namespace
