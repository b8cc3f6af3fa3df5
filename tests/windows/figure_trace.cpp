// The figure's motion over a long run, written by the Linux and the Windows
// build alike so that the two outputs can be compared byte for byte: first
// the state after every tick (the preview tool's trace), then where every
// tick's figure is drawn, whose arm ends come from the C library's cos and
// sin.

#include "figure/figure.h"
#include "figure/surface.h"
#include "tools/preview/trace.h"

#include <cstdint>
#include <cstdio>
#include <iterator>

namespace {

constexpr std::int64_t TICKS = 100'000;

struct Size {
    std::int32_t width;
    std::int32_t height;
};

// The screen changes size now and then, shrinking under the figure too.
constexpr Size SIZES[] = {{1024, 768}, {800, 600}, {1280, 1024}, {640, 480}, {1023, 767}};
constexpr std::int64_t TICKS_PER_SIZE = 9'973;

// Writes the figure's drawing calls on one line.
class CallWriter final : public figure::DrawingSurface {
public:
    explicit CallWriter(std::FILE* stream) : stream_(stream) {}
    void SetInvertMode() override {}
    void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right,
                 std::int32_t bottom) override
    {
        std::fprintf(stream_, ",%d %d %d %d", left, top, right, bottom);
    }
    void MoveTo(std::int32_t x, std::int32_t y) override { std::fprintf(stream_, ",%d %d", x, y); }
    void LineTo(std::int32_t x, std::int32_t y) override { std::fprintf(stream_, "-%d %d", x, y); }

private:
    std::FILE* stream_;
};

template <class Visit> void Run(Visit&& visit)
{
    Size size = SIZES[0];
    figure::FigureState state;
    state.Start(size.width, size.height);
    visit(0, state);
    for (std::int64_t tick = 1; tick <= TICKS; ++tick) {
        size = SIZES[tick / TICKS_PER_SIZE % std::size(SIZES)];
        state.Tick([&] { return size.width; }, [&] { return size.height; });
        visit(tick, state);
    }
}

} // namespace

int main()
{
    preview::WriteTraceHeader(stdout);
    Run([](std::int64_t tick, const figure::FigureState& state) {
        preview::WriteTraceRow(stdout, tick, state);
    });

    std::puts("tick,ellipse,arm,arm");
    CallWriter writer(stdout);
    Run([&writer](std::int64_t tick, const figure::FigureState& state) {
        constexpr std::int32_t r = figure::FIGURE_RADIUS;
        std::printf("%lld", static_cast<long long>(tick));
        figure::DrawFigure(writer, state.m_nCurX - r, state.m_nCurY - r, state.m_nCurX + r,
                           state.m_nCurY + r, state.m_dAngle);
        std::putchar('\n');
    });
    return std::fflush(stdout) == 0 ? 0 : 1;
}
