// The program's resources: the title as the framework reads it, the icon file
// the build draws, and, where MinGW's windres and wrestool are installed, what
// the Windows resource script compiles to.
#include "platform/winsys/winapi.h"

#include "binary_file.h"
#include "resource_listing.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

using test::Bytes;
using test::Le;
using test::ReadFile;

std::uint32_t Word(std::span<const std::uint8_t> data, std::size_t offset)
{
    return Le(data, offset, 2);
}

std::uint32_t Dword(std::span<const std::uint8_t> data, std::size_t offset)
{
    return Le(data, offset, 4);
}

// ---------------------------------------------------------------------------
// The title

TEST(ResourceStrings, TitleIsLoadedWhateverTheBufferSize)
{
    struct Case {
        int bufferSize;
        const char* expected;
    };
    const Case cases[] = {
        {64, "Blinkorb"}, {9, "Blinkorb"}, {8, "Blinkor"}, {4, "Bli"}, {1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bufferSize);
        std::array<char, 64> buffer;
        buffer.fill('#');
        const int length =
            LoadStringA(GetModuleHandleA(nullptr), 57344, buffer.data(), c.bufferSize);
        EXPECT_EQ(length, int(std::string(c.expected).size()));
        EXPECT_STREQ(buffer.data(), c.expected);
        // Nothing written past the terminator.
        EXPECT_EQ(buffer[std::size_t(length) + 1], '#');
    }
}

// ---------------------------------------------------------------------------
// The icon file

struct IconImage {
    // From the directory entry.
    unsigned width, height, colourCount, planes, bitCount;
    std::span<const std::uint8_t> data; // the image's bytes in the file
};

// The directory's entries, each with the bytes it points at; a directory
// pointing outside the file fails the test.
std::vector<IconImage> ReadIconDirectory(std::span<const std::uint8_t> file)
{
    std::vector<IconImage> images;
    EXPECT_GE(file.size(), 6u);
    if (file.size() < 6)
        return images;
    EXPECT_EQ(Word(file, 0), 0u);
    EXPECT_EQ(Word(file, 2), 1u) << "not an icon";
    const std::size_t count = Word(file, 4);
    EXPECT_GE(file.size(), 6 + 16 * count);
    if (file.size() < 6 + 16 * count)
        return images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::size_t size = Dword(file, entry + 8);
        const std::size_t offset = Dword(file, entry + 12);
        EXPECT_LE(offset + size, file.size()) << "image " << i;
        if (offset + size > file.size())
            return {};
        images.push_back({file[entry], file[entry + 1], file[entry + 2], Word(file, entry + 4),
                          Word(file, entry + 6), file.subspan(offset, size)});
    }
    return images;
}

std::size_t RowBytes(unsigned width, unsigned bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

constexpr std::size_t BITMAP_HEADER = 40;
constexpr std::size_t PALETTE_BYTES = 16 * 4;

class ResourceIcon : public testing::Test {
protected:
    void SetUp() override
    {
        file_ = ReadFile(BLINKORB_ICON);
        ASSERT_FALSE(file_.empty()) << "cannot read " << BLINKORB_ICON;
        images_ = ReadIconDirectory(file_);
        ASSERT_EQ(images_.size(), 2u);
        for (const IconImage& image : images_)
            ASSERT_EQ(image.data.size(), BITMAP_HEADER + PALETTE_BYTES +
                                             RowBytes(image.width, 4) * image.height +
                                             RowBytes(image.width, 1) * image.height)
                << image.width << "x" << image.height;
    }

    // The palette indices of an image, top row first.
    static std::vector<std::vector<unsigned>> Pixels(const IconImage& image)
    {
        const std::size_t stride = RowBytes(image.width, 4);
        const auto bits = image.data.subspan(BITMAP_HEADER + PALETTE_BYTES);
        std::vector<std::vector<unsigned>> rows(image.height);
        for (unsigned y = 0; y < image.height; ++y)
            for (unsigned x = 0; x < image.width; ++x) {
                const std::uint8_t byte = bits[(image.height - 1 - y) * stride + x / 2];
                rows[y].push_back(x % 2 == 0 ? byte >> 4 : byte & 0x0F);
            }
        return rows;
    }

    Bytes file_;
    std::vector<IconImage> images_;
};

TEST_F(ResourceIcon, HoldsA32AndA16PixelImageIn16Colours)
{
    const unsigned sizes[] = {32, 16};
    for (std::size_t i = 0; i < 2; ++i) {
        const IconImage& image = images_[i];
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(image.width, sizes[i]);
        EXPECT_EQ(image.height, sizes[i]);
        EXPECT_EQ(image.colourCount, 16u);
        EXPECT_EQ(image.planes, 1u);
        EXPECT_EQ(image.bitCount, 4u);

        const auto header = image.data;
        EXPECT_EQ(Dword(header, 0), BITMAP_HEADER);
        EXPECT_EQ(Dword(header, 4), image.width);
        // The height counts the colour bitmap and the mask.
        EXPECT_EQ(Dword(header, 8), 2 * image.height);
        EXPECT_EQ(Word(header, 12), 1u);
        EXPECT_EQ(Word(header, 14), 4u);
        EXPECT_EQ(Dword(header, 16), 0u) << "compressed";
        const std::uint32_t used = Dword(header, 32);
        EXPECT_TRUE(used == 0 || used == 16) << used << " colours used";
    }
}

TEST_F(ResourceIcon, UsesTheVgaColours)
{
    // Blue, green, red, reserved: the order of the file's entries.
    const std::array<std::uint32_t, 16> vga = {
        0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
        0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF,
    };
    for (const IconImage& image : images_) {
        SCOPED_TRACE(image.width);
        for (std::size_t i = 0; i < vga.size(); ++i)
            EXPECT_EQ(Dword(image.data, BITMAP_HEADER + 4 * i), vga[i]) << "colour " << i;
    }
}

TEST_F(ResourceIcon, IsOpaque)
{
    for (const IconImage& image : images_) {
        SCOPED_TRACE(image.width);
        const auto mask = image.data.subspan(BITMAP_HEADER + PALETTE_BYTES +
                                             RowBytes(image.width, 4) * image.height);
        EXPECT_EQ(std::count(mask.begin(), mask.end(), 0), std::ptrdiff_t(mask.size()));
    }
}

TEST_F(ResourceIcon, ImagesFollowTheDirectoryWithoutGapOrOverlap)
{
    std::size_t expected = 6 + 16 * images_.size();
    for (const IconImage& image : images_) {
        EXPECT_EQ(std::size_t(image.data.data() - file_.data()), expected) << image.width;
        expected += image.data.size();
    }
    EXPECT_EQ(file_.size(), expected);
}

TEST_F(ResourceIcon, EachImageShowsMoreThanABackground)
{
    // Background, outline and three faces at the least.
    for (const IconImage& image : images_) {
        SCOPED_TRACE(image.width);
        std::set<unsigned> colours;
        for (const auto& row : Pixels(image))
            colours.insert(row.begin(), row.end());
        EXPECT_GE(colours.size(), 5u);
    }
}

// ---------------------------------------------------------------------------
// The resource script, compiled by windres and linked into a DLL that wrestool
// reads back.

std::string Quoted(const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}

class ResourceScript : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!*BLINKORB_WINDRES || !*BLINKORB_WRESTOOL)
            return;
        char pattern[] = "/tmp/blinkorb_rc_XXXXXX";
        if (!mkdtemp(pattern))
            return;
        dir_ = pattern;
        const std::filesystem::path rc = BLINKORB_RC;
        const std::filesystem::path icon = BLINKORB_ICON;
        const auto object = dir_ / "resources.o";
        const auto log = Quoted(dir_ / "log");
        compiled_ = std::system((std::string(BLINKORB_WINDRES) + " -I " + Quoted(rc.parent_path()) +
                                 " -I " + Quoted(icon.parent_path()) + " -i " + Quoted(rc) +
                                 " -O coff -o " + Quoted(object) + " >" + log + " 2>&1 && " +
                                 BLINKORB_MINGW_LD + " --dll -e 0 -o " + Quoted(Dll()) + " " +
                                 Quoted(object) + " >>" + log + " 2>&1")
                                    .c_str()) == 0;
    }

    static void TearDownTestSuite()
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
        dir_.clear();
    }

    void SetUp() override
    {
        if (!*BLINKORB_WINDRES || !*BLINKORB_WRESTOOL)
            GTEST_SKIP() << "needs MinGW's windres (binutils-mingw-w64-x86-64) and wrestool "
                            "(icoutils)";
        ASSERT_FALSE(dir_.empty()) << "no temporary directory";
        ASSERT_TRUE(compiled_) << ReadText(dir_ / "log");
    }

    static std::filesystem::path Dll() { return dir_ / "resources.dll"; }

    static std::string ReadText(const std::filesystem::path& path)
    {
        const Bytes bytes = ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    // One resource's raw bytes, in US English.
    static Bytes Extract(int type, int name)
    {
        const auto out = dir_ / ("resource_" + std::to_string(type) + "_" + std::to_string(name));
        std::filesystem::remove(out);
        const std::string command = std::string(BLINKORB_WRESTOOL) + " -x -R -t " +
                                    std::to_string(type) + " -n " + std::to_string(name) +
                                    " -L 1033 -o " + Quoted(out) + " " + Quoted(Dll());
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        const Bytes bytes = ReadFile(out);
        EXPECT_FALSE(bytes.empty()) << "no resource " << type << "/" << name << " in US English";
        return bytes;
    }

    static inline std::filesystem::path dir_;
    static inline bool compiled_ = false;
};

// Windows' resource types.
constexpr int RT_ICON = 3;
constexpr int RT_STRING = 6;
constexpr int RT_GROUP_ICON = 14;
constexpr int RT_VERSION = 16;

TEST_F(ResourceScript, HoldsExactlyTheTitleIconAndVersionAllInUsEnglish)
{
    const auto listing = dir_ / "listing";
    ASSERT_EQ(std::system(
                  (std::string(BLINKORB_WRESTOOL) + " -l " + Quoted(Dll()) + " >" + Quoted(listing))
                      .c_str()),
              0);
    std::vector<std::string> lines;
    std::ifstream in(listing);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    test::ExpectTheProgramsResources(lines);
}

std::string Narrow(std::span<const std::uint8_t> utf16)
{
    std::string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const std::uint32_t c = Word(utf16, i);
        EXPECT_LT(c, 0x80u) << "not ASCII";
        text += char(c);
    }
    return text;
}

TEST_F(ResourceScript, StringBlockHoldsTheTitleFirstAndNothingElse)
{
    const Bytes block = Extract(RT_STRING, 57344 / 16 + 1);
    std::vector<std::string> strings;
    for (std::size_t offset = 0; offset + 2 <= block.size() && strings.size() < 16;) {
        const std::size_t length = Word(block, offset);
        ASSERT_LE(offset + 2 + 2 * length, block.size());
        strings.push_back(Narrow(std::span(block).subspan(offset + 2, 2 * length)));
        offset += 2 + 2 * length;
    }
    std::vector<std::string> expected(16);
    expected[57344 % 16] = "Blinkorb";
    EXPECT_EQ(strings, expected);
}

TEST_F(ResourceScript, IconGroupHoldsTheBuiltIconsImages)
{
    const Bytes icon = ReadFile(BLINKORB_ICON);
    const std::vector<IconImage> images = ReadIconDirectory(icon);
    ASSERT_EQ(images.size(), 2u);

    const Bytes group = Extract(RT_GROUP_ICON, 128);
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(Word(group, 2), 1u) << "not an icon group";
    ASSERT_EQ(Word(group, 4), images.size());
    // Entries as in the file's directory, the image's offset replaced by a
    // two-byte id.
    ASSERT_EQ(group.size(), 6 + 14 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        SCOPED_TRACE(i);
        const std::size_t entry = 6 + 14 * i;
        EXPECT_EQ(group[entry], images[i].width);
        EXPECT_EQ(group[entry + 1], images[i].height);
        EXPECT_EQ(group[entry + 2], images[i].colourCount);
        EXPECT_EQ(Word(group, entry + 4), images[i].planes);
        EXPECT_EQ(Word(group, entry + 6), images[i].bitCount);
        EXPECT_EQ(Dword(group, entry + 8), images[i].data.size());
        const Bytes image = Extract(RT_ICON, int(Word(group, entry + 12)));
        EXPECT_TRUE(
            std::equal(image.begin(), image.end(), images[i].data.begin(), images[i].data.end()));
    }
}

// One node of a version resource: a key, a value, and nodes under it.
struct VersionNode {
    std::string key;
    bool text = false;
    Bytes value;
    std::vector<VersionNode> children;
};

std::size_t Aligned(std::size_t offset)
{
    return (offset + 3) & ~std::size_t(3);
}

// Parses the node at offset, which data must hold whole.
VersionNode ParseVersionNode(std::span<const std::uint8_t> data, std::size_t offset)
{
    VersionNode node;
    const std::size_t length = Word(data, offset);
    const std::size_t valueLength = Word(data, offset + 2);
    node.text = Word(data, offset + 4) == 1;
    const std::size_t end = offset + length;
    EXPECT_LE(end, data.size());
    if (end > data.size())
        return node;
    std::size_t at = offset + 6;
    while (at + 1 < end && Word(data, at) != 0)
        at += 2;
    node.key = Narrow(data.subspan(offset + 6, at - offset - 6));
    at = Aligned(at + 2);
    // A text value's length counts characters, its terminator included.
    const std::size_t valueBytes = node.text ? 2 * valueLength : valueLength;
    if (valueBytes > 0) {
        EXPECT_LE(at + valueBytes, end) << node.key;
        node.value.assign(data.begin() + std::ptrdiff_t(at),
                          data.begin() + std::ptrdiff_t(std::min(at + valueBytes, end)));
        at = Aligned(at + valueBytes);
    }
    while (at < end) {
        const std::size_t childLength = Word(data, at);
        if (childLength == 0)
            break;
        node.children.push_back(ParseVersionNode(data, at));
        at = Aligned(at + childLength);
    }
    return node;
}

const VersionNode* Child(const VersionNode& node, std::string_view key)
{
    for (const VersionNode& child : node.children)
        if (child.key == key)
            return &child;
    ADD_FAILURE() << "no " << key << " under " << node.key;
    return nullptr;
}

std::string TextValue(const VersionNode& node)
{
    std::string text = Narrow(node.value);
    text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
    return text;
}

TEST_F(ResourceScript, VersionRecordIsTheHistoricalOne)
{
    const Bytes data = Extract(RT_VERSION, 1);
    ASSERT_GE(data.size(), 6u);
    const VersionNode root = ParseVersionNode(data, 0);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");

    // VS_FIXEDFILEINFO: signature, structure version, then file and product
    // versions as major.minor and build.revision pairs.
    ASSERT_EQ(root.value.size(), 52u);
    EXPECT_EQ(Dword(root.value, 0), 0xFEEF04BDu);
    EXPECT_EQ(Dword(root.value, 8), 0x00010000u) << "file version 1.0";
    EXPECT_EQ(Dword(root.value, 12), 0x00000001u) << "file version .0.1";
    EXPECT_EQ(Dword(root.value, 16), 0x00010000u) << "product version 1.0";
    EXPECT_EQ(Dword(root.value, 20), 0x00000001u) << "product version .0.1";

    const VersionNode* fileInfo = Child(root, "StringFileInfo");
    ASSERT_NE(fileInfo, nullptr);
    const VersionNode* table = Child(*fileInfo, "040904b0");
    ASSERT_NE(table, nullptr);
    std::map<std::string, std::string> strings;
    for (const VersionNode& value : table->children) {
        EXPECT_TRUE(value.text) << value.key;
        strings[value.key] = TextValue(value);
    }
    const std::map<std::string, std::string> expected = {
        {"FileDescription", "Blinkorb MFC Application"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "Blinkorb"},
        {"OriginalFilename", "Blinkorb.EXE"},
        {"ProductName", "Blinkorb Application"},
        {"ProductVersion", "1, 0, 0, 1"},
    };
    EXPECT_EQ(strings, expected);

    const VersionNode* varInfo = Child(root, "VarFileInfo");
    ASSERT_NE(varInfo, nullptr);
    const VersionNode* translation = Child(*varInfo, "Translation");
    ASSERT_NE(translation, nullptr);
    // US English in Unicode.
    EXPECT_EQ(translation->value, (Bytes{0x09, 0x04, 0xB0, 0x04}));
}

} // namespace
