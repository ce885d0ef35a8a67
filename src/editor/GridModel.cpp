#include "editor/GridModel.h"

#include <algorithm>

namespace halvex {

namespace {
constexpr std::uint8_t kSpace = ' ';
constexpr std::uint8_t kNoBreakSpace = 0xA0; // fills the horizon zone
constexpr int kHorizonFirstColumn = 10;
constexpr int kHorizonLastColumn = 20;
constexpr int kHorizonCentreColumn = 15;
constexpr int kHorizonHalfHeight = 4; // zone rows L-4 .. L+4
constexpr int kRowForFarY = 7;        // row drawn for a Y_Pos above 15
constexpr int kVarioHalfBar = 3;      // the bar spans R-3 .. R+3
} // namespace

TCellStyle CellStyle(std::uint8_t attr, bool blinkPhase) {
    TCellStyle s{};
    s.Text = (attr & cell::Selected) ? colour::Red : colour::Black;
    const bool visible = (attr & cell::Visible) != 0;
    s.Background = (visible && (attr & cell::Grey)) ? colour::Grey : colour::White;
    if ((attr & cell::Blink) && blinkPhase)
        s.Text = s.Background;
    s.Small = (attr & cell::Small) != 0;
    if (!visible)
        s.Text = colour::Pale;
    if (attr & cell::Overlap)
        s.Background = colour::Yellow;
    return s;
}

TGridModel::TGridModel(TConfigImage& image, const TItemCatalogue& catalogue)
    : image_(image), catalogue_(catalogue) {
    for (auto& column : text_)
        column.fill(kEmpty);
}

void TGridModel::SetLayoutMode(int mode) {
    mode_ = (mode >= 0 && mode < kLayoutModes) ? mode : 0;
}

void TGridModel::SetSelected(int item) {
    selected_ = (item >= 0 && item < TItemCatalogue::Count) ? item : 0;
}

void TGridModel::SetItemCount(int count) {
    itemCount_ = std::clamp(count, 1, TItemCatalogue::Count);
}

void TGridModel::Clear() {
    for (int c = 0; c < grid::Columns; ++c) {
        for (int r = 0; r < grid::ClearRows; ++r) {
            attr_[c][r] = 0;
            text_[c][r] = kSpace;
            ghost_[c][r] = false;
            occupants_[c][r] = 0;
        }
    }
}

void TGridModel::Redraw(bool boardScreen) {
    board_ = boardScreen;
    Clear();
    shared_ = {};
    for (int i = 0; i < itemCount_; ++i) {
        if (boardScreen && !(image_.Flags(mode_, i) & flag::Visible))
            continue;
        drawing_ = i;
        const bool selected = showSelection_ && i == selected_;
        if (i == item::Horizon)
            DrawHorizon(selected);
        else
            DrawItem(i, selected);
    }
    drawing_ = -1;
}

std::string TGridModel::Text(int column, int row) const {
    if (column < 0 || column >= grid::TextColumns || row < 0 || row >= grid::TextRows)
        return {};
    const std::int16_t t = text_[column][row];
    if (t == kEmpty)
        return {};
    return std::string(1, static_cast<char>(static_cast<std::uint8_t>(t)));
}

std::uint8_t TGridModel::Attr(int column, int row) const {
    if (column < 0 || column >= grid::AttrColumns || row < 0 || row >= grid::AttrRows)
        return 0;
    return attr_[column][row];
}

bool TGridModel::Occupied(int column, int row) const {
    return text_[column][row] != kSpace && !ghost_[column][row];
}

bool TGridModel::Overlapped(int column, int row) {
    if (!Occupied(column, row))
        return false;
    if (drawing_ >= 0 && column < grid::Columns && row < rows_) {
        const std::uint32_t others = occupants_[column][row] & ~(1u << drawing_);
        shared_[static_cast<std::size_t>(drawing_)] |= others;
        for (int i = 0; i < kItemCount; ++i)
            if (others & (1u << i))
                shared_[static_cast<std::size_t>(i)] |= 1u << drawing_;
    }
    return true;
}

void TGridModel::SetText(int column, int row, std::uint8_t byte) {
    text_[column][row] = byte;
    ghost_[column][row] = false;
    if (drawing_ >= 0 && byte != kSpace)
        occupants_[column][row] |= 1u << drawing_;
}

void TGridModel::SetGhost(int column, int row) {
    ghost_[column][row] = true;
    occupants_[column][row] = 0;
}

void TGridModel::SetAttr(int column, int row, std::uint8_t attr) {
    attr_[column][row] = attr;
}

void TGridModel::DrawHorizon(bool selected) {
    const std::uint8_t flags = image_.Flags(mode_, item::Horizon);
    const int line = HorizonRow();
    const std::uint8_t sel = selected ? cell::Selected : 0;
    const std::uint8_t negative = (board_ && (flags & flag::Negative)) ? cell::Negative : 0;
    if (flags & flag::Visible) {
        // The line and the zone of 11 x 9 cells around it; the zone's no-break spaces make
        // every item drawn into it later an overlap.
        for (int c = kHorizonFirstColumn; c <= kHorizonLastColumn; ++c) {
            SetAttr(c, line, cell::Visible | sel | negative);
            SetText(c, line, '-');
            for (int d = 1; d <= kHorizonHalfHeight; ++d) {
                SetText(c, line - d, kNoBreakSpace);
                SetText(c, line + d, kNoBreakSpace);
            }
        }
        SetText(kHorizonCentreColumn, line, 'v');
        return;
    }
    // Hidden: the line alone, pale, with no zone. Its position bytes are sensitivities,
    // never a place on the grid.
    for (int c = kHorizonFirstColumn; c <= kHorizonLastColumn; ++c) {
        SetAttr(c, line, sel);
        SetText(c, line, '-');
        SetGhost(c, line);
    }
    SetText(kHorizonCentreColumn, line, 'v');
    SetGhost(kHorizonCentreColumn, line);
}

void TGridModel::DrawItem(int item, bool selected) {
    const std::uint8_t flags = image_.Flags(mode_, item);
    const int x = image_.XPos(mode_, item);
    const int y = image_.YPos(mode_, item);
    const int row = y > grid::MaxY ? kRowForFarY : y;
    const std::string& sample = catalogue_.Sample(item);
    const int width = static_cast<int>(sample.size());
    const std::uint8_t sel = selected ? cell::Selected : 0;
    int column = std::min(x, grid::HiddenColumn);
    for (int k = 0; k < width; ++k) {
        // Characters right of column 29 all land in the hidden column 30.
        column = std::min(x + k, grid::HiddenColumn);
        std::uint8_t a = static_cast<std::uint8_t>(
            (flags & (cell::Visible | cell::Small | cell::Grey | cell::Blink | cell::Negative)) |
            sel);
        if (Overlapped(column, row))
            a |= cell::Overlap;
        SetAttr(column, row, a);
        if (item != item::Variometer)
            SetText(column, row, static_cast<std::uint8_t>(sample[static_cast<std::size_t>(k)]));
    }
    if (item == item::Variometer)
        DrawVariometerBar(column, row, flags, selected);
}

void TGridModel::DrawVariometerBar(int column, int row, std::uint8_t flags, bool selected) {
    // Only the visible bit and the selection show on the grid's bar (a board screen's bar
    // keeps the Negative bit too); rows above the top are folded onto row 0 for the
    // attributes, and their arrows are left out.
    const std::uint8_t negative = (board_ && (flags & flag::Negative)) ? cell::Negative : 0;
    for (int k = 0; k <= 2 * kVarioHalfBar; ++k) {
        const int r = std::max(0, row + k - kVarioHalfBar);
        std::uint8_t a = static_cast<std::uint8_t>((flags & flag::Visible) | negative);
        if (Overlapped(column, r))
            a |= cell::Overlap;
        if (selected)
            a |= cell::Selected;
        SetAttr(column, r, a);
    }
    for (int d = 1; d <= kVarioHalfBar; ++d) {
        if (row - d >= 0)
            SetText(column, row - d, '^');
        SetText(column, row + d, 'v');
    }
    SetText(column, row, '-');
}

std::optional<TCellPos> TGridModel::CellAt(int x, int y) const {
    const int column = x / grid::PitchX; // truncates toward zero, as the position rule says
    const int row = y / grid::PitchY;
    if (column < 0 || column >= grid::Columns || row < 0 || row >= rows_)
        return std::nullopt;
    return TCellPos{column, row};
}

int TGridModel::ItemAt(TCellPos cell) const {
    if (cell.Column == kHorizonCentreColumn && cell.Row == rows_ / 2)
        return item::Horizon;
    for (int i = 1; i < itemCount_; ++i) {
        const int left = std::min<int>(image_.XPos(mode_, i), grid::MaxX);
        if (image_.YPos(mode_, i) == cell.Row && cell.Column >= left &&
            cell.Column <= left + catalogue_.Width(i) - 1)
            return i;
    }
    return -1;
}

TPick TGridModel::Pick(TCellPos cell) {
    const int i = ItemAt(cell);
    if (i < 0)
        return {};
    selected_ = i;
    if (i == item::Horizon) {
        dragging_ = false;
        return {TPick::TKind::Horizon, i};
    }
    dragging_ = true;
    grab_ =
        static_cast<std::uint8_t>(cell.Column - std::min<int>(image_.XPos(mode_, i), grid::MaxX));
    return {TPick::TKind::Item, i};
}

std::vector<int> TGridModel::OverlapsWith(int item) const {
    std::vector<int> items;
    if (item < 0 || item >= kItemCount)
        return items;
    for (int i = 0; i < kItemCount; ++i)
        if (shared_[static_cast<std::size_t>(item)] & (1u << i))
            items.push_back(i);
    return items;
}

std::optional<TCellPos> TGridModel::DragTarget(TCellPos cell) const {
    if (!dragging_ || selected_ == item::Horizon)
        return std::nullopt;
    const int x = std::clamp(cell.Column - static_cast<int>(grab_), 0, grid::MaxX);
    const int y = std::clamp(cell.Row, 0, grid::MaxY);
    return TCellPos{x, y};
}

void TGridModel::SelectPal() {
    image_.SetConfigBit(cfg::Pal, true);
    rows_ = grid::PalRows;
}

int MoveIntoNtscRows(TConfigImage& image, int itemCount) {
    constexpr int ntscLastRow = grid::NtscRows - 1;
    int moved = 0;
    for (int i = 1; i < itemCount; ++i) {
        bool itemMoved = false;
        for (int m = 0; m < kLayoutModes; ++m) {
            const std::uint8_t y = image.YPos(m, i);
            if (y > ntscLastRow) {
                image.SetYPos(m, i, static_cast<std::uint8_t>(y - 3));
                itemMoved = true;
            }
        }
        moved += itemMoved ? 1 : 0;
    }
    return moved;
}

int TGridModel::SelectNtsc() {
    image_.SetConfigBit(cfg::Pal, false);
    rows_ = grid::NtscRows;
    return MoveIntoNtscRows(image_, itemCount_);
}

void TGridModel::TakeStandardAndMode(std::optional<bool> shownPal, bool alwaysSwitch) {
    const bool pal = image_.IsPal();
    const int runs = (shownPal != pal ? 1 : 0) + (alwaysSwitch ? 1 : 0);
    for (int k = 0; k < runs; ++k) {
        if (pal)
            SelectPal();
        else
            SelectNtsc();
    }
    if (image_.Mode() > 2)
        image_.SetMode(2);
    SetLayoutMode(image_.Mode());
}

bool TGridModel::FixSelectedPosition() {
    if (selected_ == item::Horizon)
        return false;
    bool changed = false;
    if (image_.XPos(mode_, selected_) > grid::MaxX) {
        image_.SetXPos(mode_, selected_, 0);
        changed = true;
    }
    if (image_.YPos(mode_, selected_) > rows_ - 1) {
        const int row = rows_ == grid::NtscRows ? grid::NtscRows - 1 : 0;
        image_.SetYPos(mode_, selected_, static_cast<std::uint8_t>(row));
        changed = true;
    }
    return changed;
}

} // namespace halvex
