// A picture into a block of C x R characters of a set: every chip pixel black, white or
// transparent, from plain RGBA pixels (the window and halvexctl read the picture with Qt's
// image reader and hand its pixels here).
//
// A picture of exactly 12*C x 18*R pixels maps pixel by pixel. Any other size is scaled to
// fit the block with its aspect ratio kept (area averaging, so a large photo loses no
// detail to skipped pixels), centred, and the block's pixels around it are transparent.
//
// A pixel is transparent when its alpha is below 50 % (below 128) or it is the key colour,
// pure green (0, 255, 0); the key counts as transparent before any scaling, so that its
// edges average like those of a transparent background. Any other pixel is white when its
// luminance (Rec. 601: 0.299 R + 0.587 G + 0.114 B) is at or above the threshold, else black.
// With dithering, the error of each black or white decision goes to the neighbours
// (Floyd-Steinberg, 7/16 right, 3/16 down-left, 5/16 down, 1/16 down-right), never into a
// transparent pixel.
#pragma once

#include "link/FontFile.h"

#include <cstdint>
#include <string>
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

struct TMappingOptions {
    int Columns = 1;           // characters across the block, at least 1
    int Rows = 1;              // characters down the block, at least 1
    int ThresholdPercent = 50; // 0..100: luminance at or above it is white
    bool Dither = false;
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

// `path` names something other than a plain file (links followed): a folder, a FIFO, a
// socket or a device. Pictures are read only from plain files: a FIFO without a writer
// would hold the image reader forever.
bool SpecialFile(const std::string& path);

// A picture of `width` x `height` pixels is a whole number of characters: 12*C x 18*R.
bool WholeCharacters(int width, int height);
// Where a picture of `width` x `height` lands in a block of `columns` x `rows` characters.
TPlacement PlacePicture(int width, int height, int columns, int rows);
// The block for `picture` (an empty picture gives a transparent block).
TPixelBlock MapPicture(const TRgbaPicture& picture, const TMappingOptions& options);

} // namespace halvex
