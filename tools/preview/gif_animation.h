#pragma once

#include "platform/raster/picture.h"

#include <cstdio>
#include <gif_lib.h>
#include <memory>
#include <string>
#include <vector>

namespace preview {

// A looping animated GIF, written to a stream frame by frame as the run goes,
// so that the frames of a long run are never all in memory. Every frame
// covers the whole screen in one fixed palette.
class GifAnimation {
public:
    // Writes the header at once; delay is each frame's time on screen in
    // hundredths of a second. Throws Failure, naming the file by name.
    GifAnimation(std::FILE* stream, std::string name, std::int32_t width, std::int32_t height,
                 int delay);

    // Called from within the run, so it throws nothing: the first error is
    // kept, later frames are dropped and Finish reports it.
    void AddFrame(const raster::Picture& screen);

    // Ends the animation; the stream stays open. Throws Failure.
    void Finish();

private:
    struct Closer {
        void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
    };

    std::unique_ptr<GifFileType, Closer> gif_;
    std::string name_;
    int delay_;
    std::vector<GifPixelType> line_;
    int error_ = E_GIF_SUCCEEDED;
};

} // namespace preview
