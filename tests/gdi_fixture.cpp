#include "tests/gdi_fixture.h"

#include "platform/raster/raster_surface.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace gdi_fixture {

namespace {

using raster::Span;
using raster::SpanList;

[[noreturn]] void Malformed(const std::filesystem::path& path, int lineNumber,
                            const std::string& line)
{
    throw std::runtime_error(path.string() + ":" + std::to_string(lineNumber) + ": cannot read \"" +
                             line + "\"");
}

// "Y:X0-X1,X0-X1"
bool ReadRow(const std::string& line, SpanList& out)
{
    std::istringstream in(line);
    std::int32_t y;
    char colon;
    if (!(in >> y >> colon) || colon != ':')
        return false;
    do {
        std::int32_t x0, x1;
        char dash;
        if (!(in >> x0 >> dash >> x1) || dash != '-' || x1 <= x0)
            return false;
        out.push_back({y, x0, x1});
    } while (in.peek() == ',' && in.get());
    return in.peek() == std::char_traits<char>::eof();
}

bool ReadCall(const std::string& line, Call& call)
{
    static const std::map<std::string, std::pair<Call::Kind, std::size_t>> kinds = {
        {"ellipse", {Call::Kind::Ellipse, 4}},
        {"moveto", {Call::Kind::MoveTo, 2}},
        {"lineto", {Call::Kind::LineTo, 2}}};
    std::istringstream in(line.substr(2));
    std::string word;
    in >> word;
    const auto kind = kinds.find(word);
    if (kind == kinds.end())
        return false;
    call.kind = kind->second.first;
    call.args.resize(kind->second.second);
    for (std::int32_t& arg : call.args)
        if (!(in >> arg))
            return false;
    return (in >> std::ws).eof();
}

} // namespace

std::filesystem::path Root()
{
    if (const char* root = std::getenv("BLINKORB_FIXTURES"); root && *root)
        return root;
    return BLINKORB_FIXTURES_DIR;
}

std::vector<Case> Load(const std::string& file)
{
    const std::filesystem::path path = Root() / "gdi" / file;
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot open " + path.string() +
                                 " (set BLINKORB_FIXTURES to the fixtures directory)");

    std::vector<Case> cases;
    bool open = false;
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        // Recorded on Windows: the lines may end in CR LF.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("case ", 0) == 0) {
            Case c;
            std::istringstream header(line.substr(5));
            if (open || !(header >> c.name >> c.width >> c.height) || c.width < 0 || c.height < 0)
                Malformed(path, lineNumber, line);
            cases.push_back(std::move(c));
            open = true;
        } else if (!open) {
            Malformed(path, lineNumber, line);
        } else if (line == "end") {
            cases.back().inverted = Merged(std::move(cases.back().inverted));
            open = false;
        } else if (line.rfind("> ", 0) == 0) {
            Call call;
            if (!ReadCall(line, call))
                Malformed(path, lineNumber, line);
            cases.back().calls.push_back(std::move(call));
        } else if (!ReadRow(line, cases.back().inverted)) {
            Malformed(path, lineNumber, line);
        }
    }
    if (open || cases.empty())
        throw std::runtime_error(path.string() + ": truncated or empty");
    return cases;
}

raster::Picture Draw(const Case& c)
{
    raster::Picture picture(c.width, c.height);
    raster::RasterSurface surface(picture, picture.Bounds());
    surface.SetInvertMode();
    for (const Call& call : c.calls) {
        const std::vector<std::int32_t>& a = call.args;
        switch (call.kind) {
        case Call::Kind::Ellipse:
            surface.Ellipse(a[0], a[1], a[2], a[3]);
            break;
        case Call::Kind::MoveTo:
            surface.MoveTo(a[0], a[1]);
            break;
        case Call::Kind::LineTo:
            surface.LineTo(a[0], a[1]);
            break;
        }
    }
    return picture;
}

SpanList InvertedRuns(const raster::Picture& picture, std::uint32_t blank)
{
    SpanList runs;
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        const std::uint32_t* row = picture.Row(y);
        for (std::int32_t x = 0; x < picture.Width();) {
            if (row[x] == blank) {
                ++x;
                continue;
            }
            const std::int32_t start = x;
            while (x < picture.Width() && row[x] != blank)
                ++x;
            runs.push_back({y, start, x});
        }
    }
    return runs;
}

SpanList Merged(SpanList spans)
{
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return std::tie(a.y, a.x0) < std::tie(b.y, b.x0);
    });
    SpanList merged;
    for (const Span& s : spans) {
        if (s.x0 >= s.x1)
            continue;
        if (!merged.empty() && merged.back().y == s.y && merged.back().x1 >= s.x0)
            merged.back().x1 = std::max(merged.back().x1, s.x1);
        else
            merged.push_back(s);
    }
    return merged;
}

bool Disjoint(SpanList spans)
{
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return std::tie(a.y, a.x0) < std::tie(b.y, b.x0);
    });
    for (std::size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].x0 >= spans[i].x1)
            return false;
        if (i > 0 && spans[i - 1].y == spans[i].y && spans[i - 1].x1 > spans[i].x0)
            return false;
    }
    return true;
}

bool Within(const SpanList& spans, const raster::Rect& clip)
{
    return std::all_of(spans.begin(), spans.end(), [&](const Span& s) {
        return s.y >= clip.top && s.y < clip.bottom && s.x0 >= clip.left && s.x1 <= clip.right;
    });
}

std::string Difference(const SpanList& expected, const SpanList& actual)
{
    const auto row = [](const SpanList& spans, std::int32_t y) {
        std::string text;
        for (const Span& s : spans)
            if (s.y == y)
                text +=
                    (text.empty() ? "" : ",") + std::to_string(s.x0) + "-" + std::to_string(s.x1);
        return text.empty() ? std::string("(none)") : text;
    };
    const auto less = [](const Span& a, const Span& b) {
        return std::tie(a.y, a.x0, a.x1) < std::tie(b.y, b.x0, b.x1);
    };
    const auto same = [](const Span& a, const Span& b) {
        return a.y == b.y && a.x0 == b.x0 && a.x1 == b.x1;
    };
    const auto [e, a] =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end(), same);
    if (e == expected.end() && a == actual.end())
        return {};
    const std::int32_t y = e == expected.end() ? a->y
                           : a == actual.end() ? e->y
                                               : (less(*e, *a) ? e->y : a->y);
    return "row " + std::to_string(y) + ": expected " + row(expected, y) + ", got " +
           row(actual, y);
}

} // namespace gdi_fixture
