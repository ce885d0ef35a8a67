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

// A row the NTSC screen does not have becomes its last row, 12, not the top row.
TEST_F(PanelModelTest, UnderNtscRowsBeyond12BecomeRow12WhenShown) {
    Put(7, kVis, 4, 17);
    model.SelectNtsc(); // 17 moves up to 14, still off an NTSC screen
    ASSERT_EQ(image.YPos(0, 7), 14);
    EXPECT_EQ(panel.LastRow(), 12);
    model.SetSelected(7);
    panel.Refresh();
    EXPECT_EQ(image.YPos(0, 7), 12);
    EXPECT_EQ(image.XPos(0, 7), 4);
}

// The variometer's rows 3..12 after a spinner click: an up click on row 12 stays there
// also under NTSC, where the spinner itself wraps from 12 to 0.
TEST_F(PanelModelTest, VariometerSpinnerLimitsWithoutTheNtscWrap) {
    model.SetSelected(12);
    Put(12, kVis, 5, 12);
    model.SelectNtsc();
    EXPECT_EQ(panel.LimitY(0, true), 12);
    model.SelectPal();
    EXPECT_EQ(panel.LimitY(13, true), 12);
    Put(12, kVis, 5, 0); // dragged to the top row
    EXPECT_EQ(panel.LimitY(1, true), 3);
    Put(12, kVis, 5, 3);
    EXPECT_EQ(panel.LimitY(2, false), 3);
    model.SetSelected(4);
    EXPECT_EQ(panel.LimitY(0, true), 0); // other items wrap freely
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
