#include "editor/OsdScreen.h"

namespace halvex {

void TOsdScreen::Build(const TGridModel& editor, bool shown) {
    rows_ = editor.RowCount();
    blink_ = editor.BlinkPhase();
    cells_ = {};
    if (!shown)
        return;
    // A copy shares the image and the catalogue; the editor's own cells stay as they are.
    TGridModel board(editor);
    board.Redraw(true);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < Columns; ++c) {
            const std::uint8_t attr = board.Attr(c, r);
            // Cells no visible item has drawn (the blank ones, the horizon's zone) stay
            // empty: the board draws nothing there.
            if (!(attr & cell::Visible))
                continue;
            const std::string text = board.Text(c, r);
            TScreenCell& s = cells_[r][c];
            s.Drawn = true;
            s.Glyph = text.empty() ? ' ' : static_cast<std::uint8_t>(text[0]);
            s.Blinking = (attr & cell::Blink) != 0;
            s.Negative = (attr & cell::Negative) != 0;
            s.GreyBackground = (attr & cell::Grey) != 0;
            s.Selected = (attr & cell::Selected) != 0;
        }
    }
}

const TScreenCell& TOsdScreen::Cell(int column, int row) const {
    static const TScreenCell none{};
    if (column < 0 || column >= Columns || row < 0 || row >= rows_)
        return none;
    return cells_[row][column];
}

bool TOsdScreen::Lit(int column, int row) const {
    const TScreenCell& c = Cell(column, row);
    return c.Drawn && !(c.Blinking && blink_);
}

} // namespace halvex
