// The blinkorb program itself on a private X server, as a user meets it: what
// the screen shows, what ends it and what does not, another copy, the cursor,
// and the server going away.

// Before any X header: X.h defines None, a name gtest uses.
#include <gtest/gtest.h>

#include "tests/figure_search.h"
#include "tests/x11_harness.h"

#include <X11/keysym.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using x11test::Client;
using x11test::Duration;
using x11test::Eventually;
using x11test::Process;
using x11test::Server;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t WIDTH = 320;
constexpr std::int32_t HEIGHT = 240;
constexpr char TITLE[] = "Blinkorb";
// Long enough for an input that would end the program to have done so; a
// busy machine makes this a weaker check, never a failing one.
constexpr Duration SETTLE{300};

std::unique_ptr<Process> Launch(const Process::Environment& environment)
{
    return std::make_unique<Process>(std::vector<std::string>{BLINKORB}, environment);
}

// The tick whose frame the screen shows, if it shows exactly one, for a saver
// started at started. Ticks are 10 ms apart and never early, so the search
// ends a little past the time elapsed.
std::optional<int> ShownTick(const Client& client, const raster::Picture& desktop,
                             Clock::time_point started)
{
    const auto elapsed = std::chrono::duration_cast<Duration>(Clock::now() - started);
    return test::FindTick(client.Screenshot(), desktop, int(elapsed.count() / 9) + 2);
}

// Every window mapped on a server's screen from now on, seen through a
// connection of its own.
class MapWatch {
public:
    explicit MapWatch(const std::string& display) : client_(display)
    {
        XSelectInput(client_.Get(), client_.Root(), SubstructureNotifyMask);
        XSync(client_.Get(), False);
    }

    std::vector<::Window> Mapped()
    {
        XSync(client_.Get(), False);
        while (XPending(client_.Get()) > 0) {
            XEvent event;
            XNextEvent(client_.Get(), &event);
            if (event.type == MapNotify)
                mapped_.push_back(event.xmap.window);
        }
        return mapped_;
    }

private:
    Client client_;
    std::vector<::Window> mapped_;
};

class SaverTest : public testing::Test {
protected:
    void SetUp() override { client_.SetDesktop(desktop_); }

    // Starts the saver and waits for its figure on the screen: by then its
    // window is shown and has the keyboard and the mouse.
    void Start()
    {
        started_ = Clock::now();
        saver_ = Launch({{"DISPLAY", server_.Name()}});
        ASSERT_TRUE(Eventually([&] { return ShownTick().has_value(); }))
            << "no figure of the run on the screen; " << saver_->Errors();
    }

    std::optional<int> ShownTick() const { return ::ShownTick(client_, desktop_, started_); }

    // Whether the figure moves on: two frames some ticks apart.
    bool Animates() const
    {
        std::optional<int> earlier, later;
        return Eventually([&] { return (earlier = ShownTick()).has_value(); }) &&
               Eventually([&] { return (later = ShownTick()).has_value() && *later > *earlier; });
    }

    bool Running() const { return !saver_->WaitForExit(SETTLE).has_value(); }

    Server server_{WIDTH, HEIGHT};
    Client client_{server_.Name()};
    const raster::Picture desktop_ = test::Pattern(WIDTH, HEIGHT);
    Clock::time_point started_;
    std::unique_ptr<Process> saver_;
};

TEST_F(SaverTest, ShowsTheDesktopWithOneFigureOfTheRunMovingOverIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::optional<int> tick;
    EXPECT_TRUE(Eventually([&] { return (tick = ShownTick()).has_value(); }))
        << "the screen is not the desktop with exactly one figure of the run";
    EXPECT_GT(tick.value_or(0), 0) << "the figure has not moved after a second";
    EXPECT_TRUE(Animates());

    client_.Type(XK_Escape);
    EXPECT_EQ(saver_->WaitForExit(), 0);
    EXPECT_EQ(saver_->Errors(), "");
}

TEST_F(SaverTest, KeyLeftClickAndRightClickEndItWithStatusZeroLeavingTheDesktop)
{
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"key", [&] { client_.Type(XK_q); }},
        {"left click", [&] { client_.Click(Button1); }},
        {"right click", [&] { client_.Click(Button3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Start());
        c.act();
        EXPECT_EQ(saver_->WaitForExit(), 0);
        EXPECT_EQ(saver_->Errors(), "");
        EXPECT_TRUE(Eventually([&] { return test::SameOnScreen(client_.Screenshot(), desktop_); }))
            << "the figure stayed on the screen";
    }
}

TEST_F(SaverTest, ThreeMotionEventsLeaveItRunningTheFourthEndsIt)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    // Each to a new place, or the server reports no motion.
    client_.MoveTo(10, 10);
    client_.MoveTo(20, 10);
    client_.MoveTo(30, 10);
    EXPECT_TRUE(Running());
    EXPECT_TRUE(Animates()) << "the figure stopped after three moves";
    client_.MoveTo(40, 10);
    EXPECT_EQ(saver_->WaitForExit(), 0);
    EXPECT_EQ(saver_->Errors(), "");
}

TEST_F(SaverTest, SystemKeysMiddleButtonWheelAndReleasesLeaveItRunning)
{
    // The releases are of a key and a button already down at the start. The
    // key must not repeat meanwhile: a repeat is a press.
    XAutoRepeatOff(client_.Get());
    client_.Key(XK_x, true);
    client_.Button(Button1, true);
    ASSERT_NO_FATAL_FAILURE(Start());

    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"key release", [&] { client_.Key(XK_x, false); }},
        {"left button release", [&] { client_.Button(Button1, false); }},
        {"Alt with a key",
         [&] {
             client_.Key(XK_Alt_L, true);
             client_.Type(XK_a);
             client_.Key(XK_Alt_L, false);
         }},
        {"F10", [&] { client_.Type(XK_F10); }},
        {"middle click", [&] { client_.Click(Button2); }},
        {"wheel up", [&] { client_.Click(Button4); }},
        {"wheel down", [&] { client_.Click(Button5); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        ASSERT_TRUE(Running()) << saver_->Errors();
    }
    EXPECT_TRUE(Animates());

    client_.Type(XK_Escape);
    EXPECT_EQ(saver_->WaitForExit(), 0);
    EXPECT_EQ(saver_->Errors(), "");
}

TEST_F(SaverTest, CursorIsInvisibleWhileItRunsAndBackAfterwards)
{
    client_.MoveTo(100, 100);
    ASSERT_FALSE(client_.CursorInvisible());
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(Eventually([&] { return client_.CursorInvisible(); }));
    client_.Type(XK_Escape);
    EXPECT_EQ(saver_->WaitForExit(), 0);
    EXPECT_TRUE(Eventually([&] { return !client_.CursorInvisible(); }));
}

TEST_F(SaverTest, SecondCopyExitsAtOnceShowingNothing)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    MapWatch watch(server_.Name());
    const std::unique_ptr<Process> second = Launch({{"DISPLAY", server_.Name()}});
    EXPECT_EQ(second->WaitForExit(), 0);
    EXPECT_EQ(second->Errors(), "");
    EXPECT_EQ(watch.Mapped(), std::vector<::Window>{}) << "the second copy showed a window";
    // A frame of the second copy's would stay on the screen beside the first
    // copy's figure.
    std::optional<int> tick;
    EXPECT_TRUE(Eventually([&] { return (tick = ShownTick()).has_value(); }))
        << "the screen is not the first copy's figure alone";
    EXPECT_TRUE(Running()) << "the first copy ended";
    EXPECT_EQ(client_.TopWindowTitle(), TITLE);

    client_.Type(XK_Escape);
    EXPECT_EQ(saver_->WaitForExit(), 0);
}

TEST_F(SaverTest, ForeignWindowWithItsTitleKeepsItFromShowing)
{
    const std::pair<const char*, bool> cases[] = {{"mapped", true}, {"unmapped", false}};
    for (const auto& [name, mapped] : cases) {
        SCOPED_TRACE(name);
        const ::Window foreign = client_.CreateWindow(client_.Root(), 10, 10, 50, 40, true, mapped);
        XStoreName(client_.Get(), foreign, TITLE);
        XSync(client_.Get(), False);
        const raster::Picture before = client_.Screenshot();
        MapWatch watch(server_.Name());

        const std::unique_ptr<Process> saver = Launch({{"DISPLAY", server_.Name()}});
        EXPECT_EQ(saver->WaitForExit(), 0);
        EXPECT_EQ(saver->Errors(), "");
        EXPECT_EQ(watch.Mapped(), std::vector<::Window>{});
        EXPECT_TRUE(test::SameOnScreen(client_.Screenshot(), before));

        XDestroyWindow(client_.Get(), foreign);
        XSync(client_.Get(), False);
    }
}

TEST(SaverWithoutServerTest, ServerDeathEndsItWithinASecondWithAnError)
{
    Server server(WIDTH, HEIGHT);
    std::unique_ptr<Process> saver;
    {
        // Closed before the server dies: Xlib would end this test on the
        // lost connection.
        Client client(server.Name());
        const raster::Picture desktop = test::Pattern(WIDTH, HEIGHT);
        client.SetDesktop(desktop);
        const auto started = Clock::now();
        saver = Launch({{"DISPLAY", server.Name()}});
        ASSERT_TRUE(Eventually([&] { return ShownTick(client, desktop, started).has_value(); }))
            << saver->Errors();
    }

    const auto killed = Clock::now();
    server.Kill();
    // A second on an idle machine; a hang or a spin never ends.
    const std::optional<int> status = saver->WaitForExit(std::chrono::seconds(5));
    const auto took = std::chrono::duration_cast<Duration>(Clock::now() - killed);
    RecordProperty("exit_after_server_death_ms", int(took.count()));
    ASSERT_TRUE(status.has_value()) << "still running 5 s after its server died";
    EXPECT_NE(*status, 0);
    EXPECT_EQ(saver->Errors(), "blinkorb: lost the connection to the X server\n")
        << "exit after " << took.count() << " ms";
}

TEST(SaverWithoutServerTest, NoDisplayGivesOneLineAndStatusOne)
{
    // A display number far above any that a test's server takes.
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, ""},
        {":65000", ":65000"},
    };
    for (const auto& [display, shown] : cases) {
        SCOPED_TRACE(display.value_or("unset"));
        const std::unique_ptr<Process> saver = Launch({{"DISPLAY", display}});
        EXPECT_EQ(saver->WaitForExit(), 1);
        EXPECT_EQ(saver->Errors(), "blinkorb: cannot open display \"" + shown + "\"\n");
    }
}

} // namespace
