#include "editor/LayoutTools.h"

#include "editor/PanelModel.h"

#include <algorithm>
#include <cmath>

namespace halvex {

std::optional<TCellPos> AnchorPlace(int item, int width, TAnchor anchor, TRowSpan rows) {
    if (item == item::Horizon)
        return std::nullopt;
    const int k = static_cast<int>(anchor);
    const int across = k % 3; // 0 left, 1 middle, 2 right
    const int down = k / 3;   // 0 top, 1 middle, 2 bottom
    const int free = std::max(0, grid::Columns - width);
    const int column = across == 0 ? 0 : across == 1 ? free / 2 : free;
    // Rows the item reaches above and below its own row: the variometer's bar 3.
    const int reach = item == item::Variometer ? VarioMinY : 0;
    const int top = rows.First + reach;
    const int bottom = rows.Last - reach;
    const int row = down == 0 ? top : down == 1 ? (rows.First + rows.Last) / 2 : bottom;
    return TCellPos{column, row};
}

void CopyItemRecord(TConfigImage& image, int item, int from, int to) {
    image.SetFlags(to, item, image.Flags(from, item));
    image.SetXPos(to, item, image.XPos(from, item));
    image.SetYPos(to, item, image.YPos(from, item));
}

void TakePresetLayout(TConfigImage& image, const TConfigImage& preset, int mode) {
    for (int i = 0; i < kItemCount; ++i) {
        const auto kept = static_cast<std::uint8_t>(image.Flags(mode, i) & kItemSettingBits);
        const auto taken = static_cast<std::uint8_t>(preset.Flags(mode, i) & ~kItemSettingBits);
        image.SetFlags(mode, i, kept | taken);
        if (i == item::Horizon)
            continue;
        image.SetXPos(mode, i, preset.XPos(mode, i));
        image.SetYPos(mode, i, preset.YPos(mode, i));
    }
}

void ApplyPresetLayouts(TConfigImage& image, const TConfigImage& preset, int mode) {
    for (int m = 0; m < kLayoutModes; ++m)
        if (mode == kAllLayoutModes || m == mode)
            TakePresetLayout(image, preset, m);
    if (!image.IsPal())
        MoveIntoNtscRows(image, kItemCount);
}

TGuideBox TitleSafeArea(int rows) {
    constexpr double margin = 0.10; // of each dimension, at each side
    return {grid::Columns * margin, rows * margin, grid::Columns * (1 - margin),
            rows * (1 - margin)};
}

TGuideBox WideScreenArea(int rows) {
    // 4:3 scaled to the width of 16:9: (4/3) / (16/9) = (4 * 9) / (3 * 16) = 3/4 of the
    // height stays (written so, the fractions are exact and WideScreenRows rounds right).
    constexpr double kept = (4.0 * 9.0) / (3.0 * 16.0);
    constexpr double cut = (1.0 - kept) / 2.0; // 1/8 at each side
    return {0.0, rows * cut, static_cast<double>(grid::Columns), rows * (1 - cut)};
}

TRowSpan WideScreenRows(int rows) {
    const TGuideBox area = WideScreenArea(rows);
    return {static_cast<int>(std::ceil(area.Top)), static_cast<int>(std::floor(area.Bottom)) - 1};
}

} // namespace halvex
