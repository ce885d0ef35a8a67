// StringGrid1 painted into an image: cell colours for the selected, hidden, overlapping,
// grey and blinking cases, the grid lines, the two grid heights and the cell characters.
#include "EditorRig.h"

#include <QComboBox>
#include <QImage>
#include <QPixmap>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <memory>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;
const QColor kRed(255, 0, 0), kBlack(0, 0, 0), kWhite(255, 255, 255), kGrey(128, 128, 128),
    kPale(224, 224, 240), kYellow(255, 255, 0), kSilver(192, 192, 192);

class LayoutGridRenderTest : public ::testing::Test, protected test::TEditorRig {
protected:
    LayoutGridRenderTest() { Build(); }
    QImage Shot() const {
        return editor->StringGrid1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Pixels of exactly this colour inside the cell (frame excluded).
    static int Count(const QImage& img, int column, int row, const QColor& colour) {
        const QRect r = TLayoutGrid::CellRect(column, row).adjusted(1, 1, -1, -1);
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += img.pixelColor(x, y) == colour;
        return n;
    }
    static QColor Corner(const QImage& img, int column, int row) {
        const QRect r = TLayoutGrid::CellRect(column, row);
        return img.pixelColor(r.left(), r.top());
    }
};

TEST_F(LayoutGridRenderTest, BlankGridHasWhiteCellsAndGridLines) {
    const QImage img = Shot();
    ASSERT_EQ(img.size(), QSize(390, 272));
    EXPECT_EQ(Count(img, 0, 0, kWhite), 10 * 14);
    EXPECT_EQ(Count(img, 29, 15, kWhite), 10 * 14);
    EXPECT_EQ(img.pixelColor(12, 5), kSilver); // vertical line right of column 0
    EXPECT_EQ(img.pixelColor(5, 16), kSilver); // horizontal line below row 0
    EXPECT_EQ(img.pixelColor(389, 271), kSilver);
    EXPECT_EQ(img.pixelColor(377, 255), kWhite); // top-left pixel of cell (29, 15)
}

TEST_F(LayoutGridRenderTest, SelectedTextIsRedAndOthersBlack) {
    Put(3, kVis, 2, 2);
    Put(5, kVis, 2, 4);
    Open();
    Choose(3);
    const QImage img = Shot();
    EXPECT_GT(Count(img, 2, 2, kRed), 5); // "V"
    EXPECT_EQ(Count(img, 2, 2, kBlack), 0);
    EXPECT_EQ(Corner(img, 2, 2), kWhite);
    EXPECT_GT(Count(img, 2, 4, kBlack), 5); // "2"
    EXPECT_EQ(Count(img, 2, 4, kRed), 0);
}

TEST_F(LayoutGridRenderTest, HiddenItemIsPaleEvenWhenSelected) {
    Put(3, flag::Blinking | flag::Grey, 2, 2);
    Open();
    Choose(3);
    for (int tick = 0; tick < 2; ++tick) {
        const QImage img = Shot();
        EXPECT_GT(Count(img, 2, 2, kPale), 5) << tick;
        EXPECT_EQ(Count(img, 2, 2, kRed), 0) << tick;
        EXPECT_EQ(Corner(img, 2, 2), kWhite) << tick; // no grey without the visible bit
        editor->BlinkTick();
    }
}

TEST_F(LayoutGridRenderTest, OverlapIsYellowInBothBlinkPhases) {
    Put(3, kVis | flag::Blinking, 5, 4);
    Put(5, kVis | flag::Blinking, 8, 4);
    Open();
    QImage img = Shot();
    EXPECT_EQ(Corner(img, 8, 4), kYellow);
    EXPECT_GT(Count(img, 8, 4, kBlack), 5);
    EXPECT_EQ(Corner(img, 7, 4), kWhite);
    editor->BlinkTick();
    img = Shot();
    EXPECT_EQ(Corner(img, 8, 4), kYellow);
    EXPECT_EQ(Count(img, 8, 4, kBlack), 0);
    EXPECT_GT(Count(img, 8, 4, kWhite), 5); // the text takes the colour the cell had before
    EXPECT_EQ(Count(img, 7, 4, kBlack), 0);
    EXPECT_EQ(Count(img, 7, 4, kWhite), 10 * 14);
}

TEST_F(LayoutGridRenderTest, BlinkPhaseHidesBlinkingTextOnGrey) {
    Put(3, kVis | flag::Blinking | flag::Grey, 3, 3); // "V12.0v"
    Put(4, kVis | flag::Grey, 3, 5);                  // "M12.0v"
    Open();
    QImage img = Shot();
    EXPECT_EQ(Corner(img, 3, 3), kGrey);
    EXPECT_GT(Count(img, 3, 3, kBlack), 5);
    editor->BlinkTick();
    img = Shot();
    EXPECT_EQ(Count(img, 3, 3, kGrey), 10 * 14);
    EXPECT_GT(Count(img, 3, 5, kBlack), 5); // not blinking
    editor->BlinkTick();
    img = Shot();
    EXPECT_GT(Count(img, 3, 3, kBlack), 5);
}

TEST_F(LayoutGridRenderTest, HorizonZoneIsWhiteAndItemsInItYellow) {
    image.SetFlags(0, 0, kVis);
    Put(9, kVis, 18, 5);
    Open();
    QImage img = Shot();
    EXPECT_GT(Count(img, 15, 8, kRed), 5); // the selected horizon's "v"
    EXPECT_EQ(Corner(img, 12, 5), kWhite);
    EXPECT_EQ(Count(img, 12, 5, kWhite), 10 * 14); // no-break space draws nothing
    EXPECT_EQ(Corner(img, 19, 5), kYellow);
    EXPECT_EQ(Corner(img, 21, 5), kWhite);
    editor->CheckBox1->click(); // horizon hidden: pale line, no zone
    img = Shot();
    EXPECT_EQ(Corner(img, 19, 5), kWhite);
    EXPECT_GT(Count(img, 15, 8, kPale), 5); // the "v", selected yet pale
    EXPECT_EQ(Count(img, 15, 8, kRed), 0);
    EXPECT_NE(Count(img, 12, 8, kWhite), 10 * 14); // the line is drawn
}

TEST_F(LayoutGridRenderTest, SmallFontIsDrawnLowerAndSmaller) {
    Put(7, kVis, 0, 2);                // "=1000m", big
    Put(14, kVis | flag::Small, 0, 4); // "123.000000E", small
    Open();
    const QImage img = Shot();
    auto inkRows = [&](int column, int row) {
        const QRect r = TLayoutGrid::CellRect(column, row);
        int top = -1, bottom = -1;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (img.pixelColor(x, y).lightness() < 128) {
                    if (top < 0)
                        top = y - r.top();
                    bottom = y - r.top();
                }
        return std::pair{top, bottom};
    };
    const auto big = inkRows(1, 2);   // "1"
    const auto small = inkRows(0, 4); // "1"
    ASSERT_GE(big.first, 0);
    ASSERT_GE(small.first, 0);
    EXPECT_LT(small.second - small.first, big.second - big.first);
    EXPECT_GE(small.first, big.first);
}

TEST_F(LayoutGridRenderTest, NtscGridIsThirteenRowsHigh) {
    image.SetConfigBit(cfg::Pal, false);
    Put(4, kVis, 0, 12);
    Open();
    QImage img = Shot();
    EXPECT_EQ(img.size(), QSize(390, 221));
    EXPECT_GT(Count(img, 0, 12, kBlack), 5);
    editor->RadioGroup4->Button(1)->click();
    img = Shot();
    EXPECT_EQ(img.size(), QSize(390, 272));
    EXPECT_EQ(editor->StringGrid1->pos(), QPoint(6, 6));
}

TEST_F(LayoutGridRenderTest, CellBytesAreWindows1250) {
    EXPECT_EQ(TLayoutGrid::CellGlyph(0xB0), QString(QChar(0x00B0)));
    EXPECT_EQ(TLayoutGrid::CellGlyph(0xBB), QString(QChar(0x00BB)));
    EXPECT_EQ(TLayoutGrid::CellGlyph(0xA0), QString(QChar(0x00A0)));
    EXPECT_EQ(TLayoutGrid::CellGlyph(0xB9), QString(QChar(0x0105))); // ą
    EXPECT_EQ(TLayoutGrid::CellGlyph(0x9C), QString(QChar(0x015B))); // ś
    EXPECT_EQ(TLayoutGrid::CellGlyph('A'), QStringLiteral("A"));
    // Control bytes from a stored user name paint without trouble.
    for (std::size_t k = 0; k < ofs::UserNameLen; ++k)
        image.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(k + 1));
    Put(17, kVis, 0, 1);
    Open();
    EXPECT_EQ(Shot().size(), QSize(390, 272));
}

} // namespace
} // namespace halvex

namespace halvex {
namespace {

// Dark runs along one pixel row of a cell, inside its frame.
int StrokesAcross(const QImage& img, int column, int row, int y) {
    const QRect r = TLayoutGrid::CellRect(column, row);
    int runs = 0;
    bool dark = false;
    for (int x = r.left() + 1; x < r.right(); ++x) {
        const bool d = img.pixelColor(x, r.top() + y).lightness() < 160;
        runs += d && !dark;
        dark = d;
    }
    return runs;
}

TEST_F(LayoutGridRenderTest, WideCharactersKeepAllTheirStrokes) {
    Put(7, kVis, 0, 2); // "=1000m": the "m" has three stems
    Put(3, kVis, 0, 4); // "V12.0v": the "1" and "2" keep the usual place
    Open();
    const QImage img = Shot();
    EXPECT_EQ(StrokesAcross(img, 5, 2, 10), 3);
    // A narrow character starts 2 pixels into the cell.
    const QRect one = TLayoutGrid::CellRect(1, 4);
    int firstInk = -1;
    for (int x = one.left(); x <= one.right() && firstInk < 0; ++x)
        for (int y = one.top(); y <= one.bottom(); ++y)
            if (img.pixelColor(x, y).lightness() < 160) {
                firstInk = x - one.left();
                break;
            }
    EXPECT_GE(firstInk, 2);
}

} // namespace
} // namespace halvex
