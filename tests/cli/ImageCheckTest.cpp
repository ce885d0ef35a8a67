// The check of `halvexctl write --image`: against the board's own image.
#include "cli/ImageCheck.h"

#include <gtest/gtest.h>

namespace halvex::cli {
namespace {

TConfigImage Board() {
    TConfigImage board;
    board.SetWord(ofs::FirmwareVersion, 0x0105);
    board.SetMode(7); // out of range on the board itself
    for (int mode = 0; mode < kLayoutModes; ++mode)
        for (int item = 1; item < kItemCount; ++item) {
            board.SetXPos(mode, item, 3);
            board.SetYPos(mode, item, 4);
        }
    board.SetXPos(0, 0, 150); // the horizon's sensitivities, no position
    return board;
}

TEST(ImageCheck, AnImageOfThisBoardPassesAndOneDifferingOutOfRangeIsNamed) {
    const TConfigImage board = Board();
    EXPECT_EQ(ImageRefusal(board, board), std::nullopt);
    TConfigImage image = board;
    image.SetWord(ofs::FirmwareVersion, 0xE32D); // the top three bits do not count
    EXPECT_EQ(ImageRefusal(image, board), "firmware v3.2D in the image, v1.05 on the OSD");
    image = board;
    image.SetWord(ofs::FirmwareVersion, 0x2105);
    image.SetMode(2);
    image.SetXPos(2, 0, 200);
    image.SetXPos(1, 4, 29);
    image.SetYPos(1, 4, 15);
    EXPECT_EQ(ImageRefusal(image, board), std::nullopt);
    image.SetMode(3);
    EXPECT_EQ(ImageRefusal(image, board), "layout mode 3 in the image");
    image.SetMode(2);
    image.SetXPos(1, 4, 31);
    EXPECT_EQ(ImageRefusal(image, board), "column 31 of item 4 in layout mode MIN in the image");
    image.SetXPos(1, 4, 3);
    image.SetYPos(2, 19, 16);
    EXPECT_EQ(ImageRefusal(image, board), "row 16 of item 19 in layout mode ALL in the image");
}

} // namespace
} // namespace halvex::cli
