#pragma once

// Reading the files other tools make (icons, resources, executables) byte by
// byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

namespace test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The little-endian number of the given width at offset; a read past the end
// fails the test and gives 0.
inline std::uint32_t Le(std::span<const std::uint8_t> data, std::size_t offset, std::size_t bytes)
{
    if (offset + bytes > data.size()) {
        ADD_FAILURE() << "read past the end of the file at " << offset;
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = bytes; i-- > 0;)
        value = value << 8 | data[offset + i];
    return value;
}

} // namespace test
