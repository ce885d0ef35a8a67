// Which characters of the set the layout's display items are drawn with, taken from the
// board's screen that the grid's own cell model gives (OsdScreen.h): every glyph an item
// puts on the screen in any of the three layout modes. An item that shows a digit shows
// changing numbers in flight, so it counts as drawn with every digit 0..9.
#pragma once

#include "config/ConfigImage.h"
#include "editor/GridModel.h"

#include <array>
#include <bitset>
#include <string>
#include <vector>

namespace halvex {

using TGlyphCodes = std::bitset<256>;
// Per item index: the codes the item is drawn with (none for an item not on the screen).
using TGlyphUse = std::array<TGlyphCodes, kItemCount>;

TGlyphUse ItemGlyphs(const TGridModel& editor);

// The codes first .. first + count - 1 some item is drawn with, and those items.
struct TGlyphConflict {
    TGlyphCodes Codes;
    std::vector<int> Items; // item indexes, ascending
    bool Empty() const { return Items.empty(); }
};
TGlyphConflict GlyphConflict(const TGlyphUse& use, int first, int count);

// The codes as ascending ranges: "48-57, 65, 97-99".
std::string CodeRanges(const TGlyphCodes& codes);

} // namespace halvex
