// blinkorb-preview: runs the program itself on the in-memory screen, whose
// clock only moves while the program waits, and writes what it showed.

#include "platform/afx/afx.h"
#include "platform/winsys/memory_display.h"
#include "saver/main_frame.h"
#include "tools/preview/builtin_picture.h"
#include "tools/preview/failure.h"
#include "tools/preview/gif_animation.h"
#include "tools/preview/options.h"
#include "tools/preview/output_file.h"
#include "tools/preview/png_file.h"
#include "tools/preview/trace.h"

#include <cstdio>
#include <new>
#include <optional>
#include <span>

namespace preview {

namespace {

// Watches the saver window's messages as the program runs: counts the timer
// ticks, records each tick's frame once its paint is done, and at the frame
// of the last tick presses a key, as a user would, so the program ends
// itself.
class RunWatcher {
public:
    RunWatcher(winsys::MemoryDisplay& display, const Options& options, std::FILE* trace,
               GifAnimation* animation)
        : display_(display), lastTick_(options.ticks), every_(options.every), trace_(trace),
          animation_(animation)
    {
    }

    void OnMessage(HWND window, UINT message)
    {
        const CWnd* mainWindow = AfxGetApp()->m_pMainWnd;
        if (lastFrame_ || mainWindow == nullptr || window != mainWindow->m_hWnd)
            return;
        if (message == WM_TIMER) {
            ++tick_;
            if (trace_)
                WriteTraceRow(trace_, tick_, Figure());
        } else if (message == WM_PAINT) {
            // The first paint shows the figure as it started: tick 0.
            if (tick_ == 0 && trace_)
                WriteTraceRow(trace_, 0, Figure());
            if (animation_ && tick_ % every_ == 0)
                animation_->AddFrame(display_.Screen());
            if (tick_ == lastTick_) {
                lastFrame_ = display_.Screen();
                display_.KeyPress(display_.Now(), VK_SPACE);
            }
        }
    }

    // The screen at the frame of the last tick, once the run got there.
    const std::optional<raster::Picture>& LastFrame() const { return lastFrame_; }

private:
    static const figure::FigureState& Figure()
    {
        return static_cast<const CMainFrame*>(AfxGetApp()->m_pMainWnd)->Figure();
    }

    winsys::MemoryDisplay& display_;
    const std::int64_t lastTick_;
    const int every_;
    std::FILE* const trace_;
    GifAnimation* const animation_;
    std::int64_t tick_ = 0;
    std::optional<raster::Picture> lastFrame_;
};

int Preview(const Options& options)
{
    raster::Picture desktop = options.picture
                                  ? ReadPicture(*options.picture, options.width, options.height)
                                  : BuiltInPicture(options.width, options.height);

    std::optional<OutputFile> out, trace, gif;
    if (options.out)
        out.emplace(*options.out);
    if (options.trace)
        trace.emplace(*options.trace);
    if (options.gif)
        gif.emplace(*options.gif);
    std::optional<GifAnimation> animation;
    if (gif)
        animation.emplace(gif->Stream(), gif->Target(), options.width, options.height,
                          options.every);
    if (trace)
        WriteTraceHeader(trace->Stream());

    winsys::MemoryDisplay& display = winsys::UseMemoryDisplay(std::move(desktop));
    RunWatcher watcher(display, options, trace ? trace->Stream() : nullptr,
                       animation ? &*animation : nullptr);
    winsys::SetMessageObserver(
        [&watcher](HWND window, UINT message) { watcher.OnMessage(window, message); });
    char commandLine[] = "";
    const int status = AfxWinMain(::GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);
    winsys::SetMessageObserver(nullptr);

    if (!watcher.LastFrame())
        throw Failure("the program ended with status " + std::to_string(status) +
                      " before the frame of tick " + std::to_string(options.ticks));
    if (animation)
        animation->Finish();
    if (out)
        WritePicture(out->Stream(), out->Target(), *watcher.LastFrame());
    const auto outputs = {&out, &trace, &gif};
    for (std::optional<OutputFile>* file : outputs) {
        if (*file)
            (*file)->Close();
    }
    for (std::optional<OutputFile>* file : outputs) {
        if (*file)
            (*file)->Commit();
    }
    return status;
}

} // namespace

} // namespace preview

int main(int argc, char** argv)
{
    try {
        const std::span<const char* const> arguments(argv, std::size_t(argc));
        const preview::Options options =
            preview::ParseOptions(arguments.empty() ? arguments : arguments.subspan(1));
        if (options.help) {
            std::fputs(preview::USAGE, stdout);
            return 0;
        }
        return preview::Preview(options);
    } catch (const preview::Failure& failure) {
        std::fprintf(stderr, "blinkorb-preview: %s\n", failure.what());
    } catch (const std::bad_alloc&) {
        std::fputs("blinkorb-preview: not enough memory\n", stderr);
    }
    return 2;
}
