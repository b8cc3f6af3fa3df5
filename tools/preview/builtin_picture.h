#pragma once

#include "platform/raster/picture.h"

#include <cstdint>

namespace preview {

// The picture on the screen when none is given: one in which the inverted
// figure stands out wherever it goes.
raster::Picture BuiltInPicture(std::int32_t width, std::int32_t height);

} // namespace preview
