#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace preview {

struct Options {
    std::int32_t width = 1024;
    std::int32_t height = 768;
    // The run ends at the paint that follows this timer tick.
    std::int64_t ticks = 0;
    std::optional<std::string> picture;
    std::optional<std::string> out;
    std::optional<std::string> trace;
    std::optional<std::string> gif;
    // Ticks between the animation's frames; each frame shows that long.
    int every = 4;
    bool help = false;
};

extern const char USAGE[];

// The arguments after the program's name. Throws Failure on anything it
// cannot make sense of.
Options ParseOptions(std::span<const char* const> arguments);

} // namespace preview
