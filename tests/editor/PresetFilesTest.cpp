// The shipped layout presets as installed: each imports with the settings file reader, and
// in every layout mode and on both video standards every item (hidden ones too), drawn by
// the grid with the user name at its 12 characters, stays within columns 0..29 and rows
// 0..12 and shares no cell with another; every visible item stays within the rows of the
// 16:9 area that the guides draw.
#include "config/LayoutPresets.h"
#include "config/SettingsFile.h"
#include "config/SettingsFileFlow.h"
#include "editor/GridModel.h"
#include "editor/LayoutTools.h"
#include "editor/PanelModel.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace halvex {
namespace {

// The board's screen of layout mode `mode`: every character of a visible item (not the
// horizon zone's blank filler) on a row wholly inside the 16:9 area.
void ExpectVisibleWithin16To9(TConfigImage& image, const TItemCatalogue& catalogue, int mode,
                              const std::string& where) {
    TGridModel board(image, catalogue);
    board.SetItemCount(kItemCount);
    board.FollowStandard();
    board.SetLayoutMode(mode);
    board.Redraw(true);
    const TRowSpan wide = WideScreenRows(board.RowCount());
    for (int c = 0; c < grid::TextColumns; ++c)
        for (int r = 0; r < grid::TextRows; ++r) {
            const std::string text = board.Text(c, r);
            if (!text.empty() && text != " " && text != "\xA0") {
                EXPECT_TRUE(r >= wide.First && r <= wide.Last) << where << " " << c << "," << r;
            }
        }
}

TEST(PresetFilesTest, ShippedPresetsImportWholeAndFitWithoutOverlapOnBothStandardsAndIn16To9) {
    const TPresetLibrary library(QStringLiteral(HALVEX_INSTALLED_PRESETS), QString());
    const auto presets = library.List(TLanguage::English);
    QStringList names;
    for (const auto& p : presets)
        names << p.Name;
    for (const char* name : {"Race", "Freestyle", "Long range", "Everything"})
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;

    TItemCatalogue catalogue;
    TConfigImage twelve;
    std::fill_n(twelve.Data() + ofs::UserName, ofs::UserNameLen, 'W');
    catalogue.ReadUserName(twelve);
    for (const auto& p : presets) {
        const std::string preset = p.Name.toStdString();
        // Every record of every item comes from the file: 0xEE stays nowhere but in the
        // horizon's sensitivities, which a preset leaves alone.
        TConfigImage image;
        std::fill_n(image.Data(), ofs::ImageSize, 0xEE);
        int errors = 0;
        const TSettingsImportResult result =
            ImportSettingsFrom(p.Path, import_flag::Layouts, image, catalogue, kItemCount,
                               [&](TMessage) { ++errors; });
        ASSERT_TRUE(result.Recognised) << preset;
        EXPECT_EQ(result.IgnoredLines, 0) << preset;
        EXPECT_EQ(errors, 0) << preset;
        for (int m = 0; m < kLayoutModes; ++m)
            for (int i = 0; i < kItemCount; ++i) {
                EXPECT_NE(image.Flags(m, i), 0xEE) << preset << " " << m << " " << i;
                EXPECT_EQ(image.XPos(m, i) == 0xEE, i == item::Horizon) << preset << " " << i;
            }
        for (const bool pal : {false, true}) {
            for (int m = 0; m < kLayoutModes; ++m) {
                const std::string where = preset + (pal ? " PAL " : " NTSC ") + std::to_string(m);
                image.SetConfigBit(cfg::Pal, pal);
                TGridModel model(image, catalogue); // a fresh text store: no earlier margin
                model.SetItemCount(kItemCount);
                model.FollowStandard();
                model.SetLayoutMode(m);
                model.Redraw();
                for (int c = 0; c < grid::TextColumns; ++c)
                    for (int r = 0; r < grid::TextRows; ++r) {
                        const std::string text = model.Text(c, r);
                        const bool inside = c < grid::Columns && r < grid::NtscRows;
                        EXPECT_TRUE(inside || text.empty() || text == " ")
                            << where << " " << c << "," << r;
                        EXPECT_FALSE(model.Attr(c, r) & cell::Overlap)
                            << where << " " << c << "," << r;
                    }
                // The variometer's bar is folded at the top, so its row is checked.
                const int vario = image.YPos(m, item::Variometer);
                EXPECT_TRUE(vario >= VarioMinY && vario <= grid::NtscRows - 1 - VarioMinY) << where;
                ExpectVisibleWithin16To9(image, catalogue, m, where);
            }
        }
    }
}

} // namespace
} // namespace halvex
