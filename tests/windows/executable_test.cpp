// Both Windows executables, checked from outside: the 32-bit one cannot run
// on this machine. Each must be a stripped GUI program for its processor of
// at most 64 KiB that needs no DLL but the system's, and carry the title,
// the icon and the version record in US English.

#include "tests/binary_file.h"
#include "tests/resource_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using test::Bytes;
using test::Le;
using test::ReadFile;

// The headers of a PE file that the checks need.
struct PeFile {
    Bytes data;
    std::uint32_t machine = 0;
    std::uint32_t symbolTable = 0;
    std::uint32_t symbolCount = 0;
    std::uint32_t optionalMagic = 0;
    std::uint32_t subsystem = 0;
    struct Section {
        std::string name;
        std::uint32_t virtualAddress, virtualSize, rawOffset;
    };
    std::vector<Section> sections;
    std::uint32_t importRva = 0;

    explicit PeFile(const std::filesystem::path& path) : data(ReadFile(path))
    {
        if (data.size() < 0x40 || data[0] != 'M' || data[1] != 'Z') {
            ADD_FAILURE() << path << " is not an executable";
            return;
        }
        const std::size_t pe = Le(data, 0x3C, 4);
        if (Le(data, pe, 4) != 0x00004550) {
            ADD_FAILURE() << path << " has no PE header";
            return;
        }
        const std::size_t coff = pe + 4;
        machine = Le(data, coff, 2);
        const std::size_t sectionCount = Le(data, coff + 2, 2);
        symbolTable = Le(data, coff + 8, 4);
        symbolCount = Le(data, coff + 12, 4);
        const std::size_t optional = coff + 20;
        const std::size_t optionalSize = Le(data, coff + 16, 2);
        optionalMagic = Le(data, optional, 2);
        subsystem = Le(data, optional + 68, 2);
        // The data directories follow the fields, which are wider in PE32+;
        // the import table is the second.
        const std::size_t directories = optional + (optionalMagic == 0x20B ? 112 : 96);
        importRva = Le(data, directories + 8, 4);
        for (std::size_t i = 0; i < sectionCount; ++i) {
            const std::size_t header = optional + optionalSize + 40 * i;
            std::string name(reinterpret_cast<const char*>(&data[header]), 8);
            name.erase(name.find_last_not_of('\0') + 1);
            sections.push_back({name, Le(data, header + 12, 4), Le(data, header + 8, 4),
                                Le(data, header + 20, 4)});
        }
    }

    std::size_t Offset(std::uint32_t rva) const
    {
        for (const Section& s : sections)
            if (rva >= s.virtualAddress && rva < s.virtualAddress + s.virtualSize)
                return rva - s.virtualAddress + s.rawOffset;
        ADD_FAILURE() << "address " << rva << " is in no section";
        return data.size();
    }

    // The DLLs named by the import table, in capitals.
    std::set<std::string> ImportedDlls() const
    {
        std::set<std::string> names;
        for (std::size_t entry = Offset(importRva); Le(data, entry + 12, 4) != 0; entry += 20) {
            std::string name;
            for (std::size_t at = Offset(Le(data, entry + 12, 4)); at < data.size() && data[at];
                 ++at)
                name += char(std::toupper(data[at]));
            names.insert(name);
        }
        return names;
    }
};

struct Build {
    const char* name;
    const char* executable;
    std::uint32_t machine;
    std::uint32_t optionalMagic; // PE32 or PE32+
};

std::ostream& operator<<(std::ostream& out, const Build& build)
{
    return out << build.name;
}

class WindowsExecutable : public testing::TestWithParam<Build> {
protected:
    PeFile pe_{GetParam().executable};
};

TEST_P(WindowsExecutable, IsAGuiProgramForItsProcessor)
{
    EXPECT_EQ(pe_.machine, GetParam().machine);
    EXPECT_EQ(pe_.optionalMagic, GetParam().optionalMagic);
    EXPECT_EQ(pe_.subsystem, 2u) << "not the Windows GUI subsystem";
}

TEST_P(WindowsExecutable, NeedsNoDllButTheSystems)
{
    const std::set<std::string> expected = {"GDI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL",
                                            "USER32.DLL"};
    EXPECT_EQ(pe_.ImportedDlls(), expected);
}

TEST_P(WindowsExecutable, IsStrippedAndAtMost64KiB)
{
    EXPECT_EQ(pe_.symbolTable, 0u);
    EXPECT_EQ(pe_.symbolCount, 0u);
    for (const PeFile::Section& section : pe_.sections)
        EXPECT_NE(section.name.rfind(".debug", 0), 0u) << section.name;
    EXPECT_LE(pe_.data.size(), 64u * 1024u);
}

// The listing of wrestool, which reads the executable's resource directory.
std::vector<std::string> ResourceListing(const char* executable)
{
    const std::string command = std::string(BLINKORB_WRESTOOL) + " -l '" + executable + "'";
    std::vector<std::string> lines;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe))
            lines.emplace_back(line);
        EXPECT_EQ(pclose(pipe), 0) << command;
    }
    return lines;
}

// One resource's bytes, in US English.
Bytes ExtractResource(const char* executable, int type, int name)
{
    const std::filesystem::path out = std::filesystem::path(testing::TempDir()) /
                                      ("resource_" + std::to_string(type) + "_" +
                                       std::to_string(name) + "_" + std::to_string(getpid()));
    const std::string command = std::string(BLINKORB_WRESTOOL) + " -x -R -t " +
                                std::to_string(type) + " -n " + std::to_string(name) +
                                " -L 1033 -o '" + out.string() + "' '" + executable + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    Bytes bytes = ReadFile(out);
    std::filesystem::remove(out);
    return bytes;
}

Bytes Utf16(const std::string& text)
{
    Bytes bytes;
    for (const char c : text) {
        bytes.push_back(std::uint8_t(c));
        bytes.push_back(0);
    }
    return bytes;
}

bool Contains(const Bytes& data, const Bytes& part)
{
    return std::search(data.begin(), data.end(), part.begin(), part.end()) != data.end();
}

// The resource script's contents are checked in depth by the resource
// tests; these make sure all of it is in each executable.
TEST_P(WindowsExecutable, CarriesTheTitleTheIconAndTheVersionInUsEnglish)
{
    test::ExpectTheProgramsResources(ResourceListing(GetParam().executable));

    const Bytes strings = ExtractResource(GetParam().executable, 6, 3585);
    ASSERT_GE(strings.size(), 2u + 2 * 8);
    EXPECT_EQ(Le(strings, 0, 2), 8u) << "the title's length";
    EXPECT_EQ(Bytes(strings.begin() + 2, strings.begin() + 18), Utf16("Blinkorb"));

    const Bytes group = ExtractResource(GetParam().executable, 14, 128);
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(Le(group, 4, 2), 2u) << "images in the icon group";

    const Bytes version = ExtractResource(GetParam().executable, 16, 1);
    for (const char* text :
         {"040904b0", "Blinkorb MFC Application", "1, 0, 0, 1", "Blinkorb", "Blinkorb.EXE",
          "Blinkorb Application", "FileDescription", "FileVersion", "InternalName",
          "OriginalFilename", "ProductName", "ProductVersion", "Translation"})
        EXPECT_TRUE(Contains(version, Utf16(text))) << text;
}

INSTANTIATE_TEST_SUITE_P(Builds, WindowsExecutable,
                         testing::Values(Build{"i686", BLINKORB_EXE_I686, 0x014C, 0x10B},
                                         Build{"x86_64", BLINKORB_EXE_X86_64, 0x8664, 0x20B}),
                         [](const testing::TestParamInfo<Build>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
