#include "audio/VolumeMapping.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

struct ReadOutCase {
    float level;
    int position;
};

TEST(VolumeMappingTest, ReadOutTruncatesTheDoubleProduct)
{
    const ReadOutCase cases[] = {
        {1.0f, 0}, {0.0f, 100}, {0.5f, 50}, {0.75f, 25},
        {0.8f, 19},   // 0.800000011920929: the product is 19.9999988
        {0.7f, 30},   // 0.699999988079071: 30.0000011
        {0.25f, 75},
    };
    for (const ReadOutCase& c : cases)
        EXPECT_EQ(c.position, LevelToSliderPosition(c.level)) << "level " << c.level;
}

TEST(VolumeMappingTest, WriteUsesSinglePrecision)
{
    EXPECT_EQ(1.0f, SliderPositionToLevel(0));
    EXPECT_EQ(0.0f, SliderPositionToLevel(100));
    EXPECT_EQ(0.7f, SliderPositionToLevel(30));
    EXPECT_EQ(0.8f, SliderPositionToLevel(20));
    EXPECT_EQ(0.5f, SliderPositionToLevel(50));
}

// A level written from a position and read back unchanged lands one lower for exactly these
// 48 positions.
TEST(VolumeMappingTest, RoundTripLosesOneStepOnTheKnownPositions)
{
    std::vector<int> expected;
    const int ranges[][2] = {{1, 3},   {7, 8},   {13, 16}, {19, 21}, {26, 29}, {32, 32},
                             {38, 42}, {44, 45}, {51, 53}, {57, 59}, {63, 65}, {69, 71},
                             {76, 78}, {82, 84}, {88, 90}, {94, 96}};
    for (const auto& range : ranges) {
        for (int p = range[0]; p <= range[1]; ++p)
            expected.push_back(p);
    }
    ASSERT_EQ(48u, expected.size());

    std::vector<int> lower;
    for (int p = 0; p <= 100; ++p) {
        const int back = LevelToSliderPosition(SliderPositionToLevel(p));
        ASSERT_TRUE(back == p || back == p - 1) << "position " << p << " read back as " << back;
        if (back == p - 1)
            lower.push_back(p);
    }
    EXPECT_EQ(expected, lower);
}

TEST(VolumeMappingTest, GarbageLevelsStayInTheSliderRange)
{
    EXPECT_EQ(0, LevelToSliderPosition(1.5f));
    EXPECT_EQ(100, LevelToSliderPosition(-0.5f));
    EXPECT_EQ(0, LevelToSliderPosition(std::numeric_limits<float>::infinity()));
    EXPECT_EQ(100, LevelToSliderPosition(-std::numeric_limits<float>::infinity()));
    EXPECT_EQ(100, LevelToSliderPosition(std::numeric_limits<float>::quiet_NaN()));
}

}  // namespace
