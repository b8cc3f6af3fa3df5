#include "tools/preview/options.h"

#include "tools/preview/failure.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace preview {

const char USAGE[] =
    "usage: blinkorb-preview [--size WxH] [--ticks N] [--picture IN.png] [--out OUT.png]\n"
    "                        [--trace OUT.csv] [--gif OUT.gif [--every K]]\n"
    "\n"
    "Runs Blinkorb on an in-memory screen whose clock moves on only when the\n"
    "program waits, up to the frame drawn after timer tick N (a tick every\n"
    "10 ms), then ends it with a key press, and exits with its status.\n"
    "\n"
    "  --size WxH        the screen, at most 16384 each way (default 1024x768)\n"
    "  --ticks N         the last tick; 0 is the first frame (default 0)\n"
    "  --picture IN.png  the picture on the screen at the start, of the\n"
    "                    screen's size (default: one made in the program)\n"
    "  --out OUT.png     the screen at the last frame\n"
    "  --trace OUT.csv   the figure after each tick, from 0 to N\n"
    "  --gif OUT.gif     the run as a looping animation, with a frame every\n"
    "  --every K         K ticks from the first one on (default 4)\n";

namespace {

// Large screens are allowed, but not ones that would need gigabytes for a
// mistyped digit.
constexpr std::int32_t MAX_SIDE = 16384;
// A GIF frame's delay is a 16-bit count of hundredths of a second, and a tick
// is one hundredth.
constexpr int MAX_EVERY = 65535;

// The whole text as a number within [low, high], or nothing.
template <class Number>
std::optional<Number> ParseNumber(std::string_view text, Number low, Number high)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

void ParseSize(std::string_view text, Options& options)
{
    const auto x = text.find('x');
    std::optional<std::int32_t> width, height;
    if (x != std::string_view::npos) {
        width = ParseNumber<std::int32_t>(text.substr(0, x), 1, MAX_SIDE);
        height = ParseNumber<std::int32_t>(text.substr(x + 1), 1, MAX_SIDE);
    }
    if (!width || !height)
        throw Failure("--size takes WxH, each from 1 to " + std::to_string(MAX_SIDE) + ", not '" +
                      std::string(text) + "'");
    options.width = *width;
    options.height = *height;
}

} // namespace

Options ParseOptions(std::span<const char* const> arguments)
{
    Options options;
    bool everyGiven = false;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        const std::string_view name = *argument;
        const auto value = [&]() -> std::string_view {
            if (std::next(argument) == arguments.end())
                throw Failure(std::string(name) + " needs a value");
            return *++argument;
        };
        if (name == "--help") {
            options.help = true;
            return options;
        }
        if (name == "--size") {
            ParseSize(value(), options);
        } else if (name == "--ticks") {
            const std::string_view text = value();
            const auto ticks =
                ParseNumber<std::int64_t>(text, 0, std::numeric_limits<std::int64_t>::max());
            if (!ticks)
                throw Failure("--ticks takes a whole number from 0 on, not '" + std::string(text) +
                              "'");
            options.ticks = *ticks;
        } else if (name == "--every") {
            const std::string_view text = value();
            const auto every = ParseNumber(text, 1, MAX_EVERY);
            if (!every)
                throw Failure("--every takes a whole number from 1 to " +
                              std::to_string(MAX_EVERY) + ", not '" + std::string(text) + "'");
            options.every = *every;
            everyGiven = true;
        } else if (name == "--picture") {
            options.picture = value();
        } else if (name == "--out") {
            options.out = value();
        } else if (name == "--trace") {
            options.trace = value();
        } else if (name == "--gif") {
            options.gif = value();
        } else {
            throw Failure("unknown argument '" + std::string(name) + "' (see --help)");
        }
    }
    if (everyGiven && !options.gif)
        throw Failure("--every needs --gif");
    return options;
}

} // namespace preview
