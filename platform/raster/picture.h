#pragma once

#include "platform/raster/geometry.h"

#include <cstdint>
#include <span>
#include <vector>

namespace raster {

// Receives the runs of each drawn primitive, to invert them.
class SpanTarget {
public:
    virtual void InvertSpans(std::span<const Span> spans) = 0;

protected:
    ~SpanTarget() = default;
};

// An in-memory picture of 32-bit pixels, rows top to bottom.
class Picture final : public SpanTarget {
public:
    Picture(std::int32_t width, std::int32_t height, std::uint32_t fill = 0);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    Rect Bounds() const { return {0, 0, width_, height_}; }

    std::uint32_t* Row(std::int32_t y)
    {
        return pixels_.data() + std::size_t(y) * std::size_t(width_);
    }
    const std::uint32_t* Row(std::int32_t y) const
    {
        return pixels_.data() + std::size_t(y) * std::size_t(width_);
    }
    std::uint32_t& At(std::int32_t x, std::int32_t y) { return Row(y)[x]; }
    std::uint32_t At(std::int32_t x, std::int32_t y) const { return Row(y)[x]; }

    // Spans must lie within the bounds.
    void InvertSpans(std::span<const Span> spans) override;

    bool operator==(const Picture& other) const
    {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }

private:
    std::int32_t width_;
    std::int32_t height_;
    std::vector<std::uint32_t> pixels_;
};

} // namespace raster
