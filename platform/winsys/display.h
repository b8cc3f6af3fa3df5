#pragma once

// What differs between screens, behind our window system: the screen's size,
// its pixels, its input and the waiting for the next event. Everything else
// (windows, messages, timers, paint) is shared and lives in winsys.cpp.

#include "platform/raster/geometry.h"
#include "platform/winsys/winapi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace winsys {

enum class MouseButton { Left, Middle, Right };

struct InputEvent {
    enum class Kind {
        KeyDown,
        KeyUp,
        ButtonDown,
        ButtonUp,
        Wheel,
        Motion,
        FocusIn,  // the screen gives our application the focus again
        FocusOut, // another application took it
    };
    Kind kind;
    int virtualKey = 0; // KeyDown, KeyUp
    bool alt = false;   // KeyDown, KeyUp: Alt held
    MouseButton button = MouseButton::Left;
    int x = 0; // pointer position in screen coordinates, for every mouse event
    int y = 0;
    int wheelDelta = 0; // in WHEEL_DELTA units of 120 per notch
};

// Receives the input a display reads while waiting.
class InputSink {
public:
    virtual void Input(const InputEvent& event) = 0;

protected:
    ~InputSink() = default;
};

// A window as the display knows it: the window system's handle value.
using WindowId = std::uintptr_t;

class Display {
public:
    virtual ~Display() = default;

    virtual std::int32_t Width() = 0;
    virtual std::int32_t Height() = 0;

    // The top-level windows of our program, in screen coordinates. A window
    // has no pixels of its own: what it draws lands on the screen, over what
    // was there.
    // False when the screen cannot make the window.
    virtual bool CreateWindow(WindowId id, const RECT& rect, std::string_view title,
                              bool topmost) = 0;
    virtual void ShowWindow(WindowId id, bool visible) = 0;
    virtual void DestroyWindow(WindowId id) = 0;
    // Spans are in the window's coordinates and lie within it.
    virtual void InvertSpans(WindowId id, std::span<const raster::Span> spans) = 0;

    virtual void SetCursorVisible(bool visible) = 0;

    // Whether a top-level window of another program has this title.
    virtual bool HasForeignWindow(std::string_view title) = 0;

    // Milliseconds on the display's clock.
    virtual std::int64_t Now() = 0;
    // Waits until input arrives or the clock reaches the deadline, handing the
    // input to sink. False when nothing can ever arrive again: no deadline
    // and no more input, or the screen is gone.
    virtual bool Wait(std::optional<std::int64_t> deadline, InputSink& sink) = 0;
};

// Makes display the screen of the window system, which starts afresh: no
// windows, classes, timers or queued messages.
void UseDisplay(std::unique_ptr<Display> display);

// The display in use, if any.
Display* CurrentDisplay();

// Called each time a window procedure has returned from a message, sent or
// dispatched, with the window and the message: lets a tool watch a program
// run without changing it. Kept across UseDisplay.
using MessageObserver = std::function<void(HWND window, UINT message)>;
void SetMessageObserver(MessageObserver observer);

// The executable's string resources, read through LoadStringA.
void RegisterStringResource(UINT id, std::string_view text);

} // namespace winsys
