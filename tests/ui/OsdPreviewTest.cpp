// The OSD preview: a rendered cell against its glyph's bits, and the preview following
// the editor.
#include "ui/OsdPreview.h"
#include "EditorRig.h"
#include "editor/OsdScreen.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;

TEST(OsdPreview, RenderedCellShowsItsGlyphPixelByPixel) {
    test::GuiTestApp();
    // '*' of "*00:00": every byte 00 10 01 11, so each row runs black, white, clear, clear.
    TFontSet font{};
    font['*'].fill(0b00'10'01'11);
    test::TParkedImage parked;
    parked.Put(1, kVis, 3, 2);
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
    const QRgb expected[4] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(128, 128, 128),
                              qRgb(128, 128, 128)};
    const QPoint cell(3 * 12 * zoom, 2 * 18 * zoom);
    for (int y = 0; y < 18 * zoom; ++y)
        for (int x = 0; x < 12 * zoom; ++x)
            ASSERT_EQ(picture.pixel(cell + QPoint(x, y)), expected[(x / zoom) % 4])
                << x << "," << y;
    // A cell no item draws shows the video background.
    EXPECT_EQ(picture.pixel(0, 0), qRgb(128, 128, 128));
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

} // namespace
} // namespace halvex
