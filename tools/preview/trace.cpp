#include "tools/preview/trace.h"

#include <bit>
#include <cinttypes>

namespace preview {

void WriteTraceHeader(std::FILE* stream)
{
    std::fputs("tick,cur_x,cur_y,prev_x,prev_y,step_x,step_y,angle,prev_angle\n", stream);
}

void WriteTraceRow(std::FILE* stream, std::int64_t tick, const figure::FigureState& figure)
{
    std::fprintf(stream,
                 "%" PRId64 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32 ",%" PRId32
                 ",0x%016" PRIx64 ",0x%016" PRIx64 "\n",
                 tick, figure.m_nCurX, figure.m_nCurY, figure.m_nPrevX, figure.m_nPrevY,
                 figure.m_nStepX, figure.m_nStepY, std::bit_cast<std::uint64_t>(figure.m_dAngle),
                 std::bit_cast<std::uint64_t>(figure.m_dPrevAngle));
}

} // namespace preview
