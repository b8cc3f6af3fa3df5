#include "tools/preview/gif_animation.h"

#include "tools/preview/failure.h"

#include <array>

namespace preview {

namespace {

// The palette is a 6x6x6 cube of the levels 0, 51, ..., 255 in each
// channel, so the nearest colour is each channel rounded to its nearest
// level, and the same pixel always gets the same index.
constexpr int LEVELS = 6;
constexpr int LEVEL_STEP = 255 / (LEVELS - 1);
// A GIF colour table holds a power of two entries; the cube fills 216.
constexpr int PALETTE_SIZE = 256;

GifPixelType Quantise(std::uint32_t pixel)
{
    const auto level = [](std::uint32_t channel) {
        return ((channel & 0xff) + LEVEL_STEP / 2) / LEVEL_STEP;
    };
    return GifPixelType((level(pixel >> 16) * LEVELS + level(pixel >> 8)) * LEVELS + level(pixel));
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

std::unique_ptr<ColorMapObject, MapDeleter> MakePalette()
{
    std::array<GifColorType, PALETTE_SIZE> colours{};
    for (int i = 0; i < LEVELS * LEVELS * LEVELS; ++i) {
        colours[std::size_t(i)] = {GifByteType(i / (LEVELS * LEVELS) * LEVEL_STEP),
                                   GifByteType(i / LEVELS % LEVELS * LEVEL_STEP),
                                   GifByteType(i % LEVELS * LEVEL_STEP)};
    }
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(PALETTE_SIZE, colours.data()));
    if (!map)
        throw std::bad_alloc();
    return map;
}

int WriteToStream(GifFileType* gif, const GifByteType* bytes, int length)
{
    return int(std::fwrite(bytes, 1, std::size_t(length), static_cast<std::FILE*>(gif->UserData)));
}

// Asks viewers to play the animation again and again (the Netscape
// application extension, loop count 0).
constexpr GifByteType LOOP_APPLICATION[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
constexpr GifByteType LOOP_FOREVER[] = {1, 0, 0};

} // namespace

GifAnimation::GifAnimation(std::FILE* stream, std::string name, std::int32_t width,
                           std::int32_t height, int delay)
    : name_(std::move(name)), delay_(delay), line_(std::size_t(width))
{
    int error = E_GIF_SUCCEEDED;
    gif_.reset(EGifOpen(stream, WriteToStream, &error));
    if (!gif_)
        throw Failure("cannot write " + name_ + ": " + GifErrorString(error));
    EGifSetGifVersion(gif_.get(), true);
    const auto palette = MakePalette();
    if (EGifPutScreenDesc(gif_.get(), width, height, 8, 0, palette.get()) == GIF_ERROR ||
        EGifPutExtensionLeader(gif_.get(), APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_.get(), sizeof LOOP_APPLICATION, LOOP_APPLICATION) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_.get(), sizeof LOOP_FOREVER, LOOP_FOREVER) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif_.get()) == GIF_ERROR)
        throw Failure("cannot write " + name_ + ": " + GifErrorString(gif_->Error));
}

void GifAnimation::AddFrame(const raster::Picture& screen)
{
    if (error_ != E_GIF_SUCCEEDED)
        return;
    const GraphicsControlBlock timing{DISPOSE_DO_NOT, false, delay_, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    const size_t extensionLength = EGifGCBToExtension(&timing, extension);
    if (EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, int(extensionLength), extension) ==
            GIF_ERROR ||
        EGifPutImageDesc(gif_.get(), 0, 0, screen.Width(), screen.Height(), false, nullptr) ==
            GIF_ERROR) {
        error_ = gif_->Error;
        return;
    }
    for (std::int32_t y = 0; y < screen.Height(); ++y) {
        const std::uint32_t* row = screen.Row(y);
        for (std::size_t x = 0; x < line_.size(); ++x)
            line_[x] = Quantise(row[x]);
        if (EGifPutLine(gif_.get(), line_.data(), int(line_.size())) == GIF_ERROR) {
            error_ = gif_->Error;
            return;
        }
    }
}

void GifAnimation::Finish()
{
    if (error_ == E_GIF_SUCCEEDED)
        EGifCloseFile(gif_.release(), &error_);
    if (error_ != E_GIF_SUCCEEDED)
        throw Failure("cannot write " + name_ + ": " + GifErrorString(error_));
}

} // namespace preview
