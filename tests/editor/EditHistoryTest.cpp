// The edit history's GUI-free parts: exact steps, the written state, layout copy and
// restore.
#include "editor/EditHistory.h"
#include "ParkedImage.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

class EditHistoryTest : public ::testing::Test, protected test::TParkedImage {};

TEST_F(EditHistoryTest, UndoPutsBackOnlyTheBytesTheStepChanged) {
    const TImageBytes before = Snapshot(image);
    Put(0, 5, flag::Visible, 3, 4);
    const TImageStep step{before, Snapshot(image)};
    image.SetMode(2); // a later change the step did not make
    step.Undo(image);
    TImageBytes expected = before;
    expected[ofs::Mode] = 2;
    EXPECT_EQ(Snapshot(image), expected);
    step.Redo(image);
    EXPECT_EQ(image.XPos(0, 5), 3);
    EXPECT_EQ(image.Mode(), 2);
}

TEST_F(EditHistoryTest, ModifiedFollowsTheLastConfirmedImage) {
    TWrittenState written;
    EXPECT_FALSE(written.Modified(image)); // nothing read yet
    written.Confirmed(image);
    image.SetXPos(0, 5, 7);
    EXPECT_TRUE(written.Modified(image));
    image.SetMode(1); // the layout mode shown does not count
    image.SetXPos(0, 5, 40);
    EXPECT_FALSE(written.Modified(image)); // back to what the board holds
    // A write counts the image as it started, and only once it completes.
    image.SetXPos(0, 5, 8);
    written.WriteStarted(image);
    image.SetYPos(0, 5, 9);
    EXPECT_TRUE(written.Modified(image));
    written.WriteCompleted();
    image.SetYPos(0, 5, 15);
    EXPECT_FALSE(written.Modified(image));
    written.WriteStarted(image);
    image.SetXPos(0, 5, 1);
    written.WriteFailed();
    written.WriteCompleted();
    EXPECT_TRUE(written.Modified(image));
}

// The editor adjusts what it read (a mode above 2, NTSC rows above 12): the image then
// differs from the board, and the mark says so.
TEST_F(EditHistoryTest, AnImageAdjustedAfterTheReadIsModified) {
    TWrittenState written;
    image.SetMode(7);
    written.Confirmed(Snapshot(image));
    image.SetMode(2);
    EXPECT_TRUE(written.Modified(image));
    image.SetMode(1);
    image.SetYPos(0, 5, 15);
    written.Confirmed(Snapshot(image));
    image.SetYPos(0, 5, 12);
    EXPECT_TRUE(written.Modified(image));
}

TEST_F(EditHistoryTest, LayoutCopyAndRestoreMoveTheTwentyRecordsOfOneMode) {
    TWrittenState written;
    written.Confirmed(image);
    Put(0, 1, flag::Visible, 1, 1);
    Put(0, 19, flag::Visible | flag::Blinking, 20, 12);
    const std::uint8_t nextBlock = image.Byte(ItemRecordOffset(1, 19) + 3);
    CopyLayout(image, 0, 1);
    for (int i = 0; i < kItemCount; ++i) {
        EXPECT_EQ(image.Flags(1, i), image.Flags(0, i)) << i;
        EXPECT_EQ(image.XPos(1, i), image.XPos(0, i)) << i;
        EXPECT_EQ(image.YPos(1, i), image.YPos(0, i)) << i;
    }
    EXPECT_EQ(image.Byte(ItemRecordOffset(1, 19) + 3), nextBlock);
    RestoreLayout(image, *written.Board(), 1);
    EXPECT_EQ(image.XPos(1, 19), 40);
    EXPECT_EQ(image.XPos(0, 19), 20); // other modes keep their edits
}

} // namespace
} // namespace halvex
