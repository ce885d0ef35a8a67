// The OSD preview: rendered cells against their glyph's bits (plain, negative, on grey),
// the preview following the editor, and the way back to the plain background.
#include "ui/OsdPreview.h"
#include "EditorRig.h"
#include "editor/OsdScreen.h"

#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;

TEST(OsdPreview, RenderedCellShowsItsGlyphPixelByPixel) {
    test::GuiTestApp();
    // '*' of "*00:00" and "*11:22", 'V' of "V12.0v": every byte 00 10 01 11, so each row
    // runs black, white, clear, clear.
    TFontSet font{};
    font['*'].fill(0b00'10'01'11);
    font['V'].fill(0b00'10'01'11);
    test::TParkedImage parked;
    parked.Put(1, kVis, 3, 2);
    parked.Put(2, kVis | flag::Negative, 3, 4);
    parked.Put(3, kVis | flag::Grey, 3, 6);
    TItemCatalogue catalogue;
    TGridModel model(parked.image, catalogue);
    model.SetItemCount(kItemCount);
    TOsdScreen screen;
    screen.Build(model, true);

    TPreviewPainter painter;
    painter.SetGlyphs(DecodeFont(font));
    constexpr int zoom = 2;
    const QImage picture = painter.Picture(screen, zoom);
    ASSERT_EQ(picture.size(), QSize(360 * zoom, 16 * 18 * zoom));
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    const QRgb video = qRgb(128, 128, 128), local = qRgb(64, 64, 64);
    const auto expectCell = [&](int row, const std::array<QRgb, 4>& expected) {
        const QPoint cell(3 * 12 * zoom, row * 18 * zoom);
        for (int y = 0; y < 18 * zoom; ++y)
            for (int x = 0; x < 12 * zoom; ++x)
                ASSERT_EQ(picture.pixel(cell + QPoint(x, y)),
                          expected[static_cast<std::size_t>((x / zoom) % 4)])
                    << "row " << row << ": " << x << "," << y;
    };
    expectCell(2, {black, white, video, video});
    expectCell(4, {white, black, video, video}); // negative: inverted, clear stays clear
    expectCell(6, {black, white, local, local}); // grey: clear pixels show the local grey
    // A cell no item draws shows the video background.
    EXPECT_EQ(picture.pixel(0, 0), video);
}

class OsdPreviewFollow : public ::testing::Test, protected test::TEditorRig {};

TEST_F(OsdPreviewFollow, AnEditorChangeShowsAtOnce) {
    Put(1, kVis, 3, 2);
    Build();
    Open();
    QTemporaryDir dir;
    TPreferences preferences(dir.filePath(QStringLiteral("prefs.ini")));
    TPreviewForm preview(preferences);
    preview.Follow(*editor);
    EXPECT_EQ(preview.Screen().Cell(3, 2).Glyph, '*');

    Choose(1);
    editor->UpDown1->Click(TUpDown::TButton::Up);
    EXPECT_FALSE(preview.Screen().Cell(3, 2).Drawn);
    EXPECT_EQ(preview.Screen().Cell(4, 2).Glyph, '*');
    EXPECT_TRUE(preview.Screen().Cell(4, 2).Selected);
}

TEST(OsdPreview, SizePlaceAndFontAreRemembered) {
    test::GuiTestApp();
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("prefs.ini"));
    const QString font = dir.filePath(QStringLiteral("font.mcm"));
    {
        QFile f(font);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("MAX7456");
        for (int k = 0; k < 256 * 64; ++k)
            f.write("\n00000000"); // every pixel black
    }
    QRect placed;
    {
        TPreferences preferences(store);
        TPreviewForm preview(preferences);
        preview.ShowPreview();
        ASSERT_TRUE(preview.LoadFont(font));
        preview.setGeometry(60, 70, 500, 400);
        placed = preview.geometry();
        preview.hide();
    }
    TPreferences preferences(store);
    TPreviewForm preview(preferences);
    preview.ShowPreview();
    EXPECT_EQ(preview.geometry(), placed);
    EXPECT_EQ(preview.FontPath(), font);
    EXPECT_EQ(preview.Painter().Glyphs()[0][0], TGlyphPixel::Black); // the built-in one is clear
}

TEST(OsdPreview, PlainBackgroundReplacesThePictureAndIsRemembered) {
    test::GuiTestApp();
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("prefs.ini"));
    const QString png = dir.filePath(QStringLiteral("video.png"));
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(png));
    {
        TPreferences preferences(store);
        TPreviewForm preview(preferences);
        preview.ShowPreview();
        ASSERT_TRUE(preview.LoadBackground(png));
        ASSERT_TRUE(preview.PlainButton->isEnabled());
        preview.PlainButton->click();
        EXPECT_FALSE(preview.Painter().HasPicture());
        EXPECT_FALSE(preview.PlainButton->isEnabled());
        preview.hide();
    }
    TPreferences preferences(store);
    TPreviewForm preview(preferences);
    preview.ShowPreview();
    EXPECT_FALSE(preview.Painter().HasPicture());
}

} // namespace
} // namespace halvex
