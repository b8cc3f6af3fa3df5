#include "platform/raster/geometry.h"

#include <algorithm>
#include <cstdint>

namespace raster {

namespace {

using std::int64_t;
using std::uint64_t;

// Walking a line along its major axis, step i (0 <= i < n) lands at
// major0 + majorSign * i on the major axis and at minor0 + minorSign * u(i)
// on the minor one, where u(i) = floor((2 * i * m + bias) / (2 * n)) is
// i * m / n rounded to the nearest integer. An exact half goes to the smaller
// coordinate whichever way the line runs, which is why a line and its reverse
// cover the same pixels: bias is n - 1 (halves round down) when the minor
// coordinate grows and n (halves round up) when it shrinks.
//
// n and m reach 2^32 - 1, so products of two of them only fit unsigned 64-bit
// arithmetic, and anything doubled has to be split by a division first.
struct Walk {
    int64_t major0;
    int64_t minor0;
    int64_t majorSign;
    int64_t minorSign;
    int64_t n;
    int64_t m;
    int64_t bias;

    // The first step whose u reaches k, or n if none does.
    int64_t FirstReaching(int64_t k) const
    {
        if (k <= 0)
            return 0;
        // u never exceeds m, so this also keeps n * k within 64 bits.
        if (k > m)
            return n;
        // ceil((2 * n * k - bias) / (2 * m)), with n * k = q * m + r.
        const uint64_t product = uint64_t(n) * uint64_t(k);
        const int64_t q = int64_t(product / uint64_t(m));
        const int64_t r = int64_t(product % uint64_t(m));
        const int64_t rest = 2 * r - bias;
        const int64_t twoM = 2 * m;
        const int64_t restSteps = rest >= 0 ? (rest + twoM - 1) / twoM : -(-rest / twoM);
        return std::min(q + restSteps, n);
    }

    // The steps within [low, high) along the major axis.
    void MajorRange(int64_t low, int64_t high, int64_t& first, int64_t& last) const
    {
        if (majorSign > 0) {
            first = low - major0;
            last = high - major0;
        } else {
            first = major0 - high + 1;
            last = major0 - low + 1;
        }
    }

    // The steps within [low, high) along the minor axis; u never decreases.
    void MinorRange(int64_t low, int64_t high, int64_t& first, int64_t& last) const
    {
        if (minorSign > 0) {
            first = FirstReaching(low - minor0);
            last = FirstReaching(high - minor0);
        } else {
            first = FirstReaching(minor0 - high + 1);
            last = FirstReaching(minor0 - low + 1);
        }
    }
};

// u(i) and what is left over: 2 * i * m + bias = u * 2 * n + remainder.
struct MinorPosition {
    int64_t u;
    int64_t remainder;
};

MinorPosition PositionAt(const Walk& walk, int64_t i)
{
    if (i == 0)
        return {0, walk.bias};
    const uint64_t product = uint64_t(i) * uint64_t(walk.m);
    const int64_t q = int64_t(product / uint64_t(walk.n));
    const int64_t r = int64_t(product % uint64_t(walk.n));
    const int64_t twoN = 2 * walk.n;
    const int64_t rest = 2 * r + walk.bias;
    return {q + rest / twoN, rest % twoN};
}

Walk MakeWalk(int64_t major0, int64_t minor0, int64_t majorDelta, int64_t minorDelta)
{
    const int64_t n = majorDelta < 0 ? -majorDelta : majorDelta;
    const int64_t m = minorDelta < 0 ? -minorDelta : minorDelta;
    const int64_t minorSign = minorDelta < 0 ? -1 : 1;
    return {major0, minor0, majorDelta < 0 ? -1 : 1, minorSign, n, m, minorSign > 0 ? n - 1 : n};
}

// Narrows the steps to those inside the clip; false when none are.
bool ClipSteps(const Walk& walk, int64_t majorLow, int64_t majorHigh, int64_t minorLow,
               int64_t minorHigh, int64_t& first, int64_t& last)
{
    int64_t majorFirst, majorLast;
    walk.MajorRange(majorLow, majorHigh, majorFirst, majorLast);
    first = std::max<int64_t>(majorFirst, 0);
    last = std::min(majorLast, walk.n);
    if (first >= last)
        return false;
    int64_t minorFirst, minorLast;
    walk.MinorRange(minorLow, minorHigh, minorFirst, minorLast);
    first = std::max(first, minorFirst);
    last = std::min(last, minorLast);
    return first < last;
}

// Mostly horizontal: every row takes one run of consecutive steps.
void AppendHorizontalRuns(const Walk& walk, int64_t first, int64_t last, SpanList& out)
{
    const MinorPosition start = PositionAt(walk, first);
    const int64_t twoN = 2 * walk.n;
    const int64_t twoM = 2 * walk.m;
    const int64_t step = walk.majorSign;
    int64_t remainder = start.remainder;
    int64_t x = walk.major0 + step * first;
    int64_t y = walk.minor0 + walk.minorSign * start.u;
    int64_t runStart = x;
    for (int64_t i = first + 1; i < last; ++i) {
        x += step;
        remainder += twoM;
        if (remainder >= twoN) {
            remainder -= twoN;
            const int64_t runEnd = x - step;
            out.push_back({std::int32_t(y), std::int32_t(std::min(runStart, runEnd)),
                           std::int32_t(std::max(runStart, runEnd) + 1)});
            y += walk.minorSign;
            runStart = x;
        }
    }
    out.push_back({std::int32_t(y), std::int32_t(std::min(runStart, x)),
                   std::int32_t(std::max(runStart, x) + 1)});
}

// Mostly vertical: one pixel a row.
void AppendVerticalRuns(const Walk& walk, int64_t first, int64_t last, SpanList& out)
{
    const MinorPosition start = PositionAt(walk, first);
    const int64_t twoN = 2 * walk.n;
    const int64_t twoM = 2 * walk.m;
    int64_t remainder = start.remainder;
    int64_t x = walk.minor0 + walk.minorSign * start.u;
    int64_t y = walk.major0 + walk.majorSign * first;
    for (int64_t i = first; i < last; ++i) {
        out.push_back({std::int32_t(y), std::int32_t(x), std::int32_t(x + 1)});
        y += walk.majorSign;
        remainder += twoM;
        if (remainder >= twoN) {
            remainder -= twoN;
            x += walk.minorSign;
        }
    }
}

} // namespace

void AppendLineSpans(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                     const Rect& clip, SpanList& out)
{
    const int64_t dx = int64_t(x1) - x0;
    const int64_t dy = int64_t(y1) - y0;
    if ((dx == 0 && dy == 0) || clip.left >= clip.right || clip.top >= clip.bottom)
        return;

    int64_t first, last;
    if ((dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy)) {
        const Walk walk = MakeWalk(x0, y0, dx, dy);
        if (ClipSteps(walk, clip.left, clip.right, clip.top, clip.bottom, first, last))
            AppendHorizontalRuns(walk, first, last, out);
    } else {
        const Walk walk = MakeWalk(y0, x0, dy, dx);
        if (ClipSteps(walk, clip.top, clip.bottom, clip.left, clip.right, first, last))
            AppendVerticalRuns(walk, first, last, out);
    }
}

} // namespace raster
