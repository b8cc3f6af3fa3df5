// The whole program on the in-memory display at 1024 x 768, every tick through
// the real message loop with its paint, against the bare tick and frame on a
// picture of the same size. Prints the ratio of the two per-tick medians.
#include "app/saver_app.h"
#include "median_ratio.h"
#include "platform/winsys/memory_display.h"
#include "tick_and_frame.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr std::int32_t WIDTH = 1024;
constexpr std::int32_t HEIGHT = 768;
constexpr int TICKS_PER_RUN = 10000;

void BM_BareTickAndFrame(benchmark::State& bench)
{
    bench::TickAndFrame<WIDTH, HEIGHT>(bench);
}
BENCHMARK(BM_BareTickAndFrame);

// Runs the program for TICKS_PER_RUN ticks per iteration and reports the
// time per tick, from the first tick to the paint of the last, so that its
// start and exit are left out.
void BM_ProgramTick(benchmark::State& bench)
{
    using Clock = std::chrono::steady_clock;
    for (auto _ : bench) {
        winsys::MemoryDisplay& display =
            winsys::UseMemoryDisplay(raster::Picture(WIDTH, HEIGHT, 0x336699));
        int ticks = 0;
        Clock::time_point first, last;
        winsys::SetMessageObserver([&](HWND, UINT message) {
            if (message == WM_TIMER && ++ticks == 1)
                first = Clock::now();
            if (message == WM_PAINT && ticks == TICKS_PER_RUN) {
                last = Clock::now();
                display.KeyPress(display.Now(), VK_SPACE);
            }
        });
        if (AfxWinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOW) != 0 ||
            ticks != TICKS_PER_RUN) {
            bench.SkipWithError("the program did not run its ticks");
            break;
        }
        bench.SetIterationTime(std::chrono::duration<double>(last - first).count() /
                               (TICKS_PER_RUN - 1));
    }
    winsys::SetMessageObserver(nullptr);
    winsys::UseDisplay(nullptr);
}
BENCHMARK(BM_ProgramTick)->UseManualTime()->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunAndCompare(argc, argv, "BM_ProgramTick", "BM_BareTickAndFrame",
                                "a tick through the whole program against the bare tick+frame");
}
