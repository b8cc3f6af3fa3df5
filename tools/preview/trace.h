#pragma once

#include "figure/figure.h"

#include <cstdint>
#include <cstdio>

namespace preview {

// The figure after each tick as CSV rows. Angles are written as the bit
// patterns of their doubles, so that two traces agree only if every angle
// agrees to the last bit. Errors stay on the stream for its closing to
// report.
void WriteTraceHeader(std::FILE* stream);
void WriteTraceRow(std::FILE* stream, std::int64_t tick, const figure::FigureState& figure);

} // namespace preview
