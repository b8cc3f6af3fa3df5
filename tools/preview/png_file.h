#pragma once

#include "platform/raster/picture.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace preview {

// The picture in a PNG file of any kind libpng reads, as 8-bit RGB: alpha
// is dropped. Throws Failure when the file cannot be read or is not of the
// given size.
raster::Picture ReadPicture(const std::string& path, std::int32_t width, std::int32_t height);

// Writes the picture to the stream as an 8-bit RGB PNG; name is for the
// message of the Failure it throws.
void WritePicture(std::FILE* stream, const std::string& name, const raster::Picture& picture);

} // namespace preview
