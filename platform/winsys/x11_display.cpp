#include "platform/winsys/x11_display.h"

namespace {

// X.h defines FocusIn and FocusOut as macros, so these kinds are named before
// it is included.
constexpr auto FOCUS_IN = winsys::InputEvent::Kind::FocusIn;
constexpr auto FOCUS_OUT = winsys::InputEvent::Kind::FocusOut;

} // namespace

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace winsys {
namespace {

constexpr long EVENT_MASK = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | FocusChangeMask | VisibilityChangeMask;
constexpr unsigned POINTER_GRAB_MASK = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
// Another client's grab (a menu, or the key that started us) usually ends
// within a moment.
constexpr std::int64_t GRAB_PATIENCE_MS = 1000;
constexpr auto GRAB_RETRY = std::chrono::milliseconds(10);
// Windows reports this for keys that have no virtual-key code.
constexpr int VK_UNMAPPED = 0xFF;
// Request codes from Xproto.h, which cannot be included beside winapi.h: both
// define BOOL.
constexpr unsigned char REQUEST_CREATE_WINDOW = 1;
constexpr unsigned char REQUEST_QUERY_TREE = 15;
constexpr unsigned char REQUEST_GET_PROPERTY = 20;

// The serial number of the last window creation the server refused.
unsigned long g_refusedWindow = 0;

std::int64_t MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int OnError(::Display* display, XErrorEvent* error)
{
    // A foreign window can vanish between listing it and reading its title.
    if (error->error_code == BadWindow &&
        (error->request_code == REQUEST_QUERY_TREE || error->request_code == REQUEST_GET_PROPERTY))
        return 0;
    if (error->request_code == REQUEST_CREATE_WINDOW)
        g_refusedWindow = error->serial;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "blinkorb: X error: %s (request %d.%d)\n", text, error->request_code,
                 error->minor_code);
    return 0;
}

// Xlib must never get control back from here: it would end the process
// itself, with a longer message and a status that says nothing.
[[noreturn]] int OnIOError(::Display*)
{
    std::fputs("blinkorb: lost the connection to the X server\n", stderr);
    _exit(1);
}

struct DisplayCloser {
    void operator()(::Display* display) const { XCloseDisplay(display); }
};
using Connection = std::unique_ptr<::Display, DisplayCloser>;

struct XFreer {
    void operator()(void* data) const { XFree(data); }
};

struct MonitorsFreer {
    void operator()(XRRMonitorInfo* monitors) const { XRRFreeMonitors(monitors); }
};

// A server resource of ours, freed with its owner.
template <typename Handle, int (*Free)(::Display*, Handle)> class Owned {
public:
    Owned(::Display* display, Handle handle) : display_(display), handle_(handle) {}
    Owned(Owned&& other) noexcept
        : display_(other.display_), handle_(std::exchange(other.handle_, Handle{}))
    {
    }
    Owned& operator=(Owned&&) = delete;
    ~Owned()
    {
        if (handle_)
            Free(display_, handle_);
    }

    Handle get() const { return handle_; }

private:
    ::Display* display_;
    Handle handle_;
};

using OwnedWindow = Owned<::Window, XDestroyWindow>;
using OwnedPixmap = Owned<Pixmap, XFreePixmap>;
using OwnedCursor = Owned<Cursor, XFreeCursor>;
using OwnedGC = Owned<GC, XFreeGC>;

// An active grab of the keyboard or the pointer, released when it goes.
template <int (*Ungrab)(::Display*, Time)> class Grab {
public:
    explicit Grab(::Display* display) : display_(display) {}
    Grab(const Grab&) = delete;
    Grab& operator=(const Grab&) = delete;
    ~Grab() { Ungrab(display_, CurrentTime); }

private:
    ::Display* display_;
};

using KeyboardGrab = Grab<XUngrabKeyboard>;
using PointerGrab = Grab<XUngrabPointer>;

int VirtualKey(KeySym key)
{
    if (key >= XK_a && key <= XK_z)
        return 'A' + int(key - XK_a);
    // Upper-case letters and digits have the same codes in both.
    if ((key >= XK_A && key <= XK_Z) || (key >= XK_0 && key <= XK_9))
        return int(key);
    if (key >= XK_F1 && key <= XK_F24)
        return 0x70 + int(key - XK_F1);
    if (key >= XK_KP_0 && key <= XK_KP_9)
        return 0x60 + int(key - XK_KP_0);
    static constexpr std::pair<KeySym, int> KEYS[] = {
        {XK_BackSpace, 0x08},
        {XK_Tab, 0x09},
        {XK_ISO_Left_Tab, 0x09},
        {XK_Return, VK_RETURN},
        {XK_KP_Enter, VK_RETURN},
        {XK_Shift_L, 0x10},
        {XK_Shift_R, 0x10},
        {XK_Control_L, 0x11},
        {XK_Control_R, 0x11},
        {XK_Alt_L, VK_MENU},
        {XK_Alt_R, VK_MENU},
        {XK_Meta_L, VK_MENU},
        {XK_Meta_R, VK_MENU},
        {XK_Pause, 0x13},
        {XK_Caps_Lock, 0x14},
        {XK_Escape, VK_ESCAPE},
        {XK_space, VK_SPACE},
        {XK_Prior, 0x21},
        {XK_Next, 0x22},
        {XK_End, 0x23},
        {XK_Home, 0x24},
        {XK_Left, 0x25},
        {XK_Up, 0x26},
        {XK_Right, 0x27},
        {XK_Down, 0x28},
        {XK_Print, 0x2C},
        {XK_Insert, 0x2D},
        {XK_Delete, 0x2E},
        {XK_Super_L, 0x5B},
        {XK_Super_R, 0x5C},
        {XK_Menu, 0x5D},
        {XK_KP_Multiply, 0x6A},
        {XK_KP_Add, 0x6B},
        {XK_KP_Subtract, 0x6D},
        {XK_KP_Decimal, 0x6E},
        {XK_KP_Divide, 0x6F},
        {XK_Num_Lock, 0x90},
        {XK_Scroll_Lock, 0x91},
        {XK_semicolon, 0xBA},
        {XK_equal, 0xBB},
        {XK_comma, 0xBC},
        {XK_minus, 0xBD},
        {XK_period, 0xBE},
        {XK_slash, 0xBF},
        {XK_grave, 0xC0},
        {XK_bracketleft, 0xDB},
        {XK_backslash, 0xDC},
        {XK_bracketright, 0xDD},
        {XK_apostrophe, 0xDE},
    };
    for (const auto& [sym, virtualKey] : KEYS)
        if (sym == key)
            return virtualKey;
    return VK_UNMAPPED;
}

class X11Display final : public Display {
public:
    explicit X11Display(Connection connection);

    std::int32_t Width() override;
    std::int32_t Height() override;
    bool CreateWindow(WindowId id, const RECT& rect, std::string_view title, bool topmost) override;
    void ShowWindow(WindowId id, bool visible) override;
    void DestroyWindow(WindowId id) override;
    void InvertSpans(WindowId id, std::span<const raster::Span> spans) override;
    void SetCursorVisible(bool visible) override;
    bool HasForeignWindow(std::string_view title) override;
    std::int64_t Now() override { return MonotonicNanoseconds() / 1'000'000; }
    bool Wait(std::optional<std::int64_t> deadline, InputSink& sink) override;

private:
    struct WindowState {
        OwnedWindow window;
        RECT rect;
        bool topmost;
        bool visible = false;
    };

    void ReadScreenSize();
    void GrabInput(WindowId id);
    void ReleaseInput();
    Cursor CurrentCursor() const { return cursorVisible_ ? None : blankCursor_.get(); }
    bool IsOurs(::Window window) const;
    std::vector<::Window> Children(::Window window) const;
    bool HasTitle(::Window window, std::string_view title) const;
    std::optional<std::string> TextProperty(::Window window, Atom property, Atom type,
                                            std::size_t length) const;
    // True when the event was input, handed to sink.
    bool Handle(XEvent& event, InputSink& sink);

    Connection connection_;
    ::Display* const display_;
    const int screen_;
    const ::Window root_;
    const Atom netWmName_;
    const Atom utf8String_;
    int randrEventBase_ = -1;
    bool hasMonitors_ = false;
    // The size is read when first asked for and again after the screen
    // changed.
    bool sizeChanged_ = true;
    // Requests not yet sent: Xlib's flush also tries to read, so it is only
    // asked for when there is something to send.
    bool unsent_ = false;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    OwnedGC invertGC_;
    // Copies from the root window must see what its children show.
    OwnedGC copyGC_;
    OwnedCursor blankCursor_;
    bool cursorVisible_ = true;
    std::map<WindowId, WindowState> windows_;
    WindowId grabOwner_ = 0;
    std::optional<KeyboardGrab> keyboardGrab_;
    std::optional<PointerGrab> pointerGrab_;
    std::vector<XRectangle> rectangles_;
};

GC CreateGC(::Display* display, ::Window root, int function, int subwindowMode)
{
    XGCValues values{};
    values.function = function;
    values.plane_mask = AllPlanes;
    values.subwindow_mode = subwindowMode;
    values.graphics_exposures = False;
    return XCreateGC(display, root,
                     GCFunction | GCPlaneMask | GCSubwindowMode | GCGraphicsExposures, &values);
}

Cursor CreateBlankCursor(::Display* display, ::Window root)
{
    static const char ZERO = 0;
    // A bitmap made from data has defined contents; a plain pixmap does not.
    const OwnedPixmap empty(display, XCreateBitmapFromData(display, root, &ZERO, 1, 1));
    XColor black{};
    return XCreatePixmapCursor(display, empty.get(), empty.get(), &black, &black, 0, 0);
}

X11Display::X11Display(Connection connection)
    : connection_(std::move(connection)), display_(connection_.get()),
      screen_(DefaultScreen(display_)), root_(RootWindow(display_, screen_)),
      netWmName_(XInternAtom(display_, "_NET_WM_NAME", False)),
      utf8String_(XInternAtom(display_, "UTF8_STRING", False)),
      invertGC_(display_, CreateGC(display_, root_, GXinvert, ClipByChildren)),
      copyGC_(display_, CreateGC(display_, root_, GXcopy, IncludeInferiors)),
      blankCursor_(display_, CreateBlankCursor(display_, root_))
{
    int errorBase = 0, major = 0, minor = 0;
    if (XRRQueryExtension(display_, &randrEventBase_, &errorBase) &&
        XRRQueryVersion(display_, &major, &minor)) {
        hasMonitors_ = major > 1 || (major == 1 && minor >= 5);
        XRRSelectInput(display_, root_, RRScreenChangeNotifyMask);
    } else {
        randrEventBase_ = -1;
    }
}

void X11Display::ReadScreenSize()
{
    sizeChanged_ = false;
    width_ = DisplayWidth(display_, screen_);
    height_ = DisplayHeight(display_, screen_);
    if (!hasMonitors_)
        return;
    int count = 0;
    const std::unique_ptr<XRRMonitorInfo, MonitorsFreer> monitors(
        XRRGetMonitors(display_, root_, True, &count));
    for (int i = 0; i < count; ++i)
        if (monitors.get()[i].primary) {
            width_ = monitors.get()[i].width;
            height_ = monitors.get()[i].height;
        }
}

std::int32_t X11Display::Width()
{
    if (sizeChanged_)
        ReadScreenSize();
    return width_;
}

std::int32_t X11Display::Height()
{
    if (sizeChanged_)
        ReadScreenSize();
    return height_;
}

bool X11Display::CreateWindow(WindowId id, const RECT& rect, std::string_view title, bool topmost)
{
    unsent_ = true;
    // Positions and sizes are 16-bit on the wire, and a window has at least
    // one pixel.
    const int x = std::clamp<LONG>(rect.left, -32768, 32767);
    const int y = std::clamp<LONG>(rect.top, -32768, 32767);
    const unsigned width = unsigned(std::clamp<LONG>(rect.right - rect.left, 1, 65535));
    const unsigned height = unsigned(std::clamp<LONG>(rect.bottom - rect.top, 1, 65535));
    XSetWindowAttributes attributes{};
    // No background: the screen under the window stays visible. Override-
    // redirect: no window manager decorates, moves or lowers it.
    attributes.background_pixmap = None;
    attributes.override_redirect = True;
    attributes.event_mask = EVENT_MASK;
    attributes.cursor = CurrentCursor();
    const unsigned long request = NextRequest(display_);
    const ::Window created = XCreateWindow(
        display_, root_, x, y, width, height, 0, CopyFromParent, InputOutput, CopyFromParent,
        CWBackPixmap | CWOverrideRedirect | CWEventMask | CWCursor, &attributes);
    // The server's answer is needed now: the window system undoes a window
    // the screen could not make. Once per window, so the round trip is cheap.
    XSync(display_, False);
    if (g_refusedWindow == request)
        return false;
    OwnedWindow window(display_, created);
    const std::string name(title);
    XStoreName(display_, window.get(), name.c_str());
    XChangeProperty(display_, window.get(), netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name.data()), int(name.size()));
    windows_.emplace(id, WindowState{std::move(window), rect, topmost});
    return true;
}

void X11Display::ShowWindow(WindowId id, bool visible)
{
    unsent_ = true;
    const auto it = windows_.find(id);
    if (it == windows_.end() || it->second.visible == visible)
        return;
    WindowState& w = it->second;
    w.visible = visible;
    if (!visible) {
        if (grabOwner_ == id)
            ReleaseInput();
        XUnmapWindow(display_, w.window.get());
        return;
    }
    // Under a compositing manager a window without background shows nothing
    // of what is under it, so it starts with a copy of the screen. Without
    // one the copy changes no pixel.
    const unsigned width = unsigned(std::max<LONG>(w.rect.right - w.rect.left, 1));
    const unsigned height = unsigned(std::max<LONG>(w.rect.bottom - w.rect.top, 1));
    const OwnedPixmap screen(display_, XCreatePixmap(display_, root_, width, height,
                                                     unsigned(DefaultDepth(display_, screen_))));
    XCopyArea(display_, root_, screen.get(), copyGC_.get(), w.rect.left, w.rect.top, width, height,
              0, 0);
    XMapRaised(display_, w.window.get());
    XCopyArea(display_, screen.get(), w.window.get(), copyGC_.get(), 0, 0, width, height, 0, 0);
    GrabInput(id);
}

void X11Display::GrabInput(WindowId id)
{
    ReleaseInput();
    const ::Window window = windows_.at(id).window.get();
    const std::int64_t deadline = Now() + GRAB_PATIENCE_MS;
    for (;;) {
        if (!keyboardGrab_ && XGrabKeyboard(display_, window, False, GrabModeAsync, GrabModeAsync,
                                            CurrentTime) == GrabSuccess)
            keyboardGrab_.emplace(display_);
        if (!pointerGrab_ &&
            XGrabPointer(display_, window, False, POINTER_GRAB_MASK, GrabModeAsync, GrabModeAsync,
                         None, CurrentTime, CurrentTime) == GrabSuccess)
            pointerGrab_.emplace(display_);
        if ((keyboardGrab_ && pointerGrab_) || Now() >= deadline)
            break;
        std::this_thread::sleep_for(GRAB_RETRY);
    }
    if (!keyboardGrab_ || !pointerGrab_)
        std::fputs("blinkorb: another program holds the keyboard or the mouse\n", stderr);
    if (pointerGrab_ && !cursorVisible_)
        XChangeActivePointerGrab(display_, POINTER_GRAB_MASK, CurrentCursor(), CurrentTime);
    grabOwner_ = id;
}

void X11Display::ReleaseInput()
{
    keyboardGrab_.reset();
    pointerGrab_.reset();
    grabOwner_ = 0;
}

void X11Display::DestroyWindow(WindowId id)
{
    unsent_ = true;
    if (grabOwner_ == id)
        ReleaseInput();
    windows_.erase(id);
}

void X11Display::InvertSpans(WindowId id, std::span<const raster::Span> spans)
{
    unsent_ = true;
    const auto it = windows_.find(id);
    if (it == windows_.end() || !it->second.visible || spans.empty())
        return;
    rectangles_.clear();
    for (const raster::Span& s : spans)
        rectangles_.push_back(
            {short(s.x0), short(s.y), static_cast<unsigned short>(s.x1 - s.x0), 1});
    XFillRectangles(display_, it->second.window.get(), invertGC_.get(), rectangles_.data(),
                    int(rectangles_.size()));
}

void X11Display::SetCursorVisible(bool visible)
{
    unsent_ = true;
    if (visible == cursorVisible_)
        return;
    cursorVisible_ = visible;
    for (const auto& [id, w] : windows_)
        XDefineCursor(display_, w.window.get(), CurrentCursor());
    if (pointerGrab_)
        XChangeActivePointerGrab(display_, POINTER_GRAB_MASK, CurrentCursor(), CurrentTime);
}

bool X11Display::IsOurs(::Window window) const
{
    return std::any_of(windows_.begin(), windows_.end(),
                       [&](const auto& w) { return w.second.window.get() == window; });
}

std::vector<::Window> X11Display::Children(::Window window) const
{
    ::Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count))
        return {};
    const std::unique_ptr<::Window, XFreer> owner(children);
    return std::vector<::Window>(children, children + count);
}

std::optional<std::string> X11Display::TextProperty(::Window window, Atom property, Atom type,
                                                    std::size_t length) const
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    // One 32-bit unit more than length asks for: a longer value is seen as
    // such without reading all of it.
    if (XGetWindowProperty(display_, window, property, 0, long(length / 4 + 1), False, type,
                           &actualType, &format, &count, &remaining, &data) != Success)
        return std::nullopt;
    const std::unique_ptr<unsigned char, XFreer> owner(data);
    if (!data || format != 8 || remaining != 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), count);
}

bool X11Display::HasTitle(::Window window, std::string_view title) const
{
    return TextProperty(window, XA_WM_NAME, AnyPropertyType, title.size()) == title ||
           TextProperty(window, netWmName_, utf8String_, title.size()) == title;
}

bool X11Display::HasForeignWindow(std::string_view title)
{
    for (const ::Window window : Children(root_)) {
        if (IsOurs(window))
            continue;
        if (HasTitle(window, title))
            return true;
        // A window manager puts each client window into a frame of its own.
        for (const ::Window child : Children(window))
            if (HasTitle(child, title))
                return true;
    }
    return false;
}

bool X11Display::Handle(XEvent& event, InputSink& sink)
{
    using Kind = InputEvent::Kind;
    switch (event.type) {
    case KeyPress:
    case KeyRelease: {
        const int virtualKey = VirtualKey(XLookupKeysym(&event.xkey, 0));
        // The state is from before the event: Alt's own press comes without
        // Mod1, yet Windows reports it as a system key too.
        const bool alt = (event.xkey.state & Mod1Mask) != 0 || virtualKey == VK_MENU;
        sink.Input({event.type == KeyPress ? Kind::KeyDown : Kind::KeyUp, virtualKey, alt});
        return true;
    }
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& b = event.xbutton;
        const bool press = event.type == ButtonPress;
        if (b.button == Button4 || b.button == Button5) {
            if (!press)
                return false;
            sink.Input({.kind = Kind::Wheel,
                        .x = b.x_root,
                        .y = b.y_root,
                        .wheelDelta = b.button == Button4 ? 120 : -120});
            return true;
        }
        static constexpr MouseButton BUTTONS[] = {MouseButton::Left, MouseButton::Middle,
                                                  MouseButton::Right};
        if (b.button < Button1 || b.button > Button3)
            return false;
        sink.Input({.kind = press ? Kind::ButtonDown : Kind::ButtonUp,
                    .button = BUTTONS[b.button - Button1],
                    .x = b.x_root,
                    .y = b.y_root});
        return true;
    }
    case MotionNotify:
        sink.Input({.kind = Kind::Motion, .x = event.xmotion.x_root, .y = event.xmotion.y_root});
        return true;
    case FocusIn:
    case FocusOut: {
        const XFocusChangeEvent& f = event.xfocus;
        // NotifyPointer: the focus is the pointer's root, passing through us.
        // While our grab lasts, the keys come to us wherever the focus is.
        if (!IsOurs(f.window) || f.detail == NotifyPointer || f.mode == NotifyWhileGrabbed)
            return false;
        sink.Input({event.type == FocusIn ? FOCUS_IN : FOCUS_OUT});
        return true;
    }
    case VisibilityNotify:
        if (event.xvisibility.state != VisibilityUnobscured)
            for (const auto& [id, w] : windows_)
                if (w.window.get() == event.xvisibility.window && w.visible && w.topmost)
                    XRaiseWindow(display_, w.window.get());
        return false;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        return false;
    default:
        if (randrEventBase_ >= 0 && event.type == randrEventBase_ + RRScreenChangeNotify) {
            XRRUpdateConfiguration(&event);
            sizeChanged_ = true;
        }
        return false;
    }
}

bool X11Display::Wait(std::optional<std::int64_t> deadline, InputSink& sink)
{
    // Input only ever comes to a window of ours.
    if (!deadline && windows_.empty())
        return false;
    // The window system asks between messages, many times a tick, whether
    // input has come: the socket is read only when it has something, and
    // Xlib's flush, which also tries a read, only asked for when there is
    // something to send.
    bool readable = false;
    for (;;) {
        bool input = false;
        int queued = XEventsQueued(display_, readable ? QueuedAfterReading : QueuedAlready);
        for (; queued > 0; queued = XEventsQueued(display_, QueuedAlready)) {
            XEvent event;
            XNextEvent(display_, &event);
            input = Handle(event, sink) || input;
            unsent_ = true; // a handler may have made a request: a raise
        }
        if (input)
            return true;
        if (std::exchange(unsent_, false)) {
            XFlush(display_);
            if (XEventsQueued(display_, QueuedAlready) > 0) {
                readable = false;
                continue;
            }
        }
        timespec timeout{};
        if (deadline) {
            // To the nanosecond: waking a fraction of a millisecond late on
            // every tick would add up to a lost tick every few.
            const std::int64_t left = *deadline * 1'000'000 - MonotonicNanoseconds();
            if (left > 0)
                timeout = {time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
        }
        pollfd connection{ConnectionNumber(display_), POLLIN, 0};
        const int ready = ppoll(&connection, 1, deadline ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR)
            return false;
        if (connection.revents & (POLLHUP | POLLERR | POLLNVAL))
            return false;
        // The deadline has come with nothing to read.
        if (ready == 0)
            return true;
        readable = ready > 0;
    }
}

} // namespace

std::unique_ptr<Display> OpenX11Display(const char* name, std::string& error)
{
    XSetErrorHandler(OnError);
    XSetIOErrorHandler(OnIOError);
    Connection connection(XOpenDisplay(name));
    if (!connection) {
        error = std::string("cannot open display \"") + XDisplayName(name) + "\"";
        return nullptr;
    }
    return std::make_unique<X11Display>(std::move(connection));
}

} // namespace winsys
