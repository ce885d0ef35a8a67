// A picture into chip pixels: every colour case and the threshold at exact size, scaling
// with the aspect kept and transparent padding, and dithering.
#include "link/PictureMapping.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace halvex;

namespace {

using P = TGlyphPixel;

struct TRgba {
    std::uint8_t R, G, B, A;
};

TRgbaPicture Filled(int width, int height, TRgba colour) {
    TRgbaPicture picture;
    picture.Width = width;
    picture.Height = height;
    for (int k = 0; k < width * height; ++k)
        picture.Rgba.insert(picture.Rgba.end(), {colour.R, colour.G, colour.B, colour.A});
    return picture;
}

void Set(TRgbaPicture& picture, int x, int y, TRgba colour) {
    std::uint8_t* px = picture.Rgba.data() + std::size_t(y * picture.Width + x) * 4;
    px[0] = colour.R;
    px[1] = colour.G;
    px[2] = colour.B;
    px[3] = colour.A;
}

P At(const TPixelBlock& block, int x, int y) {
    return block.Pixels[std::size_t(y * block.Width() + x)];
}

} // namespace

TEST(PictureMapping, ExactSizeMapsEachPixelByAlphaKeyAndLuminance) {
    TRgbaPicture picture = Filled(12, 18, {0, 0, 0, 255});
    const TRgba cases[] = {
        {255, 255, 255, 255}, // 0 white
        {0, 0, 0, 255},       // 1 black
        {255, 255, 255, 127}, // 2 alpha below 50 %: transparent
        {255, 255, 255, 128}, // 3 alpha 50 % and above: by luminance
        {0, 255, 0, 255},     // 4 the key: transparent
        {0, 254, 0, 255},     // 5 not quite the key: bright
        {128, 128, 128, 255}, // 6 luminance 128: at 50 % (127.5) white
        {127, 127, 127, 255}, // 7 luminance 127: black
        {255, 0, 0, 255},     // 8 red, luminance 76: black
        {255, 255, 0, 255},   // 9 yellow, luminance 226: white
    };
    for (int k = 0; k < 10; ++k)
        Set(picture, k, 0, cases[k]);
    const auto row = [&picture](int threshold) {
        const TPixelBlock block = MapPicture(picture, {1, 1, threshold, false});
        return std::vector<P>(block.Pixels.begin(), block.Pixels.begin() + 10);
    };
    const P T = P::Transparent, W = P::White, B = P::Black;
    EXPECT_EQ(row(50), (std::vector<P>{W, B, T, W, T, W, W, B, B, W}));
    EXPECT_EQ(row(51), (std::vector<P>{W, B, T, W, T, W, B, B, B, W}));
    EXPECT_EQ(row(0), (std::vector<P>{W, W, T, W, T, W, W, W, W, W}));
    EXPECT_EQ(row(100), (std::vector<P>{W, B, T, W, T, B, B, B, B, B}));
    EXPECT_TRUE(PlacePicture(12, 18, 1, 1).Exact);
}

TEST(PictureMapping, OtherSizesKeepTheAspectCentredOnTransparent) {
    EXPECT_TRUE(WholeCharacters(288, 72));
    EXPECT_FALSE(WholeCharacters(288, 70));
    EXPECT_FALSE(WholeCharacters(0, 18));
    // Wide: 24 x 12 into 2 x 1 characters (24 x 18) keeps its size, 3 rows above and below.
    const TPixelBlock wide = MapPicture(Filled(24, 12, {255, 255, 255, 255}), {2, 1, 50, false});
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(At(wide, x, y), y >= 3 && y < 15 ? P::White : P::Transparent)
                << x << "," << y;
    // Tall and large: 40 x 180, black left half, into one character: 4 x 18 in columns 4..7.
    TRgbaPicture tall = Filled(40, 180, {255, 255, 255, 255});
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 20; ++x)
            Set(tall, x, y, {0, 0, 0, 255});
    const TPlacement place = PlacePicture(40, 180, 1, 1);
    EXPECT_EQ(place.X, 4);
    EXPECT_EQ(place.Width, 4);
    EXPECT_EQ(place.Height, 18);
    EXPECT_FALSE(place.Exact);
    const TPixelBlock block = MapPicture(tall, {1, 1, 50, false});
    for (int y = 0; y < 18; ++y) {
        const std::vector<P> row(block.Pixels.begin() + y * 12, block.Pixels.begin() + y * 12 + 12);
        const P T = P::Transparent, W = P::White, B = P::Black;
        ASSERT_EQ(row, (std::vector<P>{T, T, T, T, B, B, W, W, T, T, T, T})) << y;
    }
    // A key-coloured background scales to transparency, not to green's luminance.
    const TPixelBlock keyed = MapPicture(Filled(50, 50, {0, 255, 0, 255}), {1, 1, 50, false});
    EXPECT_TRUE(std::all_of(keyed.Pixels.begin(), keyed.Pixels.end(),
                            [](P p) { return p == P::Transparent; }));
}

TEST(PictureMapping, DitheringShowsAGreyAsAMixAndSparesTransparentPixels) {
    // A quarter-bright grey with one transparent column, 3 x 2 characters.
    TRgbaPicture picture = Filled(36, 36, {64, 64, 64, 255});
    for (int y = 0; y < 36; ++y)
        Set(picture, 10, y, {255, 255, 255, 0});
    const TPixelBlock plain = MapPicture(picture, {3, 2, 50, false});
    const TPixelBlock dithered = MapPicture(picture, {3, 2, 50, true});
    const auto count = [](const TPixelBlock& b, P p) {
        return std::count(b.Pixels.begin(), b.Pixels.end(), p);
    };
    EXPECT_EQ(count(plain, P::White), 0);
    const double white = static_cast<double>(count(dithered, P::White)) / (35 * 36);
    EXPECT_GT(white, 0.2);
    EXPECT_LT(white, 0.3);
    for (int y = 0; y < 36; ++y)
        ASSERT_EQ(At(dithered, 10, y), P::Transparent);
    // The block's characters, row by row.
    EXPECT_EQ(dithered.Glyph(0, 1)[10], At(dithered, 10, 18));
    EXPECT_EQ(dithered.Glyph(2, 1)[kGlyphWidth + 3], At(dithered, 27, 19));
}

// INAV's logo sheets mark transparency with grey (128, 128, 128): under the green key they
// come out as a solid white box, under the corner key as the logo alone (the key counting
// before any scaling); a transparent corner keys nothing.
TEST(PictureMapping, TheTransparentKeyIsGreenTheCornerColourOrNone) {
    const TRgba grey{128, 128, 128, 255}, white{255, 255, 255, 255};
    TRgbaPicture sheet = Filled(24, 36, grey); // twice the size of one character
    for (int y = 12; y < 24; ++y)
        for (int x = 8; x < 16; ++x)
            Set(sheet, x, y, white);
    for (int k = 0; k < 4; ++k) // two by two: one pixel of the block
        Set(sheet, 20 + k % 2, 30 + k / 2, {0, 255, 0, 255});
    const auto mapped = [](const TRgbaPicture& picture, TTransparentKey key) {
        TMappingOptions o;
        o.Key = key;
        return MapPicture(picture, o);
    };
    const auto pixels = [&](TTransparentKey key) { // background, logo, green
        const TPixelBlock b = mapped(sheet, key);
        return std::vector<P>{At(b, 0, 0), At(b, 5, 8), At(b, 10, 15)};
    };
    const P T = P::Transparent, W = P::White;
    EXPECT_EQ(pixels(TTransparentKey::Green), (std::vector<P>{W, W, T}));
    EXPECT_EQ(pixels(TTransparentKey::Corner), (std::vector<P>{T, W, W}));
    EXPECT_EQ(pixels(TTransparentKey::None), (std::vector<P>{W, W, W}));
    const TPixelBlock logo = mapped(sheet, TTransparentKey::Corner);
    EXPECT_EQ(std::count(logo.Pixels.begin(), logo.Pixels.end(), W), 4 * 6 + 1);
    TRgbaPicture clear = Filled(12, 18, {0, 0, 0, 0});
    Set(clear, 3, 3, {0, 0, 0, 255});
    EXPECT_EQ(At(mapped(clear, TTransparentKey::Corner), 3, 3), P::Black);
}

TEST(PictureMapping, TheOutlineEdgesWhiteShapesWithOneBlackPixel) {
    TRgbaPicture picture = Filled(12, 18, {0, 0, 0, 0});
    for (const auto& [x, y] : {std::pair{5, 8}, {6, 8}, {0, 0}}) // a bar, and a block corner
        Set(picture, x, y, {255, 255, 255, 255});
    TMappingOptions o;
    o.Outline = true;
    const TPixelBlock block = MapPicture(picture, o);
    // 4 x 3 around the bar, 3 at the corner; diagonals too, nothing further.
    EXPECT_EQ(std::count(block.Pixels.begin(), block.Pixels.end(), P::Black), 10 + 3);
    EXPECT_EQ((std::vector<P>{At(block, 4, 7), At(block, 7, 9), At(block, 1, 1), At(block, 8, 8)}),
              (std::vector<P>{P::Black, P::Black, P::Black, P::Transparent}));
}

TEST(PictureMapping, PicturesAreReadAtTheSizeTheirBlockNeeds) {
    // A photo into a PAL screen of characters (360 x 288): four times its place there.
    EXPECT_EQ(ReadingSize(8000, 6000, 30, 16, false), (TPictureSize{1440, 1080}));
    EXPECT_EQ(ReadingSize(1000, 500, 30, 16, false), (TPictureSize{1000, 500}));
    // A vector picture is drawn at its place in the block, whatever its own size.
    EXPECT_EQ(ReadingSize(100, 20, 24, 4, true), (TPictureSize{288, 58}));
    EXPECT_EQ(ReadingSize(5000, 1000, 24, 4, true), (TPictureSize{288, 58}));
}
