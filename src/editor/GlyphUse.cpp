#include "editor/GlyphUse.h"

#include "editor/OsdScreen.h"

namespace halvex {

TGlyphUse ItemGlyphs(const TGridModel& editor) {
    TGlyphUse use{};
    TGridModel model(editor);
    TOsdScreen screen;
    for (int mode = 0; mode < kLayoutModes; ++mode) {
        model.SetLayoutMode(mode);
        // The selected item's cells are marked: one screen per item tells its glyphs.
        for (int item = 0; item < model.ItemCount(); ++item) {
            model.SetSelected(item);
            screen.Build(model, true);
            for (int r = 0; r < screen.Rows(); ++r)
                for (int c = 0; c < TOsdScreen::Columns; ++c)
                    if (screen.Cell(c, r).Drawn && screen.Cell(c, r).Selected)
                        use[static_cast<std::size_t>(item)].set(screen.Cell(c, r).Glyph);
        }
    }
    for (TGlyphCodes& codes : use)
        for (int digit = '0'; digit <= '9' && codes.any(); ++digit)
            if (codes.test(static_cast<std::size_t>(digit))) {
                for (int d = '0'; d <= '9'; ++d)
                    codes.set(static_cast<std::size_t>(d));
                break;
            }
    return use;
}

TGlyphConflict GlyphConflict(const TGlyphUse& use, int first, int count) {
    TGlyphCodes block;
    for (int code = first; code < first + count && code < 256; ++code)
        if (code >= 0)
            block.set(static_cast<std::size_t>(code));
    TGlyphConflict conflict;
    for (std::size_t item = 0; item < use.size(); ++item) {
        const TGlyphCodes shared = use[item] & block;
        if (shared.none())
            continue;
        conflict.Codes |= shared;
        conflict.Items.push_back(static_cast<int>(item));
    }
    return conflict;
}

std::string CodeRanges(const TGlyphCodes& codes) {
    std::string text;
    for (int code = 0; code < 256; ++code) {
        if (!codes.test(static_cast<std::size_t>(code)))
            continue;
        int last = code;
        while (last + 1 < 256 && codes.test(static_cast<std::size_t>(last + 1)))
            ++last;
        if (!text.empty())
            text += ", ";
        text += std::to_string(code);
        if (last > code)
            text += "-" + std::to_string(last);
        code = last;
    }
    return text;
}

} // namespace halvex
