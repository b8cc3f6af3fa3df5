#pragma once

#include "platform/raster/picture.h"
#include "platform/winsys/display.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace winsys {

// A screen in memory with a virtual clock. The clock stands still while the
// program works and jumps to the next timer deadline or scripted input as
// soon as the program waits, so a minute of running takes milliseconds.
class MemoryDisplay final : public Display {
public:
    // The screen starts out showing desktop, the picture that reappears
    // wherever a window goes away.
    explicit MemoryDisplay(raster::Picture desktop);

    // Script: input that happens at a given time on the virtual clock.
    void At(std::int64_t time, const InputEvent& event);
    void KeyPress(std::int64_t time, int virtualKey, bool alt = false);
    void Click(std::int64_t time, MouseButton button, int x, int y);
    void MouseMove(std::int64_t time, int x, int y);

    // The program is busy for a while: the clock moves on without it.
    void Advance(std::int64_t milliseconds) { now_ += milliseconds; }

    // From now on the screen cannot make windows, as when it runs out of
    // resources.
    void RefuseWindows() { refuseWindows_ = true; }

    void AddForeignWindow(std::string title) { foreignWindows_.insert(std::move(title)); }

    const raster::Picture& Screen() const { return screen_; }
    const raster::Picture& Desktop() const { return desktop_; }
    bool CursorVisible() const { return cursorVisible_; }
    // Windows of ours that are shown.
    std::size_t VisibleWindows() const;

    std::int32_t Width() override { return screen_.Width(); }
    std::int32_t Height() override { return screen_.Height(); }
    bool CreateWindow(WindowId id, const RECT& rect, std::string_view title, bool topmost) override;
    void ShowWindow(WindowId id, bool visible) override;
    void DestroyWindow(WindowId id) override;
    void InvertSpans(WindowId id, std::span<const raster::Span> spans) override;
    void SetCursorVisible(bool visible) override { cursorVisible_ = visible; }
    bool HasForeignWindow(std::string_view title) override;
    std::int64_t Now() override { return now_; }
    bool Wait(std::optional<std::int64_t> deadline, InputSink& sink) override;

private:
    struct WindowState {
        RECT rect;
        bool visible = false;
    };

    raster::Picture desktop_;
    raster::Picture screen_;
    std::map<WindowId, WindowState> windows_;
    std::set<std::string, std::less<>> foreignWindows_;
    std::multimap<std::int64_t, InputEvent> script_;
    std::int64_t now_ = 0;
    bool cursorVisible_ = true;
    bool refuseWindows_ = false;
    raster::SpanList clipped_;
};

// Starts the window system afresh on an in-memory screen and returns it.
MemoryDisplay& UseMemoryDisplay(raster::Picture desktop);
MemoryDisplay& UseMemoryDisplay(std::int32_t width = 1024, std::int32_t height = 768);

} // namespace winsys
