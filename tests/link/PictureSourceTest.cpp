// Pictures read from files: a large raster picture at the size its block needs (and once),
// above Qt's own memory limit, and a vector picture drawn at its size in the block.
#include "link/PictureSource.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace halvex {
namespace {

std::size_t Count(const TPixelBlock& block, TGlyphPixel p) {
    return static_cast<std::size_t>(std::count(block.Pixels.begin(), block.Pixels.end(), p));
}

class PictureSource : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    QTemporaryDir dir;
};

// 6000 x 6000 pixels: over Qt's default memory limit (128 MB, counted at 4 bytes a pixel),
// within ours; read at four times its place in one character, once for smaller blocks too.
TEST_F(PictureSource, ALargePictureIsReadAtTheSizeItsBlockNeedsAndOnce) {
    QImage sheet(6000, 6000, QImage::Format_Mono);
    sheet.fill(1);
    ASSERT_TRUE(sheet.save(dir.filePath("big.bmp")));
    TPictureSource source = TPictureSource::FromFile(Path("big.bmp"));
    const TRgbaPicture& read = source.ForBlock(2, 1);
    ASSERT_TRUE(source.Usable()) << source.Error();
    EXPECT_EQ((TPictureSize{read.Width, read.Height}), (TPictureSize{72, 72}));
    EXPECT_EQ(source.ForBlock(1, 1).Width, 72);
    EXPECT_EQ(source.Width(), 6000);
}

// A line 0.4 units thick across a 100 x 20 drawing, put into 24 x 4 characters: drawn at the
// natural size it covers no pixel by half and is lost when enlarged; drawn at the block's
// size (2.88 times) it covers a row of pixels and stays.
TEST_F(PictureSource, AVectorPictureIsDrawnAtItsSizeInTheBlock) {
    std::ofstream(Path("logo.svg"))
        << R"(<svg xmlns="http://www.w3.org/2000/svg" width="100" height="20")"
        << R"( viewBox="0 0 100 20">)"
        << R"(<rect x="0" y="9.8" width="100" height="0.4" fill="white"/></svg>)";
    TPictureSource source = TPictureSource::FromFile(Path("logo.svg"));
    ASSERT_TRUE(source.Usable()) << source.Error();
    EXPECT_TRUE(source.Vector());
    TMappingOptions block;
    block.Columns = 24;
    block.Rows = 4;
    const TRgbaPicture& drawn = source.ForBlock(24, 4);
    EXPECT_EQ((TPictureSize{drawn.Width, drawn.Height}), (TPictureSize{288, 58}));
    EXPECT_GE(Count(MapPicture(drawn, block), TGlyphPixel::White), 288u);
    EXPECT_EQ(Count(MapPicture(source.Whole(), block), TGlyphPixel::White), 0u);
}

} // namespace
} // namespace halvex
