// Which characters the layout's items are drawn with, from the grid's own cell model.
#include "editor/GlyphUse.h"
#include "GridModelRig.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

class GlyphUseTest : public ::testing::Test, protected test::TGridModelRig {};

TEST_F(GlyphUseTest, ItemsCountWhatTheyDrawInAnyLayoutModeAndDigitsAsAll) {
    constexpr int speed = 8, height = 7, distance = 9;
    Put(1, speed, flag::Visible, 2, 3);     // "»100k" in layout mode MIN
    Put(2, height, flag::Visible, 5, 5);    // "=1000m" in layout mode ALL
    Put(0, distance, flag::Blinking, 5, 7); // hidden: the board draws nothing
    const TGlyphUse use = ItemGlyphs(model);
    for (const int c : {0xBB, int{'k'}, int{'0'}, int{'4'}, int{'9'}})
        EXPECT_TRUE(use[speed].test(static_cast<std::size_t>(c))) << c;
    EXPECT_EQ(use[speed].count(), 12u);
    EXPECT_TRUE(use[height].test('='));
    EXPECT_TRUE(use[distance].none());
    EXPECT_TRUE(use[item::Horizon].none());

    const TGlyphConflict digits = GlyphConflict(use, 48, 10);
    EXPECT_EQ(digits.Items, (std::vector<int>{height, speed}));
    EXPECT_EQ(CodeRanges(digits.Codes), "48-57");
    const TGlyphConflict none = GlyphConflict(use, 192, 64); // "»" is 187
    EXPECT_TRUE(none.Empty());
    TGlyphCodes codes;
    for (const int c : {1, 2, 3, 5, 7, 8, 255})
        codes.set(static_cast<std::size_t>(c));
    EXPECT_EQ(CodeRanges(codes), "1-3, 5, 7-8, 255");
}

} // namespace
} // namespace halvex
