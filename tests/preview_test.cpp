// blinkorb-preview, run as a user runs it: its arguments, its exit status and
// the files it leaves. What it wrote is read back with libpng and giflib and
// compared with what the figure and the rasteriser draw.

#include "figure/figure.h"
#include "figure_pictures.h"
#include "platform/raster/picture.h"
#include "tools/preview/builtin_picture.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A directory of the test's own, removed with all it holds.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (fs::path(testing::TempDir()) / "preview-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a directory under " + testing::TempDir());
        path_ = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }

    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(path_))
            names.insert(entry.path().filename().string());
        return names;
    }

private:
    fs::path path_;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string ReadAll(std::FILE* file)
{
    std::string text;
    std::rewind(file);
    char buffer[4096];
    while (const std::size_t length = std::fread(buffer, 1, sizeof buffer, file))
        text.append(buffer, length);
    return text;
}

struct Outcome {
    int status; // the exit status, or -1 when the tool was killed by a signal
    std::string out;
    std::string err;
};

Outcome RunPreview(const std::vector<std::string>& arguments)
{
    const File out(std::tmpfile()), err(std::tmpfile());
    if (!out || !err)
        throw std::runtime_error("cannot capture the tool's output");
    std::vector<char*> argv{const_cast<char*>(BLINKORB_PREVIEW)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), 2);
    pid_t pid = 0;
    const int error =
        ::posix_spawn(&pid, BLINKORB_PREVIEW, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error(std::string("cannot run the tool: ") + std::strerror(error));
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out.get()), ReadAll(err.get())};
}

// The screen at the frame of a tick: every earlier figure has been undrawn,
// so it is the starting picture with that tick's figure drawn on it once.
raster::Picture ScreenAt(raster::Picture desktop, int tick)
{
    const std::int32_t width = desktop.Width(), height = desktop.Height();
    return test::WithFigures(std::move(desktop), {test::After(tick, width, height)});
}

// Empty when the pictures' colours agree, else where they first differ. The
// rasteriser inverts whole pixels, unused top byte included, which no file
// keeps.
std::string Differences(const raster::Picture& actual, const raster::Picture& expected)
{
    if (actual.Width() != expected.Width() || actual.Height() != expected.Height())
        return "sizes differ";
    int count = 0;
    char first[96] = "";
    for (std::int32_t y = 0; y < actual.Height(); ++y) {
        for (std::int32_t x = 0; x < actual.Width(); ++x) {
            const std::uint32_t colour = actual.At(x, y) & 0xffffff;
            const std::uint32_t expectedColour = expected.At(x, y) & 0xffffff;
            if (colour != expectedColour && count++ == 0)
                std::snprintf(first, sizeof first, " first at (%d, %d): %06x, not %06x", x, y,
                              colour, expectedColour);
        }
    }
    return count == 0 ? "" : std::to_string(count) + " pixels differ," + first;
}

// The picture in a PNG written by the tool, which must be 8-bit RGB.
raster::Picture ReadRgbPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    struct Release {
        png_image& image;
        ~Release() { png_image_free(&image); }
    } release{image};
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        throw std::runtime_error(path + ": " + image.message);
    if (image.format != PNG_FORMAT_RGB)
        throw std::runtime_error(path + " is not 8-bit RGB");
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        throw std::runtime_error(path + ": " + image.message);
    raster::Picture picture(std::int32_t(image.width), std::int32_t(image.height));
    const png_byte* p = rgb.data();
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        for (std::int32_t x = 0; x < picture.Width(); ++x, p += 3)
            picture.At(x, y) = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
    return picture;
}

// The starting pictures the tool must accept: every colour type, small and
// large bit depths, interlacing and transparency chunks.
struct PngForm {
    const char* name;
    int colorType;
    int bitDepth;
    int interlace = PNG_INTERLACE_NONE;
    bool transparency = false; // a tRNS chunk: palette alphas or a colour key
};

const PngForm PNG_FORMS[] = {
    {"rgb8", PNG_COLOR_TYPE_RGB, 8},
    {"rgb16", PNG_COLOR_TYPE_RGB, 16},
    {"rgb8 with colour key", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, true},
    {"rgb8 interlaced", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_ADAM7},
    {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8},
    {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16},
    {"grey1", PNG_COLOR_TYPE_GRAY, 1},
    {"grey2 interlaced", PNG_COLOR_TYPE_GRAY, 2, PNG_INTERLACE_ADAM7},
    {"grey4", PNG_COLOR_TYPE_GRAY, 4},
    {"grey8 with colour key", PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE, true},
    {"grey16", PNG_COLOR_TYPE_GRAY, 16},
    {"grey-alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
    {"palette1", PNG_COLOR_TYPE_PALETTE, 1},
    {"palette4", PNG_COLOR_TYPE_PALETTE, 4},
    {"palette8 with alphas", PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_NONE, true},
};

png_color PaletteColour(int index)
{
    return {png_byte(index * 37), png_byte(index * 91 + 17), png_byte(255 - index * 5)};
}

// The picture the PNG holds as 8-bit RGB, and the PNG's samples of it.
struct PngSamples {
    raster::Picture picture;
    std::vector<std::vector<std::uint16_t>> rows;
};

PngSamples MakeSamples(const PngForm& form, std::int32_t width, std::int32_t height)
{
    PngSamples samples{raster::Picture(width, height), {}};
    const int levels = 1 << form.bitDepth;
    // 8-bit values scaled so that dropping the low byte gives them back.
    const auto wide = [&](int value) {
        return std::uint16_t(form.bitDepth == 16 ? value * 257 : value);
    };
    for (std::int32_t y = 0; y < height; ++y) {
        std::vector<std::uint16_t>& row = samples.rows.emplace_back();
        for (std::int32_t x = 0; x < width; ++x) {
            const int red = (x * 7 + y) & 0xff, green = (y * 11 + x * 3) & 0xff;
            const int blue = (x * y) & 0xff, alpha = (x + y * 2) & 0xff;
            std::uint32_t pixel = 0;
            switch (form.colorType) {
            case PNG_COLOR_TYPE_RGB:
            case PNG_COLOR_TYPE_RGB_ALPHA:
                row.insert(row.end(), {wide(red), wide(green), wide(blue)});
                if (form.colorType == PNG_COLOR_TYPE_RGB_ALPHA)
                    row.push_back(wide(alpha));
                pixel = std::uint32_t(red << 16 | green << 8 | blue);
                break;
            case PNG_COLOR_TYPE_GRAY:
            case PNG_COLOR_TYPE_GRAY_ALPHA: {
                const int grey = form.bitDepth < 8 ? (x + 2 * y) % levels : green;
                const int grey8 = form.bitDepth < 8 ? grey * 255 / (levels - 1) : grey;
                row.push_back(wide(grey));
                if (form.colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
                    row.push_back(wide(alpha));
                pixel = std::uint32_t(grey8 * 0x010101);
                break;
            }
            case PNG_COLOR_TYPE_PALETTE: {
                const int index = (x + 3 * y) % levels;
                const png_color colour = PaletteColour(index);
                row.push_back(std::uint16_t(index));
                pixel = std::uint32_t(colour.red << 16 | colour.green << 8 | colour.blue);
                break;
            }
            }
            samples.picture.At(x, y) = pixel;
        }
    }
    return samples;
}

// Writes with libpng's own error handling, which aborts the test on a
// failure: the files are our own and small.
void WritePng(const std::string& path, const PngForm& form, const PngSamples& samples)
{
    const File file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    struct Destroy {
        png_structp& png;
        png_infop& info;
        ~Destroy() { png_destroy_write_struct(&png, &info); }
    } destroy{png, info};

    const png_uint_32 width = png_uint_32(samples.picture.Width());
    const png_uint_32 height = png_uint_32(samples.picture.Height());
    png_init_io(png, file.get());
    png_set_IHDR(png, info, width, height, form.bitDepth, form.colorType, form.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    if (form.colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 1 << form.bitDepth; ++i) {
            palette.push_back(PaletteColour(i));
            alphas.push_back(png_byte(i * 7));
        }
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    png_color_16 key{};
    key.red = key.gray = 0;
    if (form.transparency)
        png_set_tRNS(png, info, alphas.data(), int(alphas.size()), &key);
    png_write_info(png, info);
    // One byte per sample for libpng to pack, two big-endian ones for 16 bits.
    png_set_packing(png);

    std::vector<std::vector<png_byte>> bytes;
    std::vector<png_bytep> rows;
    for (const std::vector<std::uint16_t>& row : samples.rows) {
        std::vector<png_byte>& out = bytes.emplace_back();
        for (const std::uint16_t sample : row) {
            if (form.bitDepth == 16)
                out.push_back(png_byte(sample >> 8));
            out.push_back(png_byte(sample));
        }
        rows.push_back(out.data());
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using Gif = std::unique_ptr<GifFileType, GifCloser>;

Gif ReadGif(const std::string& path)
{
    int error = D_GIF_SUCCEEDED;
    Gif gif(DGifOpenFileName(path.c_str(), &error));
    if (!gif)
        throw std::runtime_error(path + ": " + GifErrorString(error));
    if (DGifSlurp(gif.get()) == GIF_ERROR)
        throw std::runtime_error(path + ": " + GifErrorString(gif->Error));
    return gif;
}

// Whether the extensions before a frame ask for endless looping.
bool LoopsForever(const SavedImage& frame)
{
    for (int i = 0; i + 1 < frame.ExtensionBlockCount; ++i) {
        const ExtensionBlock& application = frame.ExtensionBlocks[i];
        const ExtensionBlock& loop = frame.ExtensionBlocks[i + 1];
        if (application.Function == APPLICATION_EXT_FUNC_CODE && application.ByteCount == 11 &&
            std::memcmp(application.Bytes, "NETSCAPE2.0", 11) == 0 && loop.ByteCount == 3 &&
            loop.Bytes[0] == 1 && loop.Bytes[1] == 0 && loop.Bytes[2] == 0)
            return true;
    }
    return false;
}

// Where a frame's colours are further from the screen than a 256-colour
// palette accounts for; empty when nowhere.
std::string QuantisationErrors(const GifFileType& gif, const SavedImage& frame,
                               const raster::Picture& expected)
{
    const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif.SColorMap;
    // Half the distance between the levels of a 6x6x6 colour cube.
    constexpr int TOLERANCE = 26;
    for (std::int32_t y = 0; y < expected.Height(); ++y) {
        for (std::int32_t x = 0; x < expected.Width(); ++x) {
            const GifColorType colour =
                map->Colors[frame.RasterBits[std::size_t(y) * std::size_t(expected.Width()) +
                                             std::size_t(x)]];
            const std::uint32_t pixel = expected.At(x, y);
            if (std::abs(colour.Red - int(pixel >> 16 & 0xff)) > TOLERANCE ||
                std::abs(colour.Green - int(pixel >> 8 & 0xff)) > TOLERANCE ||
                std::abs(colour.Blue - int(pixel & 0xff)) > TOLERANCE) {
                char where[96];
                std::snprintf(where, sizeof where, "at (%d, %d): %02x%02x%02x for %06x", x, y,
                              colour.Red, colour.Green, colour.Blue, pixel);
                return where;
            }
        }
    }
    return "";
}

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

TEST(PreviewTest, HelpGoesToStandardOutput)
{
    const Outcome run = RunPreview({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage: blinkorb-preview [--size WxH]", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
}

// Every refusal: status 2, one line on standard error, and no output file,
// not even a temporary one, in the directory the outputs were meant for.
TEST(PreviewTest, RefusesWhatItCannotDoAndLeavesNothingBehind)
{
    ScratchDir inputs;
    const PngForm rgb{"rgb8", PNG_COLOR_TYPE_RGB, 8};
    WritePng(inputs / "64x48.png", rgb, MakeSamples(rgb, 64, 48));
    WritePng(inputs / "48x64.png", rgb, MakeSamples(rgb, 48, 64));
    std::ofstream(inputs / "text.png") << "not a picture\n";
    // Cut inside the image data: the header reads, the rows do not.
    {
        std::ifstream whole(inputs / "64x48.png", std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(whole), {}};
        std::ofstream(inputs / "cut.png", std::ios::binary)
            << bytes.substr(0, bytes.size() * 2 / 3);
    }

    const struct {
        std::vector<std::string> arguments;
    } cases[] = {
        {{"--bogus"}},
        {{"stray"}},
        {{"-ticks", "3"}},
        {{"--ticks"}},
        {{"--size"}},
        {{"--ticks", "-1"}},
        {{"--ticks", "two"}},
        {{"--ticks", "1.5"}},
        {{"--ticks", "3x"}},
        {{"--ticks", ""}},
        {{"--ticks", "99999999999999999999"}},
        {{"--size", "640"}},
        {{"--size", "640x"}},
        {{"--size", "x480"}},
        {{"--size", "640x480x2"}},
        {{"--size", "640X480"}},
        {{"--size", " 640x480"}},
        {{"--size", "0x480"}},
        {{"--size", "640x0"}},
        {{"--size", "-640x480"}},
        {{"--size", "16385x16"}},
        {{"--size", "16x16385"}},
        {{"--size", "4294967360x480"}},
        {{"--every", "2"}},
        {{"--gif", "{out}/run.gif", "--every", "0"}},
        {{"--gif", "{out}/run.gif", "--every", "-4"}},
        {{"--gif", "{out}/run.gif", "--every", "65536"}},
        {{"--size", "64x48", "--picture", "{in}/missing.png"}},
        {{"--size", "64x48", "--picture", "{in}"}},
        {{"--size", "64x48", "--picture", "{in}/text.png"}},
        {{"--size", "64x48", "--picture", "{in}/cut.png"}},
        {{"--size", "64x48", "--picture", "{in}/48x64.png"}},
        {{"--picture", "{in}/64x48.png"}},
        {{"--size", "64x48", "--trace", "{out}/missing/trace.csv"}},
        {{"--size", "64x48", "--gif", "{out}/missing/run.gif"}},
        {{"--size", "64x48", "--ticks", "5", "--gif", "{out}/run.gif", "--trace", "{out}/dir"}},
    };
    for (const auto& c : cases) {
        ScratchDir outputs;
        fs::create_directory(outputs / "dir");
        std::vector<std::string> arguments{"--out", outputs / "frame.png"};
        for (std::string argument : c.arguments) {
            for (const auto& [name, dir] :
                 {std::pair{"{in}", &inputs}, std::pair{"{out}", &outputs}}) {
                if (const auto at = argument.find(name); at != std::string::npos)
                    argument.replace(at, std::strlen(name), dir->Path().string());
            }
            arguments.push_back(argument);
        }
        std::string shown;
        for (const std::string& argument : arguments)
            shown += " " + argument;
        SCOPED_TRACE("blinkorb-preview" + shown);

        const Outcome run = RunPreview(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("blinkorb-preview: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.back(), '\n');
        EXPECT_EQ(outputs.Names(), std::set<std::string>{"dir"});
    }
}

// The screen at the frame of the last tick is the built-in picture with the
// figure's frames drawn on it, the last one not yet undrawn.
TEST(PreviewTest, OutIsTheScreenAtTheFrameOfTheLastTick)
{
    for (const int ticks : {0, 1, 5}) {
        SCOPED_TRACE("--ticks " + std::to_string(ticks));
        ScratchDir dir;
        const Outcome run = RunPreview(
            {"--size", "320x240", "--ticks", std::to_string(ticks), "--out", dir / "frame.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");

        const raster::Picture desktop = preview::BuiltInPicture(320, 240);
        const raster::Picture expected = ScreenAt(desktop, ticks);
        ASSERT_NE(Differences(expected, desktop), "") << "the figure changes nothing";
        EXPECT_EQ(Differences(ReadRgbPng(dir / "frame.png"), expected), "");
        EXPECT_EQ(dir.Names(), std::set<std::string>{"frame.png"});
    }
}

TEST(PreviewTest, StartsFromAPictureOfAnyPngKind)
{
    for (const PngForm& form : PNG_FORMS) {
        SCOPED_TRACE(form.name);
        ScratchDir dir;
        const PngSamples samples = MakeSamples(form, 64, 48);
        WritePng(dir / "start.png", form, samples);
        const Outcome run = RunPreview(
            {"--size", "64x48", "--picture", dir / "start.png", "--out", dir / "frame.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Differences(ReadRgbPng(dir / "frame.png"), ScreenAt(samples.picture, 0)), "");
    }
}

TEST(PreviewTest, TraceHasTheFigureAfterEveryTick)
{
    ScratchDir dir;
    const Outcome run =
        RunPreview({"--size", "640x480", "--ticks", "111", "--trace", dir / "run.csv"});
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<std::string> lines = Lines(dir / "run.csv");
    ASSERT_EQ(lines.size(), 1u + 112u);
    EXPECT_EQ(lines[0], "tick,cur_x,cur_y,prev_x,prev_y,step_x,step_y,angle,prev_angle");
    EXPECT_EQ(lines[1], "0,320,240,320,240,2,2,0x3fe921fb54411744,0x3fe921fb54411744");
    EXPECT_EQ(lines[2].rfind("1,322,242,320,240,2,2,", 0), 0u) << lines[2];
    // Past the bottom margin: heading up again.
    EXPECT_EQ(lines[112].rfind("111,542,462,540,460,2,-2,", 0), 0u) << lines[112];

    for (int tick = 0; tick <= 111; ++tick) {
        const figure::FigureState figure = test::After(tick, 640, 480);
        char row[160];
        std::snprintf(
            row, sizeof row, "%d,%d,%d,%d,%d,%d,%d,0x%016llx,0x%016llx", tick, figure.m_nCurX,
            figure.m_nCurY, figure.m_nPrevX, figure.m_nPrevY, figure.m_nStepX, figure.m_nStepY,
            static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(figure.m_dAngle)),
            static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(figure.m_dPrevAngle)));
        EXPECT_EQ(lines[std::size_t(tick) + 1], row);
    }
}

TEST(PreviewTest, GifHasAFrameEveryKTicksFromTheFirst)
{
    const struct {
        int ticks;
        std::vector<std::string> every; // the option, if given
        int delay;
        std::vector<int> frames; // the ticks shown
    } cases[] = {
        {10, {}, 4, {0, 4, 8}},
        {9, {"--every", "3"}, 3, {0, 3, 6, 9}},
        {3, {"--every", "1"}, 1, {0, 1, 2, 3}},
        {2, {"--every", "5"}, 5, {0}},
    };
    const raster::Picture desktop = preview::BuiltInPicture(160, 120);
    for (const auto& c : cases) {
        SCOPED_TRACE("--ticks " + std::to_string(c.ticks) + " --every " + std::to_string(c.delay));
        ScratchDir dir;
        std::vector<std::string> arguments{
            "--size", "160x120", "--ticks", std::to_string(c.ticks), "--gif", dir / "run.gif"};
        arguments.insert(arguments.end(), c.every.begin(), c.every.end());
        const Outcome run = RunPreview(arguments);
        ASSERT_EQ(run.status, 0) << run.err;

        const Gif gif = ReadGif(dir / "run.gif");
        EXPECT_EQ(gif->SWidth, 160);
        EXPECT_EQ(gif->SHeight, 120);
        ASSERT_EQ(gif->ImageCount, int(c.frames.size()));
        EXPECT_TRUE(LoopsForever(gif->SavedImages[0]));
        for (int i = 0; i < gif->ImageCount; ++i) {
            SCOPED_TRACE("frame of tick " + std::to_string(c.frames[std::size_t(i)]));
            const SavedImage& frame = gif->SavedImages[i];
            EXPECT_EQ(frame.ImageDesc.Left, 0);
            EXPECT_EQ(frame.ImageDesc.Top, 0);
            ASSERT_EQ(frame.ImageDesc.Width, 160);
            ASSERT_EQ(frame.ImageDesc.Height, 120);
            GraphicsControlBlock timing{};
            ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &timing), GIF_OK);
            EXPECT_EQ(timing.DelayTime, c.delay);
            EXPECT_EQ(QuantisationErrors(*gif, frame, ScreenAt(desktop, c.frames[std::size_t(i)])),
                      "");
        }
    }
}

// All three outputs from one run, and no temporary file beside them.
TEST(PreviewTest, WritesEveryOutputOfOneRun)
{
    ScratchDir dir;
    const Outcome run = RunPreview({"--size", "96x64", "--ticks", "7", "--out", dir / "frame.png",
                                    "--trace", dir / "run.csv", "--gif", dir / "run.gif"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"frame.png", "run.csv", "run.gif"}));
    EXPECT_EQ(
        Differences(ReadRgbPng(dir / "frame.png"), ScreenAt(preview::BuiltInPicture(96, 64), 7)),
        "");
    EXPECT_EQ(Lines(dir / "run.csv").size(), 1u + 8u);
    EXPECT_EQ(ReadGif(dir / "run.gif")->ImageCount, 2);
}

} // namespace
