// Our window system: the USER and GDI calls of winapi.h over a Display.
//
// One thread, one message queue. GetMessageA hands out, in this order: posted
// messages and input in arrival order, the quit request, WM_PAINT for a
// visible window with an update region, then WM_TIMER for a due timer. Only
// then does it wait on the display, with the next timer deadline as the
// time-out. Timers are due again one period after they were handed out, so a
// program that falls behind gets no backlog.

#include "platform/raster/raster_surface.h"
#include "platform/winsys/display.h"
#include "platform/winsys/winapi.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace winsys {
namespace {

constexpr UINT MINIMUM_TIMER_PERIOD = 10;
constexpr std::int64_t DOUBLE_CLICK_TIME = 500;
constexpr int DOUBLE_CLICK_DISTANCE = 2;
// Window positions and sizes are kept to this range, so that window plus
// client coordinates never overflow.
constexpr LONG COORDINATE_LIMIT = 1 << 24;

const HCURSOR ARROW_CURSOR = reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(32512));
const HINSTANCE MODULE_INSTANCE = reinterpret_cast<HINSTANCE>(static_cast<UINT_PTR>(0x400000));

struct WindowClass {
    std::string name;
    UINT style;
    WNDPROC proc;
    HCURSOR cursor;
    HBRUSH background;
    HICON icon;
};

struct Window {
    HWND handle;
    const WindowClass* windowClass;
    WNDPROC proc;
    std::string title;
    DWORD style;
    DWORD exStyle;
    RECT rect; // screen coordinates
    bool visible = false;
    bool destroying = false;
    // The update region is kept as its bounding rectangle.
    RECT update{};
    bool erase = false;

    LONG Width() const { return rect.right - rect.left; }
    LONG Height() const { return rect.bottom - rect.top; }
    bool NeedsPaint() const
    {
        return visible && update.right > update.left && update.bottom > update.top;
    }
};

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    std::int64_t due;
};

// Hands a primitive's spans to the display, for the window a DC paints.
class WindowTarget final : public raster::SpanTarget {
public:
    void InvertSpans(std::span<const raster::Span> spans) override;
    WindowId window = 0;
};

struct DeviceContext {
    DeviceContext() : surface(target, {0, 0, 0, 0}) { surface.SetInvertMode(); }
    HWND window = nullptr;
    int rop = R2_COPYPEN;
    POINT position{};
    WindowTarget target;
    // The rasteriser only inverts; other raster operations are refused.
    raster::RasterSurface surface;
};

bool IsEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Intersect(const RECT& a, const RECT& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

RECT Union(const RECT& a, const RECT& b)
{
    if (IsEmpty(a))
        return b;
    if (IsEmpty(b))
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

LONG Limit(long long value)
{
    return LONG(std::clamp<long long>(value, -COORDINATE_LIMIT, COORDINATE_LIMIT));
}

class WindowSystem final : public InputSink {
public:
    explicit WindowSystem(std::unique_ptr<Display> display) : display_(std::move(display)) {}

    Display& display() { return *display_; }

    Window* Find(HWND handle)
    {
        const auto it = windows_.find(handle);
        return it == windows_.end() ? nullptr : it->second.get();
    }

    const WindowClass* FindClass(LPCSTR name) const
    {
        if (name == nullptr || IS_INTRESOURCE(name))
            return nullptr;
        for (const auto& c : classes_)
            if (strcasecmp(c->name.c_str(), name) == 0)
                return c.get();
        return nullptr;
    }

    ATOM Register(const WNDCLASSA& wc)
    {
        if (wc.lpszClassName == nullptr || IS_INTRESOURCE(wc.lpszClassName) ||
            wc.lpfnWndProc == nullptr || FindClass(wc.lpszClassName) != nullptr)
            return 0;
        classes_.push_back(std::make_unique<WindowClass>(WindowClass{
            wc.lpszClassName, wc.style, wc.lpfnWndProc, wc.hCursor, wc.hbrBackground, wc.hIcon}));
        return ATOM(0xC000 + classes_.size());
    }

    HWND Create(const WindowClass& wc, LPCSTR title, DWORD style, DWORD exStyle, const RECT& rect)
    {
        const HWND handle = reinterpret_cast<HWND>(nextHandle_);
        nextHandle_ += 4;
        auto window = std::make_unique<Window>();
        window->handle = handle;
        window->windowClass = &wc;
        window->proc = wc.proc;
        window->title = title ? title : "";
        window->style = style;
        window->exStyle = exStyle;
        window->rect = rect;
        if (!display_->CreateWindow(WindowId(handle), rect, title ? title : "",
                                    (exStyle & WS_EX_TOPMOST) != 0))
            return nullptr;
        windows_[handle] = std::move(window);
        return handle;
    }

    void Forget(HWND handle)
    {
        std::erase(zOrder_, handle);
        windows_.erase(handle);
        display_->DestroyWindow(WindowId(handle));
    }

    const std::map<HWND, std::unique_ptr<Window>>& Windows() const { return windows_; }

    // Puts a window on top of the others of its band: topmost windows stay
    // above the rest.
    void Raise(const Window& window)
    {
        std::erase(zOrder_, window.handle);
        const bool topmost = (window.exStyle & WS_EX_TOPMOST) != 0;
        auto at = zOrder_.end();
        if (!topmost)
            at = std::find_if(zOrder_.begin(), zOrder_.end(),
                              [&](HWND h) { return (Find(h)->exStyle & WS_EX_TOPMOST) != 0; });
        zOrder_.insert(at, window.handle);
    }

    void Lower(HWND handle) { std::erase(zOrder_, handle); }

    // The topmost visible window under a screen point.
    Window* WindowAt(int x, int y)
    {
        for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
            Window* w = Find(*it);
            if (w && w->visible && x >= w->rect.left && x < w->rect.right && y >= w->rect.top &&
                y < w->rect.bottom)
                return w;
        }
        return nullptr;
    }

    Window* WindowToPaint()
    {
        for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it)
            if (Window* w = Find(*it); w && w->NeedsPaint())
                return w;
        return nullptr;
    }

    // Timers.
    UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc)
    {
        if (window == nullptr)
            id = nextThreadTimer_++;
        period = std::max(period, MINIMUM_TIMER_PERIOD);
        const std::int64_t due = display_->Now() + period;
        for (Timer& t : timers_)
            if (t.window == window && t.id == id) {
                t = {window, id, period, proc, due};
                return id ? id : 1;
            }
        timers_.push_back({window, id, period, proc, due});
        return id ? id : 1;
    }

    bool KillTimer(HWND window, UINT_PTR id)
    {
        return std::erase_if(timers_,
                             [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
    }

    // Only the timers set here have procedures: a WM_TIMER posted by anyone
    // else must not make DispatchMessageA call an arbitrary address.
    bool HasTimerProc(HWND window, UINT_PTR id, LPARAM proc) const
    {
        return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) {
            return t.window == window && t.id == id && LPARAM(t.proc) == proc;
        });
    }

    void KillTimers(HWND window)
    {
        std::erase_if(timers_, [&](const Timer& t) { return t.window == window; });
    }

    // Queue.
    void Post(const MSG& msg) { queue_.push_back(msg); }

    void PostQuit(int code)
    {
        quitPosted_ = true;
        quitCode_ = code;
    }

    int GetMessage(MSG& msg);

    // Focus and activation.
    HWND focus = nullptr;
    HWND active = nullptr;
    HCURSOR cursor = ARROW_CURSOR;

    DeviceContext* NewDC(HWND window)
    {
        for (std::size_t i = 0; i < dcs_.size(); ++i)
            if (dcs_[i]->window == nullptr) {
                dcs_[i]->window = window;
                return dcs_[i].get();
            }
        dcs_.push_back(std::make_unique<DeviceContext>());
        dcs_.back()->window = window;
        return dcs_.back().get();
    }

    DeviceContext* FindDC(HDC hdc)
    {
        for (const auto& dc : dcs_)
            if (reinterpret_cast<HDC>(dc.get()) == hdc && dc->window != nullptr)
                return dc.get();
        return nullptr;
    }

    void Input(const InputEvent& event) override { input_.push_back(event); }

private:
    void DeliverInput();
    void DeliverMouse(const InputEvent& event);
    DWORD Time() { return DWORD(display_->Now()); }

    std::unique_ptr<Display> display_;
    std::vector<std::unique_ptr<WindowClass>> classes_;
    std::map<HWND, std::unique_ptr<Window>> windows_;
    std::vector<HWND> zOrder_; // bottom to top
    std::uintptr_t nextHandle_ = 0x10020;
    std::vector<Timer> timers_;
    UINT_PTR nextThreadTimer_ = 0x7FF0;
    std::deque<MSG> queue_;
    std::vector<InputEvent> input_;
    bool quitPosted_ = false;
    int quitCode_ = 0;
    std::vector<std::unique_ptr<DeviceContext>> dcs_;
    // Mouse state, for the key-state flags and double clicks.
    WPARAM buttons_ = 0;
    std::int64_t lastDownTime_ = -DOUBLE_CLICK_TIME;
    POINT lastDownAt_{};
    int lastDownButton_ = -1;
    bool lastWasDoubleClick_ = false;
    std::map<int, bool> keysDown_;
};

std::unique_ptr<WindowSystem>& Instance()
{
    static std::unique_ptr<WindowSystem> instance;
    return instance;
}

WindowSystem* System()
{
    return Instance().get();
}

std::map<UINT, std::string>& StringResources()
{
    static std::map<UINT, std::string> strings;
    return strings;
}

void WindowTarget::InvertSpans(std::span<const raster::Span> spans)
{
    System()->display().InvertSpans(window, spans);
}

MessageObserver& Observer()
{
    static MessageObserver observer;
    return observer;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowSystem* ws = System();
    Window* w = ws ? ws->Find(hwnd) : nullptr;
    if (!w)
        return 0;
    const LRESULT result = w->proc(hwnd, message, wParam, lParam);
    if (Observer())
        Observer()(hwnd, message);
    return result;
}

void SetFocusTo(HWND hwnd)
{
    WindowSystem& ws = *System();
    const HWND old = ws.focus;
    if (old == hwnd)
        return;
    ws.focus = hwnd;
    if (old)
        Send(old, WM_KILLFOCUS, WPARAM(hwnd), 0);
    if (hwnd)
        Send(hwnd, WM_SETFOCUS, WPARAM(old), 0);
}

// Invalidates, in every other visible window, what lies under rect: what a
// window covered is exposed when it goes.
void Expose(const RECT& rect)
{
    WindowSystem& ws = *System();
    for (const auto& [handle, w] : ws.Windows()) {
        if (!w->visible)
            continue;
        RECT r = Intersect(rect, w->rect);
        if (IsEmpty(r))
            continue;
        r = {r.left - w->rect.left, r.top - w->rect.top, r.right - w->rect.left,
             r.bottom - w->rect.top};
        w->update = Union(w->update, r);
        w->erase = true;
    }
}

void Hide(Window& w)
{
    WindowSystem& ws = *System();
    const HWND handle = w.handle;
    w.visible = false;
    w.update = {};
    ws.Lower(handle);
    ws.display().ShowWindow(WindowId(handle), false);
    Expose(w.rect);
    if (ws.active == handle)
        ws.active = nullptr;
    if (ws.focus == handle)
        SetFocusTo(nullptr);
}

int WindowSystem::GetMessage(MSG& msg)
{
    bool polled = false;
    for (;;) {
        if (!queue_.empty()) {
            msg = queue_.front();
            queue_.pop_front();
            // The cursor is set for each mouse message as it is taken.
            if (msg.message >= WM_MOUSEMOVE && msg.message <= WM_MBUTTONDBLCLK && Find(msg.hwnd))
                Send(msg.hwnd, WM_SETCURSOR, WPARAM(msg.hwnd), MAKELPARAM(HTCLIENT, msg.message));
            return 1;
        }
        if (quitPosted_) {
            quitPosted_ = false;
            msg = {nullptr, WM_QUIT, WPARAM(quitCode_), 0, Time(), {}};
            return 0;
        }
        // Input that has already reached the display goes before paints and
        // timers, as it would have been queued the moment it happened.
        if (!polled && display_->Wait(display_->Now(), *this) && !input_.empty()) {
            DeliverInput();
            polled = true;
            continue;
        }
        polled = false;
        if (Window* w = WindowToPaint()) {
            msg = {w->handle, WM_PAINT, 0, 0, Time(), {}};
            return 1;
        }
        const std::int64_t now = display_->Now();
        std::optional<std::int64_t> deadline;
        Timer* due = nullptr;
        for (Timer& t : timers_) {
            if (t.due <= now && (!due || t.due < due->due))
                due = &t;
            if (!deadline || t.due < *deadline)
                deadline = t.due;
        }
        if (due) {
            due->due = now + due->period;
            msg = {due->window, WM_TIMER, due->id, LPARAM(due->proc), DWORD(now), {}};
            return 1;
        }
        if (!display_->Wait(deadline, *this)) {
            msg = {};
            return -1;
        }
        DeliverInput();
        // Everything that had come was read just now.
        polled = true;
    }
}

void WindowSystem::DeliverInput()
{
    std::vector<InputEvent> events;
    events.swap(input_);
    for (const InputEvent& e : events) {
        switch (e.kind) {
        case InputEvent::Kind::KeyDown:
        case InputEvent::Kind::KeyUp: {
            const bool down = e.kind == InputEvent::Kind::KeyDown;
            const bool system = e.alt || e.virtualKey == VK_F10;
            const bool wasDown = keysDown_[e.virtualKey];
            keysDown_[e.virtualKey] = down;
            const HWND target = focus ? focus : active;
            if (!target)
                break;
            LPARAM lParam = 1;
            if (e.alt)
                lParam |= LPARAM(1) << 29;
            if (wasDown || !down)
                lParam |= LPARAM(1) << 30;
            if (!down)
                lParam |= LPARAM(DWORD(1) << 31);
            const UINT message =
                down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
            Post({target, message, WPARAM(e.virtualKey), lParam, Time(), {}});
            break;
        }
        case InputEvent::Kind::FocusOut:
            SetFocusTo(nullptr);
            break;
        case InputEvent::Kind::FocusIn:
            if (active && !focus)
                SetFocusTo(active);
            break;
        default:
            DeliverMouse(e);
            break;
        }
    }
}

void WindowSystem::DeliverMouse(const InputEvent& e)
{
    static constexpr WPARAM BUTTON_FLAGS[] = {MK_LBUTTON, MK_MBUTTON, MK_RBUTTON};
    static constexpr UINT DOWN_MESSAGES[] = {WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
    const int button = int(e.button);
    const std::int64_t now = display_->Now();
    const POINT at{e.x, e.y};

    if (e.kind == InputEvent::Kind::Wheel) {
        if (focus)
            Post({focus, WM_MOUSEWHEEL, MAKEWPARAM(buttons_, e.wheelDelta), MAKELPARAM(e.x, e.y),
                  DWORD(now), at});
        return;
    }
    UINT message = WM_MOUSEMOVE;
    bool doubleClick = false;
    if (e.kind == InputEvent::Kind::ButtonDown) {
        buttons_ |= BUTTON_FLAGS[button];
        doubleClick = !lastWasDoubleClick_ && button == lastDownButton_ &&
                      now - lastDownTime_ <= DOUBLE_CLICK_TIME &&
                      std::abs(e.x - lastDownAt_.x) <= DOUBLE_CLICK_DISTANCE &&
                      std::abs(e.y - lastDownAt_.y) <= DOUBLE_CLICK_DISTANCE;
        lastWasDoubleClick_ = doubleClick;
        lastDownButton_ = button;
        lastDownTime_ = now;
        lastDownAt_ = at;
        message = DOWN_MESSAGES[button];
    } else if (e.kind == InputEvent::Kind::ButtonUp) {
        buttons_ &= ~BUTTON_FLAGS[button];
        message = DOWN_MESSAGES[button] + 1;
    }
    Window* w = WindowAt(e.x, e.y);
    if (!w)
        return;
    // Only a class that asks for double clicks gets them; any other sees two
    // button-downs.
    if (doubleClick && (w->windowClass->style & CS_DBLCLKS))
        message += 2;
    Post({w->handle, message, buttons_, MAKELPARAM(e.x - w->rect.left, e.y - w->rect.top),
          DWORD(now), at});
}

} // namespace

void UseDisplay(std::unique_ptr<Display> display)
{
    Instance().reset();
    if (display)
        Instance() = std::make_unique<WindowSystem>(std::move(display));
}

Display* CurrentDisplay()
{
    return System() ? &System()->display() : nullptr;
}

void SetMessageObserver(MessageObserver observer)
{
    Observer() = std::move(observer);
}

void RegisterStringResource(UINT id, std::string_view text)
{
    StringResources()[id] = std::string(text);
}

} // namespace winsys

using winsys::System;
using winsys::Window;

int WINAPI GetSystemMetrics(int nIndex)
{
    winsys::WindowSystem* ws = System();
    if (!ws)
        return 0;
    switch (nIndex) {
    case SM_CXSCREEN:
        return ws->display().Width();
    case SM_CYSCREEN:
        return ws->display().Height();
    default:
        return 0;
    }
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    winsys::WindowSystem* ws = System();
    if (!ws)
        return nullptr;
    const winsys::WindowClass* wc = lpClassName ? ws->FindClass(lpClassName) : nullptr;
    if (lpClassName && !wc)
        return nullptr;
    for (const auto& [handle, w] : ws->Windows())
        if ((!wc || w->windowClass == wc) && (!lpWindowName || w->title == lpWindowName))
            return handle;
    // Another program's window is matched by title alone; its handle is one
    // that none of our calls accepts.
    if (!lpClassName && lpWindowName && ws->display().HasForeignWindow(lpWindowName))
        return reinterpret_cast<HWND>(std::uintptr_t(0x7FFF0000));
    return nullptr;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass)
{
    winsys::WindowSystem* ws = System();
    return ws && lpWndClass ? ws->Register(*lpWndClass) : 0;
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR lpClassName, WNDCLASSA* lpWndClass)
{
    winsys::WindowSystem* ws = System();
    const winsys::WindowClass* wc = ws ? ws->FindClass(lpClassName) : nullptr;
    if (!wc || !lpWndClass)
        return FALSE;
    *lpWndClass = {wc->style,
                   wc->proc,
                   0,
                   0,
                   winsys::MODULE_INSTANCE,
                   wc->icon,
                   wc->cursor,
                   wc->background,
                   nullptr,
                   wc->name.c_str()};
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam)
{
    winsys::WindowSystem* ws = System();
    const winsys::WindowClass* wc = ws ? ws->FindClass(lpClassName) : nullptr;
    // Only top-level windows exist here.
    if (!wc || hWndParent != nullptr)
        return nullptr;
    const LONG left = winsys::Limit(X), top = winsys::Limit(Y);
    const RECT rect{left, top, winsys::Limit(left + std::max(0LL, (long long)nWidth)),
                    winsys::Limit(top + std::max(0LL, (long long)nHeight))};
    const HWND hwnd = ws->Create(*wc, lpWindowName, dwStyle, dwExStyle, rect);
    if (!hwnd)
        return nullptr;

    CREATESTRUCTA cs{lpParam,
                     hInstance,
                     hMenu,
                     hWndParent,
                     int(rect.bottom - rect.top),
                     int(rect.right - rect.left),
                     int(top),
                     int(left),
                     LONG(dwStyle),
                     lpWindowName,
                     lpClassName,
                     dwExStyle};
    if (!winsys::Send(hwnd, WM_NCCREATE, 0, LPARAM(&cs)) || !IsWindow(hwnd)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (winsys::Send(hwnd, WM_CREATE, 0, LPARAM(&cs)) == -1 || !IsWindow(hwnd)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (dwStyle & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    winsys::WindowSystem* ws = System();
    Window* w = ws ? ws->Find(hWnd) : nullptr;
    if (!w || w->destroying)
        return FALSE;
    w->destroying = true;
    if (w->visible)
        winsys::Hide(*w);
    winsys::Send(hWnd, WM_DESTROY, 0, 0);
    ws->KillTimers(hWnd);
    winsys::Send(hWnd, WM_NCDESTROY, 0, 0);
    ws->KillTimers(hWnd);
    if (ws->focus == hWnd)
        ws->focus = nullptr;
    if (ws->active == hWnd)
        ws->active = nullptr;
    ws->Forget(hWnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    return System() && System()->Find(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    return w && w->visible;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    winsys::WindowSystem* ws = System();
    Window* w = ws ? ws->Find(hWnd) : nullptr;
    if (!w)
        return FALSE;
    const BOOL wasVisible = w->visible;
    if (nCmdShow == SW_HIDE) {
        if (wasVisible)
            winsys::Hide(*w);
        return wasVisible;
    }
    if (w->destroying)
        return wasVisible;
    if (!wasVisible) {
        w->visible = true;
        ws->Raise(*w);
        ws->display().ShowWindow(winsys::WindowId(hWnd), true);
        w->update = {0, 0, w->Width(), w->Height()};
        w->erase = true;
    }
    // Showing activates the window and gives it the focus.
    if (ws->active != hWnd) {
        ws->active = hWnd;
        winsys::SetFocusTo(hWnd);
    }
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    if (!w)
        return FALSE;
    if (w->NeedsPaint())
        winsys::Send(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

HWND WINAPI GetFocus()
{
    return System() ? System()->focus : nullptr;
}

HWND WINAPI GetActiveWindow()
{
    return System() ? System()->active : nullptr;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    if (!w || !lpRect)
        return FALSE;
    *lpRect = {0, 0, w->Width(), w->Height()};
    return TRUE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    if (!w || !lpString || nMaxCount <= 0)
        return 0;
    const int length = std::min<int>(int(w->title.size()), nMaxCount - 1);
    std::memcpy(lpString, w->title.data(), std::size_t(length));
    lpString[length] = '\0';
    return length;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    return hInstance == nullptr && lpCursorName == IDC_ARROW ? winsys::ARROW_CURSOR : nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    winsys::WindowSystem* ws = System();
    if (!ws)
        return nullptr;
    const HCURSOR old = ws->cursor;
    ws->cursor = hCursor;
    ws->display().SetCursorVisible(hCursor != nullptr);
    return old;
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    winsys::WindowSystem* ws = System();
    if (!ws || (hWnd && !ws->Find(hWnd)))
        return 0;
    return ws->SetTimer(hWnd, nIDEvent, uElapse, lpTimerFunc);
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    return System() && System()->KillTimer(hWnd, uIDEvent);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return winsys::Send(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    winsys::WindowSystem* ws = System();
    if (!ws || (hWnd && !ws->Find(hWnd)))
        return FALSE;
    ws->Post({hWnd, Msg, wParam, lParam, DWORD(ws->display().Now()), {}});
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode)
{
    if (System())
        System()->PostQuit(nExitCode);
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    // Only the unfiltered form is provided.
    if (!System() || !lpMsg || hWnd || wMsgFilterMin || wMsgFilterMax)
        return -1;
    return System()->GetMessage(*lpMsg);
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    if (!lpMsg)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam && System() &&
        System()->HasTimerProc(lpMsg->hwnd, lpMsg->wParam, lpMsg->lParam)) {
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam,
                                                   lpMsg->time);
        return 0;
    }
    return winsys::Send(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    if (!w)
        return 0;
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window, as everywhere.
        if (wParam == VK_F4 && (lParam & (LPARAM(1) << 29)))
            SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && w->windowClass->cursor) {
            SetCursor(w->windowClass->cursor);
            return TRUE;
        }
        return FALSE;
    default:
        // Backgrounds are not erased: no brush can be made here.
        return 0;
    }
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase)
{
    winsys::WindowSystem* ws = System();
    if (!ws)
        return FALSE;
    if (!hWnd) {
        for (const auto& [handle, w] : ws->Windows())
            InvalidateRect(handle, nullptr, bErase);
        return TRUE;
    }
    Window* w = ws->Find(hWnd);
    if (!w)
        return FALSE;
    const RECT client{0, 0, w->Width(), w->Height()};
    const RECT r = lpRect ? winsys::Intersect(*lpRect, client) : client;
    if (winsys::IsEmpty(r))
        return TRUE;
    w->update = winsys::Union(w->update, r);
    w->erase = w->erase || bErase;
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    if (!w)
        return FALSE;
    RECT& u = w->update;
    if (!lpRect || (lpRect->left <= u.left && lpRect->top <= u.top && lpRect->right >= u.right &&
                    lpRect->bottom >= u.bottom)) {
        u = {};
        w->erase = false;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL)
{
    Window* w = System() ? System()->Find(hWnd) : nullptr;
    if (!w)
        return FALSE;
    const bool empty = winsys::IsEmpty(w->update);
    if (lpRect)
        *lpRect = empty ? RECT{} : w->update;
    return !empty;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    winsys::WindowSystem* ws = System();
    Window* w = ws ? ws->Find(hWnd) : nullptr;
    if (!w || !lpPaint)
        return nullptr;
    *lpPaint = {};
    lpPaint->rcPaint = winsys::IsEmpty(w->update) ? RECT{} : w->update;
    const bool erase = w->erase;
    w->update = {};
    w->erase = false;

    winsys::DeviceContext* dc = ws->NewDC(hWnd);
    dc->rop = R2_COPYPEN;
    dc->position = {};
    dc->target.window = winsys::WindowId(hWnd);
    const RECT& clip = lpPaint->rcPaint;
    dc->surface.SetClip({clip.left, clip.top, clip.right, clip.bottom});
    dc->surface.MoveTo(0, 0);
    const HDC hdc = reinterpret_cast<HDC>(dc);
    lpPaint->hdc = hdc;
    lpPaint->fErase = erase && !winsys::Send(hWnd, WM_ERASEBKGND, WPARAM(hdc), 0);
    return hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* lpPaint)
{
    winsys::DeviceContext* dc = System() && lpPaint ? System()->FindDC(lpPaint->hdc) : nullptr;
    if (!dc)
        return FALSE;
    dc->window = nullptr;
    return TRUE;
}

int WINAPI LoadStringA(HINSTANCE, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    const auto& strings = winsys::StringResources();
    const auto it = strings.find(uID);
    if (it == strings.end() || !lpBuffer || cchBufferMax <= 0)
        return 0;
    const int length = std::min<int>(int(it->second.size()), cchBufferMax - 1);
    std::memcpy(lpBuffer, it->second.data(), std::size_t(length));
    lpBuffer[length] = '\0';
    return length;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    return lpModuleName ? nullptr : winsys::MODULE_INSTANCE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if ((hModule && hModule != winsys::MODULE_INSTANCE) || !lpFilename || nSize == 0)
        return 0;
    const ssize_t length = readlink("/proc/self/exe", lpFilename, nSize - 1);
    if (length < 0)
        return 0;
    lpFilename[length] = '\0';
    return DWORD(length);
}

namespace {

winsys::DeviceContext* FindDC(HDC hdc)
{
    return System() ? System()->FindDC(hdc) : nullptr;
}

} // namespace

int WINAPI SetROP2(HDC hdc, int rop2)
{
    winsys::DeviceContext* dc = FindDC(hdc);
    if (!dc || rop2 < 1 || rop2 > 16)
        return 0;
    const int old = dc->rop;
    dc->rop = rop2;
    return old;
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    winsys::DeviceContext* dc = FindDC(hdc);
    if (!dc || dc->rop != R2_NOT)
        return FALSE;
    dc->surface.Ellipse(left, top, right, bottom);
    return TRUE;
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    winsys::DeviceContext* dc = FindDC(hdc);
    if (!dc)
        return FALSE;
    if (lppt)
        *lppt = dc->position;
    dc->position = {x, y};
    dc->surface.MoveTo(x, y);
    return TRUE;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y)
{
    winsys::DeviceContext* dc = FindDC(hdc);
    if (!dc)
        return FALSE;
    const bool drawn = dc->rop == R2_NOT;
    if (drawn)
        dc->surface.LineTo(x, y);
    else
        dc->surface.MoveTo(x, y);
    dc->position = {x, y};
    return drawn;
}
