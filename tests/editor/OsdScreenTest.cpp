// The board's screen taken from the grid's cell model: glyph bytes and what is left out.
#include "editor/OsdScreen.h"
#include "GridModelRig.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;

class OsdScreenTest : public ::testing::Test, protected test::TGridModelRig {
protected:
    TOsdScreen screen;
};

TEST_F(OsdScreenTest, PolishAndSpecialCharactersUseTheirWindows1250Byte) {
    // "Łódź" as the board stores it, and the compass's degree sign.
    const std::uint8_t name[] = {0xA3, 0xF3, 0x64, 0x9F};
    for (std::size_t k = 0; k < sizeof name; ++k)
        image.SetByte(ofs::UserName + k, name[k]);
    image.SetByte(ofs::UserName + sizeof name, 0);
    catalogue.ReadUserName(image);
    Put(item::UserName, kVis, 2, 1);
    Put(15, kVis, 10, 3); // the compass: "[]180°"
    screen.Build(model, true);
    EXPECT_EQ(screen.Cell(2, 1).Glyph, 0xA3);
    EXPECT_EQ(screen.Cell(3, 1).Glyph, 0xF3);
    EXPECT_EQ(screen.Cell(5, 1).Glyph, 0x9F);
    EXPECT_EQ(screen.Cell(15, 3).Glyph, 0xB0);
}

TEST_F(OsdScreenTest, HiddenItemsLeaveNothingAndCoverNothing) {
    Put(1, kVis, 4, 2);           // "*00:00" in columns 4..9
    Put(2, flag::Blinking, 6, 2); // hidden, drawn later over columns 6..11
    model.SetSelected(2);
    screen.Build(model, true);
    EXPECT_EQ(screen.Cell(6, 2).Glyph, '0');
    EXPECT_FALSE(screen.Cell(6, 2).Selected);
    EXPECT_FALSE(screen.Cell(10, 2).Drawn);
    // The grid itself still shows the hidden item's pale text over the visible one.
    model.Redraw();
    EXPECT_EQ(model.Text(6, 2), "*");
    screen.Build(model, false);
    EXPECT_FALSE(screen.Cell(4, 2).Drawn);
}

TEST_F(OsdScreenTest, NegativeAndGreyItemsCarryTheirAttributesToEachCell) {
    Put(1, kVis | flag::Negative, 2, 1); // "*00:00"
    Put(2, kVis | flag::Grey, 2, 3);     // "*11:22"
    Put(item::Variometer, kVis | flag::Negative, 25, 4);
    image.SetFlags(image.Mode(), item::Horizon, kVis | flag::Negative);
    screen.Build(model, true);
    EXPECT_TRUE(screen.Cell(7, 1).Negative);
    EXPECT_FALSE(screen.Cell(7, 1).GreyBackground);
    EXPECT_TRUE(screen.Cell(7, 3).GreyBackground);
    EXPECT_FALSE(screen.Cell(7, 3).Negative);
    // The horizon's line and the variometer's bar follow their own Negative box.
    EXPECT_TRUE(screen.Cell(10, 8).Negative);
    EXPECT_TRUE(screen.Cell(25, 1).Negative);
    EXPECT_TRUE(screen.Cell(25, 7).Negative);
}

} // namespace
} // namespace halvex
