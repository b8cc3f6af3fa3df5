#pragma once

// What every build of the program carries, as wrestool lists it: the title's
// string block, the icon group and its two icons, and the version record,
// each in US English and nothing else.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace test {

inline void ExpectTheProgramsResources(const std::vector<std::string>& listing)
{
    std::set<std::string> resources;
    for (const std::string& line : listing) {
        EXPECT_NE(line.find("--language=1033 "), std::string::npos) << line;
        resources.insert(line.substr(0, line.find(" --language")));
    }
    // Strings go in blocks of 16: 57344 is the first of block 3585.
    const std::set<std::string> expected = {
        "--type=3 --name=1",    "--type=3 --name=2",  "--type=6 --name=3585",
        "--type=14 --name=128", "--type=16 --name=1",
    };
    EXPECT_EQ(resources, expected);
}

} // namespace test
