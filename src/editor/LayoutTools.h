// Layout helpers of the editor beside picking and dragging, without any GUI: the nine
// anchor places of an item, copying one item's record to another layout mode, taking the
// layouts of a preset into the image, and the geometry of the screen guides.
#pragma once

#include "config/ConfigImage.h"
#include "editor/GridModel.h"

#include <cstdint>
#include <optional>

namespace halvex {

// The four corners, the four edge middles and the centre, row by row.
enum class TAnchor { TopLeft, Top, TopRight, Left, Centre, Right, BottomLeft, Bottom, BottomRight };
constexpr int kAnchorCount = 9;

// Where `item`, `width` cells wide, stands at `anchor` on a screen of 30 columns and `rows`
// rows (13 under NTSC, 16 under PAL), whole on it: column 0, (30 - width) / 2 or 30 - width;
// row 0, (rows - 1) / 2 or rows - 1. The variometer's bar reaches 3 rows above and below
// its row, so its row stays within 3 .. rows - 4. Nothing for the horizon, whose position
// bytes are its sensitivities.
std::optional<TCellPos> AnchorPlace(int item, int width, TAnchor anchor, int rows);

// Copies the record (Flags, X_Pos, Y_Pos) of `item` from layout mode `from` to `to`.
void CopyItemRecord(TConfigImage& image, int item, int from, int to);

// Flags bits that are an item's settings rather than its place and look: the option bit
// (audible vario, HDOP display, temperature sensor) and bits 5 and 6, which the editor
// never touches.
constexpr std::uint8_t kItemSettingBits = flag::Option | 0x20 | 0x40;

// Takes layout mode `mode` of `preset` into the same layout mode of `image`: every item's
// Flags and position, except the bits of kItemSettingBits and the horizon's position
// bytes (its Nick and Roll sensitivities), which keep the values `image` has.
void TakePresetLayout(TConfigImage& image, const TConfigImage& preset, int mode);

// A guide's rectangle in cells from the screen's top-left corner; an edge may fall inside
// a cell.
struct TGuideBox {
    double Left;
    double Top;
    double Right;
    double Bottom;
};

// The grid's 30 columns and 13 or 16 rows stand for the whole 4:3 picture (the MAX7456
// spreads them over about the full visible line and field).
//
// Title-safe area: the middle 80 % of the width and of the height, where text is safe from
// the overscan of any screen (the broadcast rule for 4:3 pictures).
TGuideBox TitleSafeArea(int rows);
// What a 16:9 goggle screen shows of the 4:3 picture in its zoom (fill) mode: the full
// width scaled to the screen's width, so only the middle 3/4 of the height fits and 1/8 is
// cut off at the top and at the bottom. In its 4:3 mode (black bars at the sides) and its
// stretch mode (the picture widened) nothing is cut off; no mode cuts columns.
TGuideBox WideScreenArea(int rows);

} // namespace halvex
