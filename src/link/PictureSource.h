// A picture to put into characters: pixels already in memory, or a picture file read with
// Qt's image reader (PNG, JPEG, BMP, GIF, SVG through Qt SVG's plugin, ...) at the size each
// block needs (ReadingSize, PictureMapping.h). The character editor's picture import and
// halvexctl glyphs read their pictures here, the same way.
//
// Files are read from plain files only (a FIFO without a writer would hold the reader
// forever), turned as their orientation says. Qt refuses a picture whose pixels would take
// more than its allocation limit (128 MB, counted at 4 bytes a pixel at least); a phone photo
// of 48 megapixels needs 192 MB. Reading here raises the limit to kPictureMemoryMb, without
// lifting it: a crafted header still cannot make the program take gigabytes. Formats whose
// reader scales while decoding (JPEG in steps of 1/2, 1/4 and 1/8, PNG row by row, SVG by
// drawing at the size asked) never hold a large picture whole.
//
// The last read is kept: a block that needs no larger raster picture, or a vector picture of
// the same size, uses it again, so the import dialog reads a photo once, and draws a vector
// picture again only when the block's size changes.
#pragma once

#include "link/PictureMapping.h"

#include <string>

namespace halvex {

// Qt's image allocation limit while pictures are read here, in megabytes: a 48-megapixel
// picture at 4 bytes a pixel (183 MB) with room to spare.
constexpr int kPictureMemoryMb = 256;

class TPictureSource {
public:
    // Pixels in memory: the same pixels for every block.
    explicit TPictureSource(TRgbaPicture pixels);
    // The picture in the file `path`: its size and kind are read now, its pixels when a
    // block asks for them.
    static TPictureSource FromFile(const std::string& path);

    // False once the file proved unreadable: Error() says why.
    bool Usable() const { return error_.empty(); }
    // "not a picture file", or the image reader's reason ("Unable to read image data", ...).
    const std::string& Error() const { return error_; }
    // Its own size, turned as it is shown.
    int Width() const { return size_.Width; }
    int Height() const { return size_.Height; }
    bool Vector() const { return vector_; }

    // The picture for a block of `columns` x `rows` characters, at ReadingSize; an empty
    // picture when it cannot be read (Usable() is false then).
    const TRgbaPicture& ForBlock(int columns, int rows);
    // The picture at its own size.
    const TRgbaPicture& Whole();

private:
    TPictureSource() = default;
    const TRgbaPicture& ReadAt(TPictureSize size);

    std::string path_; // empty: pixels in memory
    TPictureSize size_;
    bool vector_ = false;
    bool turned_ = false; // stored a quarter turn from how it is shown
    TRgbaPicture pixels_;
    std::string error_;
};

} // namespace halvex
