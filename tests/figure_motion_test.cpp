#include "figure/figure.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace {

using figure::FigureState;
using figure::PI;

std::uint64_t Bits(double value)
{
    return std::bit_cast<std::uint64_t>(value);
}

void TickOn(FigureState& state, std::int32_t width, std::int32_t height)
{
    state.Tick([=] { return width; }, [=] { return height; });
}

TEST(FigureConstants, AreTheProgramsOwnPiAndItsFractions)
{
    EXPECT_EQ(Bits(PI), 0x400921FB54411744u);
    EXPECT_EQ(Bits(PI / 4), 0x3FE921FB54411744u);
    EXPECT_EQ(Bits(PI / 2), 0x3FF921FB54411744u);
    EXPECT_EQ(Bits(figure::START_ANGLE), 0x3FE921FB54411744u);
}

TEST(FigureStart, CentresWithStartAngleAndStep)
{
    struct Case {
        std::int32_t width, height, x, y;
    };
    for (const Case c : {Case{640, 480, 320, 240}, Case{1024, 768, 512, 384},
                         Case{1365, 767, 682, 383}, Case{1, 1, 0, 0}}) {
        FigureState state;
        state.Start(c.width, c.height);
        EXPECT_EQ(state.m_nCurX, c.x) << c.width;
        EXPECT_EQ(state.m_nCurY, c.y) << c.height;
        EXPECT_EQ(state.m_nPrevX, c.x);
        EXPECT_EQ(state.m_nPrevY, c.y);
        EXPECT_EQ(state.m_nStepX, 2);
        EXPECT_EQ(state.m_nStepY, 2);
        EXPECT_EQ(Bits(state.m_dAngle), 0x3FE921FB54411744u);
        EXPECT_EQ(Bits(state.m_dPrevAngle), 0x3FE921FB54411744u);
        EXPECT_FALSE(state.Changed());
    }
}

TEST(FigureStart, ConstructedStateAlreadyHoldsStartValues)
{
    const FigureState state;
    EXPECT_EQ(state.m_nStepX, 2);
    EXPECT_EQ(state.m_nStepY, 2);
    EXPECT_EQ(Bits(state.m_dAngle), Bits(PI / 4));
    EXPECT_FALSE(state.Changed());
}

TEST(FigureTick, FirstTickOn640x480)
{
    FigureState state;
    state.Start(640, 480);
    TickOn(state, 640, 480);
    EXPECT_EQ(state.m_nCurX, 322);
    EXPECT_EQ(state.m_nCurY, 242);
    EXPECT_EQ(state.m_nPrevX, 320);
    EXPECT_EQ(state.m_nPrevY, 240);
    EXPECT_EQ(Bits(state.m_dPrevAngle), Bits(PI / 4));
    EXPECT_EQ(Bits(state.m_dAngle), Bits(PI / 4 + (PI / 4) * 0.1));
    EXPECT_TRUE(state.Changed());
}

struct Bounce {
    int tick;
    std::int32_t x, y, stepX, stepY;
    bool operator==(const Bounce&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bounce& b)
{
    return out << "tick " << b.tick << " at (" << b.x << ", " << b.y << ") step (" << b.stepX
               << ", " << b.stepY << ")";
}

std::vector<Bounce> Bounces(std::int32_t width, std::int32_t height, int ticks)
{
    FigureState state;
    state.Start(width, height);
    std::vector<Bounce> bounces;
    for (int tick = 1; tick <= ticks; ++tick) {
        const std::int32_t stepX = state.m_nStepX, stepY = state.m_nStepY;
        TickOn(state, width, height);
        if (state.m_nStepX != stepX || state.m_nStepY != stepY)
            bounces.push_back({tick, state.m_nCurX, state.m_nCurY, state.m_nStepX, state.m_nStepY});
    }
    return bounces;
}

TEST(FigureTick, BouncesOfTheKnownRuns)
{
    EXPECT_EQ(Bounces(640, 480, 333),
              (std::vector<Bounce>{
                  {111, 542, 462, 2, -2}, {151, 622, 382, -2, -2}, {333, 258, 18, -2, 2}}));
    const auto wide = Bounces(1024, 768, 247);
    EXPECT_EQ(wide, (std::vector<Bounce>{{183, 878, 750, 2, -2}, {247, 1006, 622, -2, -2}}));
}

TEST(FigureTick, SpinFollowsTheStepsBeforeTheBounce)
{
    FigureState state;
    state.Start(640, 480);
    for (int tick = 1; tick < 111; ++tick)
        TickOn(state, 640, 480);
    double before = state.m_dAngle;
    TickOn(state, 640, 480); // tick 111 bounces off the bottom
    EXPECT_EQ(Bits(state.m_dAngle), Bits(before + (PI / 4) * 0.1));
    before = state.m_dAngle;
    TickOn(state, 640, 480);
    EXPECT_EQ(Bits(state.m_dAngle), Bits(before + (PI / 2) * 0.1));
}

TEST(FigureTick, SpinRatePerDirection)
{
    struct Case {
        std::int32_t stepX, stepY;
        double divisor;
    };
    for (const Case c : {Case{2, 2, 4}, Case{-2, -2, -4}, Case{2, -2, 2}, Case{-2, 2, -2}}) {
        FigureState state;
        state.Start(640, 480);
        state.m_nStepX = c.stepX;
        state.m_nStepY = c.stepY;
        TickOn(state, 640, 480);
        EXPECT_EQ(Bits(state.m_dAngle), Bits(PI / 4 + (PI / c.divisor) * 0.1))
            << c.stepX << "," << c.stepY;
    }
}

TEST(FigureTick, MarginsAreStrict)
{
    // Each case places the centre two pixels before the tested position on
    // one axis and heads into it.
    using Field = std::int32_t FigureState::*;
    struct Case {
        const char* axis;
        Field centre, step;
        std::int32_t reached, towards;
        bool bounces;
    };
    const std::int32_t width = 640, height = 480;
    const Field x = &FigureState::m_nCurX, stepX = &FigureState::m_nStepX;
    const Field y = &FigureState::m_nCurY, stepY = &FigureState::m_nStepY;
    const Case cases[] = {
        {"x", x, stepX, 20, -2, false},         {"x", x, stepX, 19, -2, true},
        {"x", x, stepX, width - 20, 2, false},  {"x", x, stepX, width - 19, 2, true},
        {"y", y, stepY, 20, -2, false},         {"y", y, stepY, 19, -2, true},
        {"y", y, stepY, height - 20, 2, false}, {"y", y, stepY, height - 19, 2, true},
    };
    for (const Case& c : cases) {
        FigureState state;
        state.Start(width, height);
        state.*c.centre = c.reached - c.towards;
        state.*c.step = c.towards;
        TickOn(state, width, height);
        EXPECT_EQ(state.*c.centre, c.reached) << c.axis;
        EXPECT_EQ(state.*c.step, c.bounces ? -c.towards : c.towards)
            << c.axis << " reached " << c.reached;
    }
}

TEST(FigureTick, AsksForASizeOnlyWhenItsBounceTestNeedsIt)
{
    FigureState state;
    state.Start(640, 480);
    int widthAsked = 0, heightAsked = 0;
    auto tick = [&] {
        state.Tick([&] { return ++widthAsked, 640; }, [&] { return ++heightAsked, 480; });
    };

    tick();
    EXPECT_EQ(widthAsked, 1);
    EXPECT_EQ(heightAsked, 1);

    state.m_nCurX = 19; // the new x, 21, is not below the margin
    state.m_nCurY = 18; // the new y, 20, is not below the margin
    state.m_nStepX = state.m_nStepY = 2;
    tick();
    EXPECT_EQ(widthAsked, 2);
    EXPECT_EQ(heightAsked, 2);

    state.m_nCurX = 20; // the new x, 18, is below the margin
    state.m_nCurY = 21; // the new y, 19, too
    state.m_nStepX = state.m_nStepY = -2;
    tick();
    EXPECT_EQ(widthAsked, 2);
    EXPECT_EQ(heightAsked, 2);
}

TEST(FigureTick, OnFixedScreensHeadingAwayIsAPlainReversal)
{
    // On a screen that keeps its size, turning away from the crossed edge
    // gives the same steps as reversing them whenever a margin is crossed.
    for (const auto& [width, height] :
         {std::pair{640, 480}, std::pair{1024, 768}, std::pair{1365, 767}, std::pair{41, 43}}) {
        FigureState state;
        state.Start(width, height);
        for (int tick = 0; tick < 20000; ++tick) {
            const std::int32_t stepX = state.m_nStepX, stepY = state.m_nStepY;
            TickOn(state, width, height);
            const std::int32_t x = state.m_nCurX, y = state.m_nCurY;
            const bool reverseX = x < 20 || x > width - 20;
            const bool reverseY = y < 20 || y > height - 20;
            ASSERT_EQ(state.m_nStepX, reverseX ? -stepX : stepX)
                << width << "x" << height << " tick " << tick;
            ASSERT_EQ(state.m_nStepY, reverseY ? -stepY : stepY)
                << width << "x" << height << " tick " << tick;
        }
    }
}

TEST(FigureTick, ComesBackIntoViewAfterTheScreenShrinks)
{
    FigureState state;
    state.Start(1024, 768);
    for (int tick = 0; tick < 240; ++tick) // out near the bottom-right corner
        TickOn(state, 1024, 768);
    ASSERT_GT(state.m_nCurX, 640);
    ASSERT_GT(state.m_nCurY, 480);

    int ticks = 0;
    while (state.m_nCurX > 640 - 18 || state.m_nCurY > 480 - 18) {
        TickOn(state, 640, 480);
        ASSERT_LT(++ticks, 1000) << "still outside at (" << state.m_nCurX << ", " << state.m_nCurY
                                 << ")";
    }
    for (int tick = 0; tick < 5000; ++tick) {
        TickOn(state, 640, 480);
        ASSERT_GE(state.m_nCurX, 18);
        ASSERT_LE(state.m_nCurX, 640 - 18);
        ASSERT_GE(state.m_nCurY, 18);
        ASSERT_LE(state.m_nCurY, 480 - 18);
    }
}

TEST(FigureStart, RestartWhileRunningRecentres)
{
    FigureState state;
    state.Start(640, 480);
    for (int tick = 0; tick < 200; ++tick)
        TickOn(state, 640, 480);
    state.Start(640, 480);
    FigureState fresh;
    fresh.Start(640, 480);
    using Bytes = std::array<std::uint8_t, sizeof(FigureState)>;
    EXPECT_EQ(std::bit_cast<Bytes>(state), std::bit_cast<Bytes>(fresh));
}

} // namespace
