// What the board's screen shows for the editor's layout: for each character cell of the
// current layout mode, the glyph the board draws there (the cell's Windows-1250 byte, the
// byte the board receives), the MAX7456 attributes the board gives the character (blink,
// invert, local background) and whether it belongs to the selected item.
//
// Built from the layout grid's own cell model, redrawn with only the visible items, so
// every placement rule (cut-off at column 29, far rows, the horizon line, the variometer
// bar, later items over earlier ones) is the grid's. The OSD preview only paints this.
#pragma once

#include "editor/GridModel.h"

#include <array>
#include <cstdint>

namespace halvex {

struct TScreenCell {
    bool Drawn = false;          // a visible item puts a character here
    std::uint8_t Glyph = 0;      // the character's byte: the glyph index in the character set
    bool Blinking = false;       // the item's blinking bit
    bool Negative = false;       // the item's negative bit: white and black pixels swap
    bool GreyBackground = false; // the item's grey bit: transparent pixels show flat grey
    bool Selected = false;       // the cell belongs to the selected item
};

class TOsdScreen {
public:
    static constexpr int Columns = grid::Columns;
    static constexpr int MaxRows = grid::PalRows;

    // The screen for the editor's state (layout mode, selection, item count, rows, blink
    // phase). While the editor is closed (`shown` false) the screen is empty.
    void Build(const TGridModel& editor, bool shown);

    int Rows() const { return rows_; } // 16 (PAL) or 13 (NTSC)
    bool BlinkPhase() const { return blink_; }
    // Cells outside the screen read as not drawn.
    const TScreenCell& Cell(int column, int row) const;
    // The cell's glyph shows now: drawn, and not a blinking cell in blink phase 1.
    bool Lit(int column, int row) const;

private:
    int rows_ = grid::PalRows;
    bool blink_ = false;
    std::array<std::array<TScreenCell, Columns>, MaxRows> cells_{};
};

} // namespace halvex
