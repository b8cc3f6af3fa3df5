#include "platform/winsys/memory_display.h"

#include <algorithm>

namespace winsys {

MemoryDisplay::MemoryDisplay(raster::Picture desktop)
    : desktop_(desktop), screen_(std::move(desktop))
{
}

void MemoryDisplay::At(std::int64_t time, const InputEvent& event)
{
    script_.emplace(time, event);
}

void MemoryDisplay::KeyPress(std::int64_t time, int virtualKey, bool alt)
{
    At(time, {InputEvent::Kind::KeyDown, virtualKey, alt});
    At(time, {InputEvent::Kind::KeyUp, virtualKey, alt});
}

void MemoryDisplay::Click(std::int64_t time, MouseButton button, int x, int y)
{
    At(time, {.kind = InputEvent::Kind::ButtonDown, .button = button, .x = x, .y = y});
    At(time, {.kind = InputEvent::Kind::ButtonUp, .button = button, .x = x, .y = y});
}

void MemoryDisplay::MouseMove(std::int64_t time, int x, int y)
{
    At(time, {.kind = InputEvent::Kind::Motion, .x = x, .y = y});
}

std::size_t MemoryDisplay::VisibleWindows() const
{
    return std::size_t(std::count_if(windows_.begin(), windows_.end(),
                                     [](const auto& w) { return w.second.visible; }));
}

bool MemoryDisplay::CreateWindow(WindowId id, const RECT& rect, std::string_view, bool)
{
    if (refuseWindows_)
        return false;
    windows_[id] = {rect, false};
    return true;
}

void MemoryDisplay::ShowWindow(WindowId id, bool visible)
{
    const auto it = windows_.find(id);
    if (it == windows_.end() || it->second.visible == visible)
        return;
    it->second.visible = visible;
    if (visible)
        return;
    // As a desktop repaints: what the window covered shows again. Other
    // windows of ours that were under it are told to repaint by the window
    // system.
    const RECT& r = it->second.rect;
    const std::int32_t top = std::max(0, r.top), bottom = std::min(screen_.Height(), r.bottom);
    const std::int32_t left = std::max(0, r.left), right = std::min(screen_.Width(), r.right);
    for (std::int32_t y = top; y < bottom; ++y)
        std::copy(desktop_.Row(y) + left, desktop_.Row(y) + right, screen_.Row(y) + left);
}

void MemoryDisplay::DestroyWindow(WindowId id)
{
    ShowWindow(id, false);
    windows_.erase(id);
}

void MemoryDisplay::InvertSpans(WindowId id, std::span<const raster::Span> spans)
{
    const auto it = windows_.find(id);
    if (it == windows_.end() || !it->second.visible)
        return;
    const RECT& r = it->second.rect;
    clipped_.clear();
    for (const raster::Span& s : spans) {
        const std::int32_t y = s.y + r.top;
        const std::int32_t x0 = std::max(s.x0 + r.left, 0);
        const std::int32_t x1 = std::min(s.x1 + r.left, screen_.Width());
        if (y >= 0 && y < screen_.Height() && x0 < x1)
            clipped_.push_back({y, x0, x1});
    }
    screen_.InvertSpans(clipped_);
}

bool MemoryDisplay::HasForeignWindow(std::string_view title)
{
    return foreignWindows_.find(title) != foreignWindows_.end();
}

bool MemoryDisplay::Wait(std::optional<std::int64_t> deadline, InputSink& sink)
{
    if (script_.empty() && !deadline)
        return false;
    if (script_.empty() || (deadline && *deadline < script_.begin()->first)) {
        now_ = std::max(now_, *deadline);
        return true;
    }
    now_ = std::max(now_, script_.begin()->first);
    while (!script_.empty() && script_.begin()->first <= now_) {
        sink.Input(script_.begin()->second);
        script_.erase(script_.begin());
    }
    return true;
}

MemoryDisplay& UseMemoryDisplay(raster::Picture desktop)
{
    auto display = std::make_unique<MemoryDisplay>(std::move(desktop));
    MemoryDisplay& result = *display;
    UseDisplay(std::move(display));
    return result;
}

MemoryDisplay& UseMemoryDisplay(std::int32_t width, std::int32_t height)
{
    return UseMemoryDisplay(raster::Picture(width, height, 0x00304050));
}

} // namespace winsys
