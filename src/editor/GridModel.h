// The layout grid's cell model, without any GUI: the cell text store, the cell attribute
// map, drawing the display items of the current layout mode from the configuration image,
// the cell colours, and the pick and drag rules of the mouse.
//
// The grid has 30 columns and 16 (PAL) or 13 (NTSC) rows of 12 x 16 pixel cells with
// 1-pixel lines between them. Drawing also writes into a hidden margin (column 30 and the
// rows below the last grid row, up to row 18); those cells are kept but never painted.
#pragma once

#include "config/ConfigImage.h"
#include "config/ItemCatalogue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halvex {

namespace grid {
constexpr int Columns = 30;             // painted columns 0..29
constexpr int PalRows = 16;             // rows under PAL
constexpr int NtscRows = 13;            // rows under NTSC
constexpr int ClearRows = 16;           // the grid clear blanks rows 0..15 in either standard
constexpr int CellWidth = 12;           // pixels
constexpr int CellHeight = 16;          // pixels
constexpr int PitchX = 13;              // cell plus the 1-pixel grid line
constexpr int PitchY = 17;              // cell plus the 1-pixel grid line
constexpr int Width = Columns * PitchX; // 390 pixels
constexpr int HiddenColumn = 30;        // where characters right of column 29 land
constexpr int TextColumns = 31;         // text store: columns 0..30
constexpr int TextRows = 19;            // text store: rows 0..18
constexpr int AttrColumns = 64;         // attribute map
constexpr int AttrRows = 32;
constexpr int MaxX = 29; // largest position an item keeps once shown in the panel
constexpr int MaxY = 15; // the last PAL row; under NTSC the last row is 12

constexpr int HeightFor(int rows) {
    return rows * PitchY;
} // 272 or 221 pixels
} // namespace grid

// Bits of a cell's attribute byte.
namespace cell {
constexpr std::uint8_t Visible = 0x80;  // copy of the item's visible bit
constexpr std::uint8_t Selected = 0x40; // the cell belongs to the selected item
constexpr std::uint8_t Overlap = 0x20;  // the cell held text other than " " when drawn
constexpr std::uint8_t Small = 0x08;    // copy of the small-font bit
constexpr std::uint8_t Grey = 0x04;     // copy of the grey-background bit
constexpr std::uint8_t Blink = 0x02;    // copy of the blinking bit
constexpr std::uint8_t Negative = 0x01; // copy of the negative bit (not painted on the grid)
} // namespace cell

// Cell colours as 0xRRGGBB.
namespace colour {
constexpr std::uint32_t Black = 0x000000;
constexpr std::uint32_t Red = 0xFF0000;
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Grey = 0x808080;
constexpr std::uint32_t Pale = 0xE0E0F0; // text of a hidden item
constexpr std::uint32_t Yellow = 0xFFFF00;
} // namespace colour

// How one cell is painted: text colour, background colour and font size.
struct TCellStyle {
    std::uint32_t Text;
    std::uint32_t Background;
    bool Small; // 8-point font (1 pixel lower) instead of 10-point
};

// The painter's colour rules for an attribute byte in the given blink phase.
TCellStyle CellStyle(std::uint8_t attr, bool blinkPhase);

struct TCellPos {
    int Column;
    int Row;
    bool operator==(const TCellPos&) const = default;
};

// Outcome of a press on the grid.
struct TPick {
    enum class TKind { None, Horizon, Item };
    TKind Kind = TKind::None;
    int Item = -1;
};

// The video standard switch's move to NTSC: every item 1 .. itemCount - 1 whose Y_Pos
// is below the last NTSC row (above 12) moves up by 3 rows, in all three layout modes.
// Returns how many items moved (an item moved in several layout modes counts once).
int MoveIntoNtscRows(TConfigImage& image, int itemCount);

class TGridModel {
public:
    TGridModel(TConfigImage& image, const TItemCatalogue& catalogue);

    // Editor state.
    int LayoutMode() const { return mode_; }
    void SetLayoutMode(int mode); // 0..2; anything else is taken as 0
    int Selected() const { return selected_; }
    void SetSelected(int item); // 0..19; anything else is taken as 0
    int ItemCount() const { return itemCount_; }
    void SetItemCount(int count); // 1..20
    int RowCount() const { return rows_; }
    bool BlinkPhase() const { return blink_; }
    void FlipBlink() { blink_ = !blink_; }
    bool Dragging() const { return dragging_; }
    std::uint8_t GrabOffset() const { return grab_; }
    void Drop() { dragging_ = false; }

    // Offset of the current record: the selected item's record in the current layout mode.
    std::size_t CurrentRecord() const { return ItemRecordOffset(mode_, selected_); }

    // Grid clear: columns 0..29 and rows 0..15 get attribute 0 and the text " ". The hidden
    // margin is left as it is.
    void Clear();
    // Grid redraw without the repaint: clear, then draw items 0 .. item count - 1 in order.
    // With `boardScreen` the cells are those of the board's screen (the OSD preview draws
    // from such a copy of the editor's model): the items whose visible bit is clear are left
    // out, and the horizon's line and the variometer's bar carry their item's Negative bit,
    // which the editor's grid leaves off them.
    void Redraw(bool boardScreen = false);

    // Text of a cell: "" before the first clear, else one Windows-1250 byte. Positions
    // outside the store read as "".
    std::string Text(int column, int row) const;
    // Attribute byte of a cell; positions outside the map read as 0.
    std::uint8_t Attr(int column, int row) const;

    // Mouse position in grid pixels to a cell (x div 13, y div 17, truncating toward zero);
    // nothing when the cell is outside columns 0..29 or rows 0..row count - 1.
    std::optional<TCellPos> CellAt(int x, int y) const;

    // A counted press on `cell`: the horizon's centre cell selects the horizon; otherwise
    // the lowest-index item 1.. whose stored row is the cell's row and whose columns cover
    // it is selected and a drag starts with the grab offset. A miss changes nothing.
    TPick Pick(TCellPos cell);
    // The item a press on `cell` would pick (the rules of Pick, changing nothing): 0 for
    // the horizon's centre cell, the lowest-index item 1.. covering it, else -1.
    int ItemAt(TCellPos cell) const;
    // The items whose cells the last redraw marked as shared with `item`'s (the yellow
    // cells, on the rows shown), in item order; the horizon counts by its zone.
    std::vector<int> OverlapsWith(int item) const;
    // Whether the selected item is drawn as selected (off for a picture of a layout).
    void ShowSelection(bool on) { showSelection_ = on; }
    // Position a drag to `cell` gives the selected item: X = column - grab offset limited to
    // 0..29, Y = row. Nothing when no drag runs or the horizon is selected.
    std::optional<TCellPos> DragTarget(TCellPos cell) const;

    // Video standard switch. PAL sets Config bit 4 and gives 16 rows. NTSC clears it, gives
    // 13 rows and moves every item 1 .. item count - 1 whose Y_Pos is above 12 up by 3
    // rows, in all three layout modes (returning how many items moved, as
    // MoveIntoNtscRows). Neither moves an item back.
    void SelectPal();
    int SelectNtsc();
    // The row count of the standard the image holds, moving nothing (an undo put the
    // standard back together with the rows).
    void FollowStandard() { rows_ = image_.IsPal() ? grid::PalRows : grid::NtscRows; }

    // The editor takes the video standard and the layout mode of the image, after a good
    // dump and as the completion of an import (the window and halvexctl both run this):
    // the video standard switch to Config bit 4 runs when it differs from `shownPal` (the
    // standard shown so far; none before the first) and, with `alwaysSwitch`, once more;
    // then a Mode above 2 becomes 2 and is the current layout mode.
    void TakeStandardAndMode(std::optional<bool> shownPal, bool alwaysSwitch);

    // Out-of-range positions of the selected item (not the horizon) reset in the image:
    // X_Pos above 29 to 0; Y_Pos beyond the last row to 0 under PAL (above 15) and to the
    // last row the board shows under NTSC (above 12 becomes 12). Returns whether anything
    // changed.
    bool FixSelectedPosition();

    // The horizon's line row: 8 under PAL, 6 under NTSC (from Config bit 4).
    int HorizonRow() const { return image_.IsPal() ? 8 : 6; }

private:
    static constexpr std::int16_t kEmpty = -1;

    bool Occupied(int column, int row) const; // text other than " " that marks an overlap
    // Occupied, and then notes the cell's occupants as sharing it with the item being drawn.
    bool Overlapped(int column, int row);
    void SetText(int column, int row, std::uint8_t byte);
    void SetAttr(int column, int row, std::uint8_t attr);
    void SetGhost(int column, int row); // the hidden horizon's line: drawn, occupying nothing
    void DrawHorizon(bool selected);
    void DrawItem(int item, bool selected);
    void DrawVariometerBar(int column, int row, std::uint8_t flags, bool selected);

    TConfigImage& image_;
    const TItemCatalogue& catalogue_;
    int mode_ = 0;
    int selected_ = 0;
    int itemCount_ = 1;
    int rows_ = grid::PalRows;
    bool blink_ = false;
    bool dragging_ = false;
    bool board_ = false; // the redraw running is a board screen's
    bool showSelection_ = true;
    int drawing_ = -1; // the item being drawn
    // Per cell the bit set of the items whose text (other than " ") has been drawn there
    // by the running redraw, and per item the bit set of the items it shares a shown cell
    // with.
    std::array<std::array<std::uint32_t, grid::TextRows>, grid::TextColumns> occupants_{};
    std::array<std::uint32_t, kItemCount> shared_{};
    std::uint8_t grab_ = 0;
    // Text store, [column][row]; kEmpty or a byte.
    std::array<std::array<std::int16_t, grid::TextRows>, grid::TextColumns> text_;
    // Cells showing the line of a hidden horizon: drawn pale, but they mark no overlap
    // since nothing of the horizon appears on the OSD.
    std::array<std::array<bool, grid::TextRows>, grid::TextColumns> ghost_{};
    std::array<std::array<std::uint8_t, grid::AttrRows>, grid::AttrColumns> attr_{};
};

} // namespace halvex
