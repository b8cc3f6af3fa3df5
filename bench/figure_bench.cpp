// One tick plus one frame on a full-HD picture, against a baseline that only
// inverts the pixels of one frame in the same picture. Prints the ratio of the
// two medians.
#include "figure/figure.h"
#include "platform/raster/picture.h"
#include "platform/raster/raster_surface.h"

#include "median_ratio.h"
#include "tick_and_frame.h"

#include <benchmark/benchmark.h>

namespace {

constexpr std::int32_t WIDTH = 1920;
constexpr std::int32_t HEIGHT = 1080;

// Keeps the spans handed to it, so that a frame's pixels can be inverted
// again without the geometry.
class SpanRecorder final : public raster::SpanTarget {
public:
    void InvertSpans(std::span<const raster::Span> spans) override
    {
        spans_.insert(spans_.end(), spans.begin(), spans.end());
    }
    const raster::SpanList& Spans() const { return spans_; }

private:
    raster::SpanList spans_;
};

void BM_TickAndFrame(benchmark::State& bench)
{
    bench::TickAndFrame<WIDTH, HEIGHT>(bench);
}
BENCHMARK(BM_TickAndFrame);

void BM_InvertFramePixelsOnly(benchmark::State& bench)
{
    // One ordinary frame, away from the edges: the previous and the current
    // figure.
    figure::FigureState state;
    state.Start(WIDTH, HEIGHT);
    state.Tick([] { return WIDTH; }, [] { return HEIGHT; });
    SpanRecorder recorder;
    raster::RasterSurface recording(recorder, {0, 0, WIDTH, HEIGHT});
    figure::PaintFrame(recording, state);

    raster::Picture picture(WIDTH, HEIGHT, 0x336699);
    std::int64_t pixels = 0;
    for (const raster::Span& s : recorder.Spans())
        pixels += s.x1 - s.x0;
    for (auto _ : bench) {
        picture.InvertSpans(recorder.Spans());
        benchmark::DoNotOptimize(picture.Row(0));
    }
    bench.counters["pixels"] = double(pixels);
}
BENCHMARK(BM_InvertFramePixelsOnly);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunAndCompare(argc, argv, "BM_TickAndFrame", "BM_InvertFramePixelsOnly",
                                "tick+frame against inverting its pixels alone");
}
