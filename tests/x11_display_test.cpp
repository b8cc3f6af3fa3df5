// The X11 display on its own, as the window system calls it, on a private X
// server: input as Windows would report it, the grabs, the cursor, finding
// other programs' windows, the primary monitor's size and the waiting.

#include "platform/winsys/x11_display.h"

// Before any X header: X.h defines None, a name gtest uses.
#include <gtest/gtest.h>

#include "tests/x11_harness.h"

#include <X11/XF86keysym.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <cstring>
#include <thread>

// X.h's event types of these names would hide the input kinds.
#undef FocusIn
#undef FocusOut

namespace {

using winsys::InputEvent;
using winsys::MouseButton;
using x11test::Client;
using x11test::Eventually;
using x11test::Server;
using Kind = InputEvent::Kind;

constexpr winsys::WindowId WINDOW = 0x10020;

class Recorder final : public winsys::InputSink {
public:
    void Input(const InputEvent& event) override { events.push_back(event); }
    std::vector<InputEvent> events;
};

std::string Text(const InputEvent& e)
{
    return "kind " + std::to_string(int(e.kind)) + " key " + std::to_string(e.virtualKey) +
           (e.alt ? " alt" : "") + " button " + std::to_string(int(e.button)) + " at " +
           std::to_string(e.x) + "," + std::to_string(e.y) + " wheel " +
           std::to_string(e.wheelDelta);
}

std::vector<std::string> Describe(const std::vector<InputEvent>& events)
{
    std::vector<std::string> text;
    for (const InputEvent& e : events)
        text.push_back(Text(e));
    return text;
}

InputEvent Key(Kind kind, int virtualKey, bool alt = false)
{
    return {kind, virtualKey, alt};
}

InputEvent Mouse(Kind kind, MouseButton button, int x, int y)
{
    return {.kind = kind, .button = button, .x = x, .y = y};
}

class X11DisplayTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        display_ = winsys::OpenX11Display(server_.Name().c_str(), error);
        ASSERT_NE(display_, nullptr) << error;
    }

    void CreateShown(const char* title = "Mine")
    {
        ASSERT_TRUE(display_->CreateWindow(WINDOW, {0, 0, 640, 480}, title, true));
        display_->ShowWindow(WINDOW, true);
    }

    // Sends what the display has drawn or asked for.
    void Flush()
    {
        Recorder ignored;
        display_->Wait(display_->Now(), ignored);
    }

    // Waits on the display until count events have come, or for a while
    // longer when more may follow; returns them all.
    std::vector<InputEvent> Collect(std::size_t count)
    {
        Recorder recorder;
        Eventually([&] {
            display_->Wait(display_->Now() + 50, recorder);
            return recorder.events.size() >= count;
        });
        return recorder.events;
    }

    Server server_;
    Client client_{server_.Name()};
    std::unique_ptr<winsys::Display> display_;
};

TEST_F(X11DisplayTest, KeysAndButtonsArriveAsWindowsReportsThem)
{
    CreateShown();
    EXPECT_EQ(Describe(Collect(1)), Describe({{Kind::FocusIn}})) << "the grab brings the focus";

    struct Case {
        KeySym key;
        int virtualKey;
    };
    const Case keys[] = {
        {XK_a, 'A'},
        {XK_z, 'Z'},
        {XK_0, '0'},
        {XK_7, '7'},
        {XK_F1, 0x70},
        {XK_F10, 0x79},
        {XK_F12, 0x7B},
        {XK_Escape, VK_ESCAPE},
        {XK_Return, VK_RETURN},
        {XK_space, VK_SPACE},
        {XK_Left, 0x25},
        {XK_Down, 0x28},
        {XK_Shift_L, 0x10},
        {XK_Control_L, 0x11},
        {XK_Tab, 0x09},
        {XK_BackSpace, 0x08},
    };
    for (const Case& c : keys) {
        SCOPED_TRACE(XKeysymToString(c.key));
        client_.Type(c.key);
        EXPECT_EQ(Describe(Collect(2)),
                  Describe({Key(Kind::KeyDown, c.virtualKey), Key(Kind::KeyUp, c.virtualKey)}));
    }

    // Alt itself is a system key, and so is every key while it is held.
    client_.Key(XK_Alt_L, true);
    client_.Type(XK_a);
    client_.Key(XK_Alt_L, false);
    EXPECT_EQ(Describe(Collect(4)),
              Describe({Key(Kind::KeyDown, VK_MENU, true), Key(Kind::KeyDown, 'A', true),
                        Key(Kind::KeyUp, 'A', true), Key(Kind::KeyUp, VK_MENU, true)}));

    // A key without a virtual-key code still counts as a key.
    client_.Type(XF86XK_AudioMute);
    const std::vector<InputEvent> unknown = Collect(2);
    ASSERT_EQ(unknown.size(), 2u);
    EXPECT_EQ(unknown[0].kind, Kind::KeyDown);
    EXPECT_NE(unknown[0].virtualKey, 0);

    client_.MoveTo(50, 60);
    client_.MoveTo(51, 60);
    client_.MoveTo(90, 100);
    EXPECT_EQ(Describe(Collect(3)), Describe({Mouse(Kind::Motion, MouseButton::Left, 50, 60),
                                              Mouse(Kind::Motion, MouseButton::Left, 51, 60),
                                              Mouse(Kind::Motion, MouseButton::Left, 90, 100)}))
        << "every move counts, none merged";
    const std::pair<unsigned, MouseButton> buttons[] = {{Button1, MouseButton::Left},
                                                        {Button2, MouseButton::Middle},
                                                        {Button3, MouseButton::Right}};
    for (const auto& [number, button] : buttons) {
        client_.Click(number);
        EXPECT_EQ(Describe(Collect(2)), Describe({Mouse(Kind::ButtonDown, button, 90, 100),
                                                  Mouse(Kind::ButtonUp, button, 90, 100)}));
    }
    // The key after the wheel shows that its releases brought nothing.
    client_.Click(Button4);
    client_.Click(Button5);
    client_.Type(XK_a);
    EXPECT_EQ(Describe(Collect(4)),
              Describe({{.kind = Kind::Wheel, .x = 90, .y = 100, .wheelDelta = 120},
                        {.kind = Kind::Wheel, .x = 90, .y = 100, .wheelDelta = -120},
                        Key(Kind::KeyDown, 'A'),
                        Key(Kind::KeyUp, 'A')}));

    display_->ShowWindow(WINDOW, false);
    EXPECT_EQ(Describe(Collect(1)), Describe({{Kind::FocusOut}}));
}

TEST_F(X11DisplayTest, GrabsWaitForAnotherProgramsAndGoWithTheWindow)
{
    ::Display* other = client_.Get();
    ASSERT_EQ(
        XGrabKeyboard(other, client_.Root(), False, GrabModeAsync, GrabModeAsync, CurrentTime),
        GrabSuccess);
    XSync(other, False);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        XUngrabKeyboard(other, CurrentTime);
        XSync(other, False);
    });
    CreateShown();
    release.join();
    Collect(1); // the focus
    client_.Type(XK_q);
    EXPECT_EQ(Collect(2).size(), 2u) << "the keyboard was not taken after the other grab ended";

    const auto othersCanGrab = [&] {
        Flush();
        const bool keyboard = XGrabKeyboard(other, client_.Root(), False, GrabModeAsync,
                                            GrabModeAsync, CurrentTime) == GrabSuccess;
        const bool pointer =
            XGrabPointer(other, client_.Root(), False, ButtonPressMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
        XUngrabKeyboard(other, CurrentTime);
        XUngrabPointer(other, CurrentTime);
        XSync(other, False);
        return keyboard && pointer;
    };
    EXPECT_FALSE(othersCanGrab());
    display_->ShowWindow(WINDOW, false);
    EXPECT_TRUE(Eventually(othersCanGrab)) << "hiding the window kept the grabs";
    display_->ShowWindow(WINDOW, true);
    EXPECT_FALSE(othersCanGrab());
    display_->DestroyWindow(WINDOW);
    EXPECT_TRUE(Eventually(othersCanGrab)) << "destroying the window kept the grabs";
}

TEST_F(X11DisplayTest, CursorHidesOverOurWindowsAndComesBack)
{
    CreateShown();
    client_.MoveTo(300, 200);
    EXPECT_FALSE(client_.CursorInvisible());
    display_->SetCursorVisible(false);
    EXPECT_TRUE(Eventually([&] {
        Flush();
        return client_.CursorInvisible();
    }));
    display_->SetCursorVisible(true);
    EXPECT_TRUE(Eventually([&] {
        Flush();
        return !client_.CursorInvisible();
    }));

    // A window made while the cursor is hidden hides it from the start.
    display_->DestroyWindow(WINDOW);
    display_->SetCursorVisible(false);
    CreateShown();
    EXPECT_TRUE(Eventually([&] {
        Flush();
        return client_.CursorInvisible();
    }));
    display_->DestroyWindow(WINDOW);
    EXPECT_TRUE(Eventually([&] {
        Flush();
        return !client_.CursorInvisible();
    })) << "the cursor stayed hidden without our window";
}

TEST_F(X11DisplayTest, FindsOtherProgramsWindowsByEitherTitleButNotOurs)
{
    ::Display* other = client_.Get();
    const Atom netWmName = XInternAtom(other, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(other, "UTF8_STRING", False);
    const auto named = [&](::Window window, const char* title, bool utf8Only) {
        if (utf8Only)
            XChangeProperty(other, window, netWmName, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(title), int(std::strlen(title)));
        else
            XStoreName(other, window, title);
        XSync(other, False);
        return window;
    };
    struct Case {
        const char* title;
        bool utf8Only;
        // Inside a frame, as a window manager puts it.
        bool framed;
        bool mapped;
    };
    const Case found[] = {
        {"Blinkorb", false, false, true},  {"Blinkorb", true, false, true},
        {"Blinkorb", false, true, true},   {"Blinkorb", true, true, true},
        {"Blinkorb", false, false, false},
    };
    for (const Case& c : found) {
        SCOPED_TRACE(testing::Message()
                     << c.title << (c.utf8Only ? " utf8" : "") << (c.framed ? " framed" : "")
                     << (c.mapped ? "" : " unmapped"));
        const ::Window top = client_.CreateWindow(client_.Root(), 0, 0, 50, 50, false, c.mapped);
        const ::Window window =
            c.framed ? client_.CreateWindow(top, 0, 0, 40, 40, false, c.mapped) : top;
        named(window, c.title, c.utf8Only);
        EXPECT_TRUE(display_->HasForeignWindow("Blinkorb"));
        EXPECT_FALSE(display_->HasForeignWindow("Blinkor"));
        EXPECT_FALSE(display_->HasForeignWindow("Blinkorb2"));
        XDestroyWindow(other, top);
        XSync(other, False);
        EXPECT_FALSE(display_->HasForeignWindow("Blinkorb"));
    }

    named(client_.CreateWindow(client_.Root(), 0, 0, 50, 50), "Blinkorb2", false);
    named(client_.CreateWindow(client_.Root(), 0, 0, 50, 50), "blinkorb", true);
    CreateShown("Blinkorb");
    EXPECT_FALSE(display_->HasForeignWindow("Blinkorb"))
        << "our own window was taken for another's";
}

TEST_F(X11DisplayTest, SizeIsThePrimaryMonitorsAndFollowsChanges)
{
    EXPECT_EQ(display_->Width(), 640);
    EXPECT_EQ(display_->Height(), 480);

    // The server's one output shows a smaller mode and becomes primary: the
    // screen stays 640x480, the primary monitor is 320x240.
    ::Display* other = client_.Get();
    const std::unique_ptr<XRRScreenResources, void (*)(XRRScreenResources*)> resources(
        XRRGetScreenResourcesCurrent(other, client_.Root()), XRRFreeScreenResources);
    ASSERT_TRUE(resources && resources->noutput > 0 && resources->ncrtc > 0);
    const RROutput output = resources->outputs[0];
    char name[] = "320x240";
    XRRModeInfo info{};
    info.width = 320;
    info.height = 240;
    info.dotClock = 320 * 240 * 60;
    info.hTotal = 320;
    info.vTotal = 240;
    info.name = name;
    info.nameLength = sizeof name - 1;
    const RRMode mode = XRRCreateMode(other, client_.Root(), &info);
    XRRAddOutputMode(other, output, mode);
    RROutput outputs[] = {output};
    ASSERT_EQ(XRRSetCrtcConfig(other, resources.get(), resources->crtcs[0], CurrentTime, 0, 0, mode,
                               RR_Rotate_0, outputs, 1),
              Success);
    XRRSetOutputPrimary(other, client_.Root(), output);
    XSync(other, False);
    const auto sizeIs = [&](int width, int height) {
        return Eventually([&] {
            Flush();
            return display_->Width() == width && display_->Height() == height;
        });
    };
    EXPECT_TRUE(sizeIs(320, 240));

    // No primary output: the whole screen.
    XRRSetOutputPrimary(other, client_.Root(), None);
    XSync(other, False);
    EXPECT_TRUE(sizeIs(640, 480));
}

TEST_F(X11DisplayTest, WaitEndsAtTheDeadlineOrAtOnceWhenItHasPassed)
{
    Recorder recorder;
    EXPECT_FALSE(display_->Wait(std::nullopt, recorder))
        << "with no window and no deadline, nothing can ever come";

    CreateShown();
    Collect(1); // the focus
    const std::int64_t deadline = display_->Now() + 30;
    EXPECT_TRUE(display_->Wait(deadline, recorder));
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_GE(display_->Now(), deadline) << "returning early makes the caller spin";
    // Would never return if it blocked: there is no input.
    EXPECT_TRUE(display_->Wait(display_->Now(), recorder));
    EXPECT_TRUE(display_->Wait(display_->Now() - 1000, recorder));
}

} // namespace
