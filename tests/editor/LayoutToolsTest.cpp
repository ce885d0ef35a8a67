// The editor's layout helpers: the nine anchors on both video standards and taking a
// preset's layout into the image.
#include "editor/LayoutTools.h"
#include "GridModelRig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace halvex {
namespace {

class LayoutToolsTest : public ::testing::Test, protected test::TGridModelRig {
protected:
    // Every placeable item at every anchor within the rows of `span`, as the grid draws it.
    void ExpectAnchorsWithin(TRowSpan span, const std::string& context);
};

// Each anchor puts every placeable item whole on the screen of NTSC (13 rows) and PAL (16
// rows), or in the rows of its 16:9 area, touching the anchor's edges (the middle ones
// centred to a cell), as the grid draws it.
TEST_F(LayoutToolsTest, EveryAnchorKeepsEveryItemWholeOnBothStandardsAndIn16To9) {
    // 1/8 of the height cut at each end: NTSC's 1 5/8 rows, PAL's 2.
    EXPECT_EQ(WideScreenRows(grid::NtscRows), (TRowSpan{2, 10}));
    EXPECT_EQ(WideScreenRows(grid::PalRows), (TRowSpan{2, 13}));
    const char twelve[] = "TwelveLetter";
    std::copy(twelve, twelve + 12, image.Data() + ofs::UserName);
    catalogue.ReadUserName(image);
    for (const bool pal : {false, true})
        for (const bool wide : {false, true}) {
            if (pal)
                model.SelectPal();
            else
                model.SelectNtsc();
            const TRowSpan span =
                wide ? WideScreenRows(model.RowCount()) : TRowSpan{0, model.RowCount() - 1};
            ExpectAnchorsWithin(span, std::string(pal ? " PAL" : " NTSC") + (wide ? " 16:9" : ""));
        }
    EXPECT_FALSE(AnchorPlace(item::Horizon, 1, TAnchor::Centre, TRowSpan{0, 12}));
}

void LayoutToolsTest::ExpectAnchorsWithin(TRowSpan span, const std::string& context) {
    for (int i = 1; i < kItemCount; ++i) {
        for (int k = 0; k < kAnchorCount; ++k) {
            const auto place = AnchorPlace(i, catalogue.Width(i), static_cast<TAnchor>(k), span);
            ASSERT_TRUE(place);
            for (int j = 1; j < kItemCount; ++j)
                Put(0, j, j == i ? flag::Visible : 0, 40, 15);
            Put(0, i, flag::Visible, place->Column, place->Row);
            model.Redraw(true);
            // The cells the item's text fills, over the whole text store.
            int left = 99, right = -1, top = 99, bottom = -1, cells = 0;
            for (int c = 0; c < grid::TextColumns; ++c)
                for (int r = 0; r < grid::TextRows; ++r)
                    if (const std::string t = model.Text(c, r); !t.empty() && t != " ") {
                        left = std::min(left, c), right = std::max(right, c);
                        top = std::min(top, r), bottom = std::max(bottom, r), ++cells;
                    }
            const std::string where = std::to_string(i) + " anchor " + std::to_string(k) + context;
            const int height = i == item::Variometer ? 7 : 1;
            ASSERT_EQ(cells, catalogue.Width(i) * height - (i == item::Latitude)) << where;
            ASSERT_GE(left, i == item::Latitude ? 1 : 0) << where;
            ASSERT_LE(right, grid::Columns - 1) << where;
            ASSERT_GE(top, span.First) << where;
            ASSERT_LE(bottom, span.Last) << where;
            const int across = k % 3, down = k / 3;
            const int first = left - (i == item::Latitude); // its blank leading cell
            EXPECT_EQ(across == 0, first == 0) << where;
            EXPECT_EQ(across == 2, right == grid::Columns - 1) << where;
            if (across == 1) {
                EXPECT_LE(std::abs(first - (grid::Columns - 1 - right)), 1) << where;
            }
            EXPECT_EQ(down == 0, top == span.First) << where;
            EXPECT_EQ(down == 2, bottom == span.Last) << where;
            if (down == 1) {
                EXPECT_LE(std::abs((top - span.First) - (span.Last - bottom)), 1) << where;
            }
        }
    }
}

// A preset brings places and looks; the item options and the horizon's sensitivities stay.
TEST_F(LayoutToolsTest, TakingAPresetKeepsItemSettingsAndTheSensitivities) {
    TConfigImage preset = image;
    preset.SetFlags(1, item::Horizon, flag::Visible);
    preset.SetXPos(1, item::Horizon, 10);
    preset.SetFlags(1, item::Temperature, flag::Visible | flag::Small);
    preset.SetXPos(1, item::Temperature, 26);
    preset.SetYPos(1, item::Temperature, 12);
    preset.SetFlags(2, item::Temperature, flag::Visible);
    image.SetFlags(1, item::Horizon, flag::Negative);
    image.SetXPos(1, item::Horizon, 150);
    image.SetFlags(1, item::Temperature, flag::Option | flag::Blinking); // external sensor
    const TConfigImage before = image;
    TakePresetLayout(image, preset, 1);
    EXPECT_EQ(image.Flags(1, item::Horizon), flag::Visible);
    EXPECT_EQ(image.XPos(1, item::Horizon), 150);
    EXPECT_EQ(image.Flags(1, item::Temperature), flag::Visible | flag::Small | flag::Option);
    EXPECT_EQ(image.XPos(1, item::Temperature), 26);
    EXPECT_EQ(image.YPos(1, item::Temperature), 12);
    EXPECT_EQ(image.Flags(2, item::Temperature), before.Flags(2, item::Temperature));
}

} // namespace
} // namespace halvex
