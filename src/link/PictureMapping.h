// A picture into a block of C x R characters of a set: every chip pixel black, white or
// transparent, from plain RGBA pixels (the window and halvexctl read the picture with Qt's
// image reader and hand its pixels here).
//
// A picture of exactly 12*C x 18*R pixels maps pixel by pixel. Any other size is scaled to
// fit the block with its aspect ratio kept (area averaging, so a large photo loses no
// detail to skipped pixels), centred, and the block's pixels around it are transparent.
//
// A pixel is transparent when its alpha is below 50 % (below 128) or it is the key colour:
// pure green (0, 255, 0) by default, the colour of the picture's top-left pixel (logo sheets
// that mark transparency with grey 128, 128, 128), or none. The key counts as transparent
// before the scaling here, so that its edges average like those of a transparent background
// (a picture far larger than its block has been reduced by its reader before). Any
// other pixel is white when its luminance (Rec. 601: 0.299 R + 0.587 G + 0.114 B) is at or
// above the threshold, else black. With dithering, the error of each black or white decision
// goes to the neighbours (Floyd-Steinberg, 7/16 right, 3/16 down-left, 5/16 down, 1/16
// down-right), never into a transparent pixel. With the outline, every transparent pixel
// beside a white one (diagonals too) turns black: white shapes get a one-pixel black edge,
// which reads far better on analogue video.
#pragma once

#include "link/FontFile.h"

#include <cstdint>
#include <vector>

namespace halvex {

// Pixels row by row, four bytes each: red, green, blue, alpha (not premultiplied).
struct TRgbaPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgba;
};

// A picture from rows of RGBA bytes `bytesPerLine` apart (an image's scan lines).
TRgbaPicture RgbaPicture(int width, int height, const std::uint8_t* rows, std::size_t bytesPerLine);

// The colour that stands for transparency besides the alpha channel.
enum class TTransparentKey {
    Green,  // pure green (0, 255, 0)
    Corner, // the colour of the top-left pixel, when that pixel is opaque
    None,   // only the alpha channel
};

struct TMappingOptions {
    int Columns = 1;           // characters across the block, at least 1
    int Rows = 1;              // characters down the block, at least 1
    int ThresholdPercent = 50; // 0..100: luminance at or above it is white
    bool Dither = false;
    TTransparentKey Key = TTransparentKey::Green;
    bool Outline = false; // a black edge around white shapes
};

// Where the picture lies in the block, in chip pixels.
struct TPlacement {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool Exact = false; // the picture is the block's size: mapped pixel by pixel
};

// The chip pixels of the block: 12*C x 18*R, row by row.
struct TPixelBlock {
    int Columns = 0;
    int Rows = 0;
    std::vector<TGlyphPixel> Pixels;
    int Width() const { return Columns * kGlyphWidth; }
    int Height() const { return Rows * kGlyphHeight; }
    // The picture of the block's character in `column`, `row`.
    TGlyph Glyph(int column, int row) const;
};

// A picture's size in pixels.
struct TPictureSize {
    int Width = 0;
    int Height = 0;
    bool operator==(const TPictureSize&) const = default;
};

// A picture larger than its place in a block is read at most this many times that size in
// each direction: the area averaging still sees every detail the block's pixels can show,
// and a photo of many megapixels costs no more memory or time than that.
constexpr int kReadOversample = 4;

// The size to read a picture of `width` x `height` pixels at, for a block of `columns` x
// `rows` characters. A vector picture is drawn at its size in the block (thin lines are
// then as thick as the block allows, not enlarged or reduced afterwards). Any other is read
// at its own size, or reduced, its aspect kept, to kReadOversample times its size in the
// block when it is larger than that.
TPictureSize ReadingSize(int width, int height, int columns, int rows, bool vector);

// A picture of `width` x `height` pixels is a whole number of characters: 12*C x 18*R.
bool WholeCharacters(int width, int height);
// Where a picture of `width` x `height` lands in a block of `columns` x `rows` characters.
TPlacement PlacePicture(int width, int height, int columns, int rows);
// The block for `picture` (an empty picture gives a transparent block).
TPixelBlock MapPicture(const TRgbaPicture& picture, const TMappingOptions& options);

} // namespace halvex
