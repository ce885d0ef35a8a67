// Layout helpers of the editor beside picking and dragging, without any GUI: the nine
// anchor places of an item, copying one item's record to another layout mode, applying a
// preset's layouts to the image, and the geometry of the screen guides.
#pragma once

#include "config/ConfigImage.h"
#include "editor/GridModel.h"

#include <cstdint>
#include <optional>

namespace halvex {

// The four corners, the four edge middles and the centre, row by row.
enum class TAnchor { TopLeft, Top, TopRight, Left, Centre, Right, BottomLeft, Bottom, BottomRight };
constexpr int kAnchorCount = 9;

// A band of whole rows, First to Last.
struct TRowSpan {
    int First;
    int Last;
    bool operator==(const TRowSpan&) const = default;
};

// Where `item`, `width` cells wide, stands at `anchor` within 30 columns and the rows of
// `rows` (the whole screen: 0 .. 12 under NTSC, 0 .. 15 under PAL; or WideScreenRows), whole
// in them: column 0, (30 - width) / 2 or 30 - width; row First, (First + Last) / 2 or Last.
// The variometer's bar reaches 3 rows above and below its row, so its row stays within
// First + 3 .. Last - 3. Nothing for the horizon, whose position bytes are its
// sensitivities.
std::optional<TCellPos> AnchorPlace(int item, int width, TAnchor anchor, TRowSpan rows);

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

// Applies a preset as the preset chooser and `halvexctl preset` do: TakePresetLayout for
// layout mode `mode`, or for all three with kAllLayoutModes; then, when the image is NTSC,
// rows a PAL preset uses below the last NTSC row move up (MoveIntoNtscRows).
void ApplyPresetLayouts(TConfigImage& image, const TConfigImage& preset, int mode);

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
// The rows wholly inside WideScreenArea (a row its edge crosses is partly cut off): 2 .. 10
// of NTSC's 13, 2 .. 13 of PAL's 16. Text there is seen in every mode of a 16:9 screen.
TRowSpan WideScreenRows(int rows);

} // namespace halvex
