#include "tools/preview/png_file.h"

#include "tools/preview/failure.h"
#include "tools/preview/output_file.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <png.h>
#include <span>
#include <vector>

namespace preview {

namespace {

// libpng reports an error by calling this, which must not return: the
// message is kept for the user and control goes back to the setjmp of the
// function that called libpng.
void OnPngError(png_structp png, png_const_charp message)
{
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

// A warning (an odd colour profile, say) does not stop the picture from
// being read, and must not add to the tool's output.
void IgnorePngWarning(png_structp, png_const_charp)
{
}

struct PngReader {
    PngReader()
        : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, OnPngError,
                                     IgnorePngWarning)),
          info(png ? png_create_info_struct(png) : nullptr)
    {
        if (!info) {
            png_destroy_read_struct(&png, &info, nullptr);
            throw std::bad_alloc();
        }
    }
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // First, so that it exists before libpng may report anything.
    std::string message;
    png_structp png;
    png_infop info;
};

struct PngWriter {
    PngWriter()
        : png(png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, OnPngError,
                                      IgnorePngWarning)),
          info(png ? png_create_info_struct(png) : nullptr)
    {
        if (!info) {
            png_destroy_write_struct(&png, &info);
            throw std::bad_alloc();
        }
    }
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // First, so that it exists before libpng may report anything.
    std::string message;
    png_structp png;
    png_infop info;
};

// In the functions below that call setjmp, nothing lives between the setjmp
// and libpng's longjmp that a destructor would have to clean up: only plain
// pointers and numbers, owned by the callers.

bool ReadHeader(png_structp png, png_infop info, std::FILE* file, png_uint_32& width,
                png_uint_32& height, std::size_t& rowBytes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    // Palettes, small grey depths and transparency chunks become whole
    // bytes, 16-bit samples lose their low byte, grey fills all three
    // channels and alpha goes.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

bool WriteRows(png_structp png, png_infop info, std::FILE* file, png_uint_32 width,
               png_uint_32 height, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

std::vector<png_bytep> RowPointers(std::vector<png_byte>& bytes, std::size_t rowBytes)
{
    std::vector<png_bytep> rows(bytes.size() / rowBytes);
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = bytes.data() + y * rowBytes;
    return rows;
}

} // namespace

raster::Picture ReadPicture(const std::string& path, std::int32_t width, std::int32_t height)
{
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw Failure("cannot read " + path + ": " + std::strerror(errno));
    PngReader reader;
    png_uint_32 fileWidth = 0, fileHeight = 0;
    std::size_t rowBytes = 0;
    if (!ReadHeader(reader.png, reader.info, file.get(), fileWidth, fileHeight, rowBytes))
        throw Failure("cannot read " + path + ": " + reader.message);
    // Checked before anything the size of the picture is allocated.
    if (fileWidth != png_uint_32(width) || fileHeight != png_uint_32(height))
        throw Failure(path + " is " + std::to_string(fileWidth) + "x" + std::to_string(fileHeight) +
                      ", not " + std::to_string(width) + "x" + std::to_string(height) +
                      " like the screen");

    std::vector<png_byte> bytes(rowBytes * fileHeight);
    std::vector<png_bytep> rows = RowPointers(bytes, rowBytes);
    if (!ReadRows(reader.png, rows.data()))
        throw Failure("cannot read " + path + ": " + reader.message);

    raster::Picture picture(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        const png_byte* rgb = rows[std::size_t(y)];
        for (std::int32_t x = 0; x < width; ++x, rgb += 3)
            picture.At(x, y) = std::uint32_t(rgb[0]) << 16 | std::uint32_t(rgb[1]) << 8 | rgb[2];
    }
    return picture;
}

void WritePicture(std::FILE* stream, const std::string& name, const raster::Picture& picture)
{
    const std::size_t rowBytes = std::size_t(picture.Width()) * 3;
    std::vector<png_byte> bytes(rowBytes * std::size_t(picture.Height()));
    std::vector<png_bytep> rows = RowPointers(bytes, rowBytes);
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        png_byte* rgb = rows[std::size_t(y)];
        for (const std::uint32_t pixel : std::span(picture.Row(y), std::size_t(picture.Width()))) {
            *rgb++ = png_byte(pixel >> 16);
            *rgb++ = png_byte(pixel >> 8);
            *rgb++ = png_byte(pixel);
        }
    }
    PngWriter writer;
    if (!WriteRows(writer.png, writer.info, stream, png_uint_32(picture.Width()),
                   png_uint_32(picture.Height()), rows.data()))
        throw Failure("cannot write " + name + ": " + writer.message);
}

} // namespace preview
