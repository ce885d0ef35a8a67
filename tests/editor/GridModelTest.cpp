// The layout grid's cell model: clear, item drawing, overlap marks, the horizon and its
// zone, the variometer bar, picking, dragging, the video standard switch and cell colours.
#include "editor/GridModel.h"
#include "GridModelRig.h"
#include "editor/PanelModel.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;

class GridModelTest : public ::testing::Test, protected test::TGridModelRig {
protected:
    std::string Row(int row, int from, int to) const {
        std::string s;
        for (int c = from; c <= to; ++c)
            s += model.Text(c, row);
        return s;
    }
};

TEST_F(GridModelTest, ClearBlanksTheVisibleAreaButKeepsTheHiddenMargin) {
    EXPECT_EQ(model.Text(0, 0), "");
    EXPECT_EQ(model.Attr(0, 0), 0);
    Put(1, kVis, 40, 3); // all six characters land in column 30
    model.Redraw();
    EXPECT_EQ(model.Text(30, 3), "0");
    model.Clear();
    for (int c = 0; c < grid::Columns; ++c)
        for (int r = 0; r < grid::ClearRows; ++r) {
            ASSERT_EQ(model.Text(c, r), " ") << c << "," << r;
            ASSERT_EQ(model.Attr(c, r), 0) << c << "," << r;
        }
    EXPECT_EQ(model.Text(30, 3), "0");
    EXPECT_EQ(model.Text(0, 16), "");
    // Outside the store reads as nothing.
    EXPECT_EQ(model.Text(-1, 0), "");
    EXPECT_EQ(model.Text(31, 0), "");
    EXPECT_EQ(model.Attr(64, 0), 0);
    EXPECT_EQ(model.Attr(0, -1), 0);
}

TEST_F(GridModelTest, ItemNearTheRightEdgeIsCutOffAfterColumn29) {
    Put(1, kVis | flag::Blinking, 27, 2); // "*00:00"
    model.Redraw();
    EXPECT_EQ(Row(2, 26, 29), " *00");
    // The rest fell into the hidden column, the last character winning.
    EXPECT_EQ(model.Text(30, 2), "0");
    EXPECT_EQ(model.Attr(27, 2), kVis | cell::Blink);
    EXPECT_EQ(model.Attr(29, 2), kVis | cell::Blink);
    EXPECT_EQ(model.Attr(26, 2), 0);
}

TEST_F(GridModelTest, ItemAtX40IsInvisibleButPickedOnColumn29AndResetByThePanel) {
    Put(3, kVis, 40, 5); // "V12.0v"
    model.Redraw();
    EXPECT_EQ(Row(5, 0, 29), std::string(30, ' '));
    const TPick pick = model.Pick({29, 5});
    EXPECT_EQ(pick.Kind, TPick::TKind::Item);
    EXPECT_EQ(pick.Item, 3);
    EXPECT_EQ(model.Selected(), 3);
    EXPECT_TRUE(model.Dragging());
    EXPECT_EQ(model.GrabOffset(), 0);
    EXPECT_TRUE(model.FixSelectedPosition());
    EXPECT_EQ(image.XPos(0, 3), 0);
    EXPECT_EQ(image.YPos(0, 3), 5);
    EXPECT_FALSE(model.FixSelectedPosition());
}

TEST_F(GridModelTest, ItemAtY20IsDrawnOnRow7ButNotPickedThere) {
    Put(7, kVis, 4, 20); // "=1000m"
    model.Redraw();
    EXPECT_EQ(Row(7, 4, 9), "=1000m");
    EXPECT_EQ(model.Pick({5, 7}).Kind, TPick::TKind::None);
    EXPECT_FALSE(model.Dragging());
    EXPECT_EQ(model.Selected(), 0);
    model.SetSelected(7);
    EXPECT_TRUE(model.FixSelectedPosition());
    EXPECT_EQ(image.YPos(0, 7), 0);
    EXPECT_EQ(image.XPos(0, 7), 4);
}

TEST_F(GridModelTest, OverlapIsMarkedOnTheLaterItemAndTheLowerIndexIsPicked) {
    Put(3, kVis, 5, 4); // "V12.0v" columns 5..10
    Put(5, kVis, 8, 4); // "20.2A"  columns 8..12
    model.Redraw();
    EXPECT_EQ(Row(4, 5, 12), "V1220.2A");
    for (int c = 5; c <= 7; ++c)
        EXPECT_EQ(model.Attr(c, 4), kVis) << c;
    for (int c = 8; c <= 10; ++c)
        EXPECT_EQ(model.Attr(c, 4), kVis | cell::Overlap) << c;
    for (int c = 11; c <= 12; ++c)
        EXPECT_EQ(model.Attr(c, 4), kVis) << c;
    // Drawn on top is item 5, picked is item 3.
    const TPick pick = model.Pick({9, 4});
    EXPECT_EQ(pick.Item, 3);
    EXPECT_EQ(model.GrabOffset(), 4);
    EXPECT_EQ(model.Pick({12, 4}).Item, 5);
}

// The overlap hint names every item under the yellow cells: all items stacked on a cell,
// the horizon by its zone, but not a cell that only a blank or the hidden rows share.
TEST_F(GridModelTest, OverlapsNameEveryItemSharingAShownCell) {
    image.SetFlags(0, item::Horizon, kVis);
    Put(3, kVis, 5, 4);   // "V12.0v" columns 5..10, row 4 of the horizon zone
    Put(7, kVis, 8, 4);   // "=1000m" columns 8..13
    Put(12, kVis, 9, 1);  // the variometer's bar: column 9, rows 0..4
    Put(13, kVis, 20, 0); // " 52.000000N": its blank in column 20 of row 0
    Put(16, kVis, 19, 0); // "<>" columns 19..20: on the blank only
    Put(18, kVis, 40, 3); // "LV" in the hidden column 30
    Put(19, kVis, 40, 3); // "25°C" there too
    model.Redraw();
    EXPECT_EQ(model.OverlapsWith(3), (std::vector<int>{0, 7, 12}));
    EXPECT_EQ(model.OverlapsWith(12), (std::vector<int>{3, 7}));
    EXPECT_EQ(model.OverlapsWith(0), (std::vector<int>{3, 7}));
    EXPECT_TRUE(model.OverlapsWith(16).empty());
    EXPECT_TRUE(model.OverlapsWith(18).empty());
    image.SetFlags(0, item::Horizon, 0); // a hidden horizon shares nothing
    model.Redraw();
    EXPECT_EQ(model.OverlapsWith(3), (std::vector<int>{7, 12}));
}

TEST_F(GridModelTest, VisibleHorizonFillsItsZoneAndMarksItemsDrawnIntoIt) {
    image.SetFlags(0, item::Horizon, kVis | flag::Negative | flag::Grey);
    Put(9, kVis, 18, 5); // "|9999m" columns 18..23, zone columns 10..20
    model.SetSelected(9);
    model.Redraw();
    EXPECT_EQ(Row(8, 10, 20), "-----v-----");
    EXPECT_EQ(model.Attr(10, 8), kVis); // other flag bits do not show
    EXPECT_EQ(model.Text(9, 8), " ");
    for (int r = 4; r <= 12; ++r) {
        if (r == 8)
            continue;
        EXPECT_EQ(model.Text(10, r), "\xA0") << r;
        EXPECT_EQ(model.Text(19, r), r == 5 ? "9" : "\xA0") << r;
        EXPECT_EQ(model.Attr(12, r), 0) << r; // the zone keeps the cleared attributes
    }
    EXPECT_EQ(model.Text(10, 3), " ");
    EXPECT_EQ(model.Text(10, 13), " ");
    const std::uint8_t sel = cell::Selected;
    EXPECT_EQ(model.Attr(18, 5), kVis | sel | cell::Overlap);
    EXPECT_EQ(model.Attr(20, 5), kVis | sel | cell::Overlap);
    EXPECT_EQ(model.Attr(21, 5), kVis | sel);
    // Hidden horizon: white again, no zone.
    image.SetFlags(0, item::Horizon, 0);
    model.Redraw();
    EXPECT_EQ(model.Attr(18, 5), kVis | sel);
    EXPECT_EQ(model.Attr(20, 5), kVis | sel);
    EXPECT_EQ(model.Text(12, 5), " ");
}

TEST_F(GridModelTest, HiddenHorizonDrawsAPaleLineThatMarksNothing) {
    image.SetFlags(0, item::Horizon, 0);
    image.SetXPos(0, item::Horizon, 150); // sensitivities, never a position
    image.SetYPos(0, item::Horizon, 3);
    Put(2, kVis, 12, 8); // "*11:22" over the line
    model.SetSelected(0);
    model.Redraw();
    EXPECT_EQ(Row(8, 10, 20), "--*11:22---");
    EXPECT_EQ(model.Attr(10, 8), cell::Selected); // selected, yet not visible: pale
    EXPECT_EQ(model.Attr(12, 8), kVis);           // no overlap with a hidden horizon
    EXPECT_EQ(model.Attr(17, 8), kVis);
    EXPECT_EQ(model.Text(10, 7), " ");
    EXPECT_EQ(CellStyle(model.Attr(19, 8), false).Text, colour::Pale);
    // Under NTSC the line moves to row 6.
    image.SetConfigBit(cfg::Pal, false);
    model.Redraw();
    EXPECT_EQ(Row(6, 10, 20), "-----v-----");
}

TEST_F(GridModelTest, NtscHorizonSitsOnRow6WithItsZone) {
    image.SetConfigBit(cfg::Pal, false);
    image.SetFlags(0, item::Horizon, kVis);
    model.Redraw();
    EXPECT_EQ(Row(6, 10, 20), "-----v-----");
    EXPECT_EQ(model.Text(15, 2), "\xA0");
    EXPECT_EQ(model.Text(15, 10), "\xA0");
    EXPECT_EQ(model.Text(15, 11), " ");
    EXPECT_EQ(model.Text(15, 1), " ");
}

TEST_F(GridModelTest, LatitudeLeadingBlankIsNoOverlapAndPicksTheItem) {
    Put(13, kVis, 0, 3); // " 52.000000N"
    Put(16, kVis, 0, 3); // "<>" drawn later over the first two cells
    model.Redraw();
    EXPECT_EQ(Row(3, 0, 3), "<>2.");
    EXPECT_EQ(model.Attr(0, 3), kVis);
    EXPECT_EQ(model.Attr(1, 3), kVis | cell::Overlap);
    EXPECT_EQ(model.Pick({0, 3}).Item, 13);
}

TEST_F(GridModelTest, VariometerBarAtRow1FoldsTheTopAndShowsOnlyVisibleAndSelection) {
    Put(12, kVis | flag::Negative | flag::Blinking | flag::Small, 4, 1);
    model.SetSelected(12);
    model.Redraw();
    EXPECT_EQ(model.Text(4, 0), "^");
    EXPECT_EQ(model.Text(4, 1), "-");
    EXPECT_EQ(model.Text(4, 2), "v");
    EXPECT_EQ(model.Text(4, 3), "v");
    EXPECT_EQ(model.Text(4, 4), "v");
    EXPECT_EQ(model.Text(4, 5), " ");
    for (int r = 0; r <= 4; ++r)
        EXPECT_EQ(model.Attr(4, r), kVis | cell::Selected) << r;
    EXPECT_EQ(model.Attr(4, 5), 0);
    // Picked on its centre cell only.
    EXPECT_EQ(model.Pick({4, 0}).Kind, TPick::TKind::None);
    EXPECT_EQ(model.Pick({4, 2}).Kind, TPick::TKind::None);
    EXPECT_EQ(model.Pick({4, 1}).Item, 12);
}

TEST_F(GridModelTest, VariometerBarAtTheBottomReachesIntoTheHiddenRows) {
    Put(12, kVis, 2, 15);
    Put(19, kVis, 1, 14); // "25\xB0C", drawn after the bar over its cell at column 2
    model.Redraw();
    EXPECT_EQ(model.Text(2, 12), "^");
    EXPECT_EQ(model.Text(2, 13), "^");
    EXPECT_EQ(model.Text(2, 14), "5");
    EXPECT_EQ(model.Attr(2, 14), kVis | cell::Overlap);
    EXPECT_EQ(model.Text(2, 15), "-");
    EXPECT_EQ(model.Text(2, 16), "v");
    EXPECT_EQ(model.Text(2, 18), "v");
    EXPECT_EQ(model.Attr(2, 12), kVis);
    EXPECT_EQ(model.Attr(2, 11), 0);
}

TEST_F(GridModelTest, ItemAlreadyDrawnUnderTheVariometerBarMarksTheBar) {
    Put(3, kVis, 0, 6);  // "V12.0v" columns 0..5 on row 6
    Put(12, kVis, 2, 8); // bar rows 5..11 at column 2
    model.Redraw();
    EXPECT_EQ(model.Text(2, 6), "^");
    EXPECT_EQ(model.Attr(2, 6), kVis | cell::Overlap);
    EXPECT_EQ(model.Attr(2, 7), kVis);
}

TEST_F(GridModelTest, DragKeepsTheGrabOffsetAndLimitsX) {
    Put(1, kVis, 5, 2);
    EXPECT_FALSE(model.DragTarget({3, 3}).has_value()); // no drag yet
    ASSERT_EQ(model.Pick({8, 2}).Item, 1);              // fourth cell
    EXPECT_EQ(model.GrabOffset(), 3);
    EXPECT_EQ(model.DragTarget({1, 6}), (TCellPos{0, 6}));
    EXPECT_EQ(model.GrabOffset(), 3);
    EXPECT_EQ(model.DragTarget({20, 9}), (TCellPos{17, 9}));
    EXPECT_EQ(model.DragTarget({29, 15}), (TCellPos{26, 15}));
    model.Drop();
    EXPECT_FALSE(model.DragTarget({20, 9}).has_value());
}

TEST_F(GridModelTest, HorizonCentreCellSelectsTheHorizonWithoutADrag) {
    Put(7, kVis, 14, 8); // "=1000m" covers column 15 of row 8
    ASSERT_EQ(model.Pick({14, 8}).Item, 7);
    EXPECT_TRUE(model.Dragging());
    const TPick pick = model.Pick({15, 8});
    EXPECT_EQ(pick.Kind, TPick::TKind::Horizon);
    EXPECT_EQ(model.Selected(), 0);
    EXPECT_FALSE(model.Dragging());
    EXPECT_FALSE(model.DragTarget({3, 3}).has_value());
    // With 13 rows the centre cell is row 6; row 8 is then an ordinary cell.
    model.SelectNtsc();
    Put(7, kVis, 14, 8);
    EXPECT_EQ(model.Pick({15, 8}).Item, 7);
    EXPECT_EQ(model.Pick({15, 6}).Kind, TPick::TKind::Horizon);
}

TEST_F(GridModelTest, NothingIsPickedBeyondTheItemCount) {
    Put(1, kVis, 5, 2);
    model.SetItemCount(1);
    EXPECT_EQ(model.Pick({5, 2}).Kind, TPick::TKind::None);
    model.Redraw();
    EXPECT_EQ(model.Text(5, 2), " ");
    model.SetItemCount(50);
    EXPECT_EQ(model.ItemCount(), kItemCount);
    model.SetItemCount(0);
    EXPECT_EQ(model.ItemCount(), 1);
}

TEST_F(GridModelTest, NtscSwitchMovesLowRowsUpInAllModesAndPalMovesNothingBack) {
    for (int m = 0; m < kLayoutModes; ++m) {
        Put(m, 5, kVis, 3, 15);
        Put(m, 6, kVis, 3, 12);
        Put(m, 7, kVis, 3, 13);
    }
    image.SetXPos(1, 0, 150);
    image.SetYPos(1, 0, 199); // horizon sensitivities are never shifted
    model.SelectNtsc();
    EXPECT_FALSE(image.IsPal());
    EXPECT_EQ(model.RowCount(), grid::NtscRows);
    for (int m = 0; m < kLayoutModes; ++m) {
        EXPECT_EQ(image.YPos(m, 5), 12) << m;
        EXPECT_EQ(image.YPos(m, 6), 12) << m;
        EXPECT_EQ(image.YPos(m, 7), 10) << m;
    }
    EXPECT_EQ(image.YPos(1, 0), 199);
    model.SelectPal();
    EXPECT_TRUE(image.IsPal());
    EXPECT_EQ(model.RowCount(), grid::PalRows);
    EXPECT_EQ(image.YPos(2, 5), 12);
}

TEST_F(GridModelTest, NtscSwitchTouchesOnlyItemsBelowTheItemCount) {
    Put(2, 5, kVis, 3, 15);
    model.SetItemCount(1);
    model.SelectNtsc();
    EXPECT_EQ(image.YPos(2, 5), 15);
}

TEST_F(GridModelTest, TakingTheImagesStandardSwitchesOnAChangeAndOnceMoreWhenForced) {
    image.SetConfigBit(cfg::Pal, false);
    image.SetMode(7);
    Put(1, 4, kVis, 3, 18);
    model.TakeStandardAndMode(true, false); // PAL shown: one switch, 18 -> 15
    EXPECT_EQ(image.YPos(1, 4), 15);
    EXPECT_EQ(image.Mode(), 2);
    EXPECT_EQ(model.LayoutMode(), 2);
    model.TakeStandardAndMode(false, false); // NTSC shown, not forced: no switch
    EXPECT_EQ(image.YPos(1, 4), 15);
    Put(1, 4, kVis, 3, 18);
    model.TakeStandardAndMode(std::nullopt, true); // none shown and forced: two switches
    EXPECT_EQ(image.YPos(1, 4), 12);
}

TEST_F(GridModelTest, TwelveCharacterUserNameIsTwelveCellsWideForDrawingAndPicking) {
    const std::string name = "ABCDEFGHIJKL";
    for (std::size_t k = 0; k < name.size(); ++k)
        image.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(name[k]));
    catalogue.ReadUserName(image);
    Put(17, kVis, 2, 9);
    model.Redraw();
    EXPECT_EQ(Row(9, 2, 13), name);
    EXPECT_EQ(model.Text(14, 9), " ");
    EXPECT_EQ(model.Pick({13, 9}).Item, 17);
    EXPECT_EQ(model.GrabOffset(), 11);
    // A three-letter name: three cells.
    image.SetByte(ofs::UserName + 3, 0x00);
    catalogue.ReadUserName(image);
    model.Redraw();
    EXPECT_EQ(Row(9, 2, 5), "ABC ");
    EXPECT_EQ(model.Pick({5, 9}).Kind, TPick::TKind::None);
    EXPECT_EQ(model.Pick({4, 9}).Item, 17);
}

TEST_F(GridModelTest, LayoutModeChoosesTheRecordsAndTheSelection) {
    Put(0, 3, kVis, 1, 1);
    Put(1, 3, kVis | flag::Grey, 10, 10);
    model.SetSelected(3);
    model.SetLayoutMode(1);
    EXPECT_EQ(model.CurrentRecord(), ItemRecordOffset(1, 3));
    model.Redraw();
    EXPECT_EQ(model.Text(1, 1), " ");
    EXPECT_EQ(Row(10, 10, 15), "V12.0v");
    EXPECT_EQ(model.Attr(10, 10), kVis | cell::Grey | cell::Selected);
    model.SetLayoutMode(7); // invalid: OFF
    EXPECT_EQ(model.LayoutMode(), 0);
    model.Redraw();
    EXPECT_EQ(model.Attr(1, 1), kVis | cell::Selected);
}

TEST_F(GridModelTest, MousePositionsMapToCells) {
    EXPECT_EQ(model.CellAt(0, 0), (TCellPos{0, 0}));
    EXPECT_EQ(model.CellAt(12, 16), (TCellPos{0, 0})); // the grid line belongs to the cell
    EXPECT_EQ(model.CellAt(13, 17), (TCellPos{1, 1}));
    EXPECT_EQ(model.CellAt(389, 271), (TCellPos{29, 15}));
    EXPECT_FALSE(model.CellAt(390, 0).has_value());
    EXPECT_FALSE(model.CellAt(0, 272).has_value());
    EXPECT_FALSE(model.CellAt(-13, 0).has_value());
    EXPECT_EQ(model.CellAt(-12, 0), (TCellPos{0, 0})); // division truncates toward zero
    model.SelectNtsc();
    EXPECT_EQ(model.CellAt(0, 220), (TCellPos{0, 12}));
    EXPECT_FALSE(model.CellAt(0, 221).has_value());
}

TEST(CellStyleTest, FollowsThePainterRulesInOrder) {
    const bool on = true;
    // Plain visible cell.
    TCellStyle s = CellStyle(cell::Visible, false);
    EXPECT_EQ(s.Text, colour::Black);
    EXPECT_EQ(s.Background, colour::White);
    EXPECT_FALSE(s.Small);
    // Selected: red; grey background only with the visible bit.
    s = CellStyle(cell::Visible | cell::Selected | cell::Grey | cell::Small, false);
    EXPECT_EQ(s.Text, colour::Red);
    EXPECT_EQ(s.Background, colour::Grey);
    EXPECT_TRUE(s.Small);
    EXPECT_EQ(CellStyle(cell::Grey, false).Background, colour::White);
    // Blink phase 1 hides the text in the background colour.
    EXPECT_EQ(CellStyle(cell::Visible | cell::Blink, on).Text, colour::White);
    EXPECT_EQ(CellStyle(cell::Visible | cell::Blink, false).Text, colour::Black);
    EXPECT_EQ(CellStyle(cell::Visible | cell::Blink | cell::Grey | cell::Selected, on).Text,
              colour::Grey);
    // Hidden: pale, neither red nor blinking.
    EXPECT_EQ(CellStyle(cell::Selected | cell::Blink, on).Text, colour::Pale);
    EXPECT_EQ(CellStyle(cell::Selected, false).Text, colour::Pale);
    // Overlap: yellow in both phases; the off-phase text keeps the earlier background.
    s = CellStyle(cell::Visible | cell::Overlap | cell::Blink | cell::Grey, on);
    EXPECT_EQ(s.Background, colour::Yellow);
    EXPECT_EQ(s.Text, colour::Grey);
    s = CellStyle(cell::Visible | cell::Overlap | cell::Blink, on);
    EXPECT_EQ(s.Background, colour::Yellow);
    EXPECT_EQ(s.Text, colour::White);
    EXPECT_EQ(CellStyle(cell::Overlap, false).Background, colour::Yellow);
    // The negative bit is not painted.
    EXPECT_EQ(CellStyle(cell::Visible | cell::Negative, false).Text, colour::Black);
    EXPECT_EQ(CellStyle(cell::Visible | cell::Negative, false).Background, colour::White);
}

TEST(SensitivityTest, ParsesClampsAndKeepsTheStoredValueOnBadText) {
    EXPECT_EQ(SensitivityFromText("5", 100), 10);
    EXPECT_EQ(SensitivityFromText("250", 100), 200);
    EXPECT_EQ(SensitivityFromText("150", 100), 150);
    EXPECT_EQ(SensitivityFromText("010", 100), 10);
    EXPECT_EQ(SensitivityFromText("", 77), 77);
    EXPECT_EQ(SensitivityFromText("7a", 77), 77);
    EXPECT_EQ(SensitivityFromText("-5", 77), 77);
    EXPECT_EQ(SensitivityFromText(" 50", 77), 77);
    EXPECT_EQ(SensitivityFromText("1234", 77), 77);
    // The stored value is limited as well.
    EXPECT_EQ(SensitivityFromText("", 3), 10);
    EXPECT_EQ(SensitivityFromText("", 255), 200);
}

// Arbitrary images from the board never crash the model and keep its invariants.
TEST(GridModelRandomTest, ArbitraryImagesKeepTheModelConsistent) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    TConfigImage image;
    TItemCatalogue catalogue;
    TGridModel model(image, catalogue);
    model.SetItemCount(kItemCount);
    for (int round = 0; round < 300; ++round) {
        for (std::size_t k = 0; k < ofs::ImageSize; ++k)
            image.SetByte(k, static_cast<std::uint8_t>(byte(rng)));
        catalogue.ReadUserName(image);
        model.SetLayoutMode(byte(rng) % 3);
        model.SetSelected(byte(rng) % kItemCount);
        if (byte(rng) & 1)
            model.SelectNtsc();
        else
            model.SelectPal();
        model.Redraw();
        for (int c = 0; c < grid::TextColumns; ++c)
            for (int r = 0; r < grid::TextRows; ++r)
                ASSERT_LE(model.Text(c, r).size(), 1u);
        for (int c = 0; c < grid::Columns; ++c)
            for (int r = 0; r < grid::ClearRows; ++r) {
                ASSERT_EQ(model.Text(c, r).size(), 1u);
                ASSERT_EQ(model.Attr(c, r) & 0x10, 0);
            }
        const auto cellPos = model.CellAt(byte(rng) * 2, byte(rng));
        if (cellPos) {
            const TPick pick = model.Pick(*cellPos);
            if (pick.Kind != TPick::TKind::None) {
                ASSERT_GE(pick.Item, 0);
                ASSERT_LT(pick.Item, kItemCount);
            }
            if (const auto t = model.DragTarget({byte(rng) % 30, byte(rng) % 16})) {
                ASSERT_GE(t->Column, 0);
                ASSERT_LE(t->Column, grid::MaxX);
                ASSERT_LE(t->Row, grid::MaxY);
            }
        }
        model.FixSelectedPosition();
        if (model.Selected() != 0) {
            ASSERT_LE(image.XPos(model.LayoutMode(), model.Selected()), grid::MaxX);
            ASSERT_LE(image.YPos(model.LayoutMode(), model.Selected()), grid::MaxY);
        }
    }
}

} // namespace
} // namespace halvex
