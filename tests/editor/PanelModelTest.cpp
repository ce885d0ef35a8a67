// The attribute panel's rules without widgets: the last row of each video standard and
// the keyboard's steps.
#include "editor/PanelModel.h"
#include "GridModelRig.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;

class PanelModelTest : public ::testing::Test, protected test::TGridModelRig {
protected:
    TPanelModel panel{image, model};
};

TEST_F(PanelModelTest, UnderNtscRowsBelow12AreResetWhenShown) {
    Put(7, kVis, 4, 17);
    model.SelectNtsc(); // 17 moves up to 14, still off an NTSC screen
    ASSERT_EQ(image.YPos(0, 7), 14);
    EXPECT_EQ(panel.LastRow(), 12);
    model.SetSelected(7);
    panel.Refresh();
    EXPECT_EQ(image.YPos(0, 7), 0);
    EXPECT_EQ(image.XPos(0, 7), 4);
}

TEST_F(PanelModelTest, ArrowStepsStopAtTheSpinnerLimits) {
    Put(3, kVis, 29, 15);
    model.SetSelected(3);
    EXPECT_EQ(panel.Step(1, 1), (TCellPos{29, 15}));
    EXPECT_EQ(panel.Step(-1, -1), (TCellPos{28, 14}));
    Put(3, kVis, 0, 0);
    EXPECT_EQ(panel.Step(-1, -1), (TCellPos{0, 0}));
    // Under NTSC the last row is 12.
    Put(3, kVis, 5, 12);
    model.SelectNtsc();
    EXPECT_EQ(panel.Step(0, 1), (TCellPos{5, 12}));
    // The variometer keeps rows 3..12; the horizon has no place to move.
    Put(12, kVis, 5, 3);
    model.SetSelected(12);
    EXPECT_EQ(panel.Step(0, -1), (TCellPos{5, 3}));
    model.SelectPal();
    Put(12, kVis, 5, 12);
    EXPECT_EQ(panel.Step(0, 1), (TCellPos{5, 12}));
    model.SetSelected(item::Horizon);
    EXPECT_FALSE(panel.Step(1, 0));
}

TEST_F(PanelModelTest, TabStepsWrapAroundTheItemsShown) {
    model.SetSelected(19);
    EXPECT_EQ(panel.Neighbour(1), 0);
    model.SetSelected(0);
    EXPECT_EQ(panel.Neighbour(-1), 19);
    model.SetItemCount(1);
    EXPECT_EQ(panel.Neighbour(1), 0);
}

} // namespace
} // namespace halvex
