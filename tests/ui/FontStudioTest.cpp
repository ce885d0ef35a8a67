// The character editor on its own: a stroke and a picture import as single undo steps, the
// warning before characters the layout uses change, and paste between two sets.
#include "ui/FontStudio.h"
#include "GuiTestApp.h"
#include "ui/ExceptionReport.h"
#include "ui/GlyphViews.h"

#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <fstream>

namespace halvex {
namespace {

using P = TGlyphPixel;

class FontStudioTest : public ::testing::Test {
protected:
    FontStudioTest() {
        studio.Question = [this](const QString& q) {
            questions.push_back(q);
            return answer;
        };
        studio.resize(800, 600);
        studio.show();
        studio.activateWindow();
        // The window's shortcuts work in the active window.
        EXPECT_TRUE(QTest::qWaitForWindowActive(&studio));
    }

    // A stroke with `button` through the given chip pixels of the edited character.
    void Stroke(Qt::MouseButton button, std::initializer_list<int> pixels) {
        TGlyphEditView* view = studio.EditView;
        QTest::mousePress(view, button, {}, view->PixelCentre(*pixels.begin()));
        for (const int p : pixels)
            QTest::mouseMove(view, view->PixelCentre(p));
        QTest::mouseRelease(view, button, {}, view->PixelCentre(*std::prev(pixels.end())));
    }

    // A set file whose every picture is transparent but character `code`'s, all white.
    QString WriteSet(const char* name, int code) {
        TGlyphSet glyphs{};
        for (TGlyph& g : glyphs)
            g.fill(P::Transparent);
        glyphs[static_cast<std::size_t>(code)].fill(P::White);
        const QString path = dir.filePath(QString::fromLatin1(name));
        std::ofstream(path.toStdString(), std::ios::binary) << TFontDocument(glyphs).McmText();
        return path;
    }

    QApplication& app = test::GuiTestApp();
    QTemporaryDir dir;
    TPreferences preferences{dir.filePath(QStringLiteral("prefs.ini"))};
    TFontStudio studio{preferences};
    std::vector<QString> questions;
    bool answer = true;
};

TEST_F(FontStudioTest, AStrokeIsOneStepAndUndoRedoFollowTheKeys) {
    studio.Choose('A');
    const TGlyph before = studio.Document().Glyph('A');
    Stroke(Qt::LeftButton, {0, 1, 2, 26}); // from 2 down to 26 the line passes 14
    TGlyph after = studio.Document().Glyph('A');
    for (const int p : {0, 1, 2, 14, 26})
        EXPECT_EQ(after[static_cast<std::size_t>(p)], P::White) << p;
    EXPECT_EQ(studio.History().count(), 1);
    EXPECT_EQ(studio.History().undoText(), QStringLiteral("paint character 65"));
    EXPECT_TRUE(studio.Document().Modified());

    QTest::keyClick(&studio, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(studio.Document().Glyph('A'), before);
    EXPECT_FALSE(studio.Document().Modified());
    QTest::keyClick(&studio, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(studio.Document().Glyph('A'), after);
    // The right button paints transparent, whatever the ink.
    Stroke(Qt::RightButton, {0});
    EXPECT_EQ(studio.Document().Glyph('A')[0], P::Transparent);
    EXPECT_EQ(studio.History().count(), 2);
}

// A message box that opens during a stroke takes the button's release: the stroke ends
// there, as one step, and the editor goes on answering.
TEST_F(FontStudioTest, AStrokeCutOffByAModalBoxEndsAsOneStep) {
    studio.Choose('A');
    // Through the window, as the system delivers them (a blocked window gets none).
    QWindow* window = studio.windowHandle();
    const QPoint at = studio.EditView->mapTo(&studio, studio.EditView->PixelCentre(0));
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    {
        QDialog box(&studio);
        box.setModal(true);
        box.show();
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    }
    EXPECT_EQ(studio.History().count(), 1);
    studio.Choose('B');
    EXPECT_EQ(studio.Current(), 'B');
}

TEST_F(FontStudioTest, APictureImportWarnsAboutUsedCharactersAndIsOneStep) {
    TGlyphUse use{};
    use[8].set('0');
    use[8].set('1');
    studio.GlyphUse = [&use] { return use; };
    studio.ItemName = [](int item) { return item == 8 ? QStringLiteral("Speed") : QString(); };
    TRgbaPicture white;
    white.Width = 24;
    white.Height = 18;
    white.Rgba.assign(24 * 18 * 4, 255);
    const TMcmChars before = studio.Document().Chars();
    TPictureImportChoice choice;
    choice.First = '0';
    choice.Options.Columns = 2;

    answer = false;
    EXPECT_FALSE(studio.ImportPicture(white, choice));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              QStringLiteral("Characters 48-49 are used by: Speed\nOverwrite them ?"));
    EXPECT_EQ(studio.Document().Chars(), before);
    EXPECT_EQ(studio.History().count(), 0);

    answer = true;
    EXPECT_TRUE(studio.ImportPicture(white, choice));
    for (const int c : {'0', '1'})
        for (const P p : studio.Document().Glyph(static_cast<std::size_t>(c)))
            ASSERT_EQ(p, P::White) << c;
    EXPECT_EQ(studio.History().count(), 1);
    EXPECT_EQ(studio.History().undoText(), QStringLiteral("picture into characters 48-49"));
    studio.Undo();
    EXPECT_EQ(studio.Document().Chars(), before);
}

TEST_F(FontStudioTest, CharactersPasteFromTheSetBesideAsOneStep) {
    ASSERT_TRUE(studio.OpenSet(WriteSet("edited.mcm", 'A')));
    ASSERT_TRUE(studio.OpenBeside(WriteSet("beside.mcm", 'B')));
    EXPECT_TRUE(studio.BesidePane->isVisible());
    studio.BesideTable->OnChoose('B');
    QTest::keyClick(&studio, Qt::Key_C, Qt::ControlModifier);
    studio.SetTable->OnChoose('C');
    QTest::keyClick(&studio, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(studio.Document().Glyph('C'), studio.Beside()->Glyph('B'));
    EXPECT_EQ(studio.History().count(), 1);
    // Opening another set asks before the edit is dropped.
    answer = false;
    EXPECT_FALSE(studio.OpenSet(WriteSet("other.mcm", 'Z')));
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(studio.Document().Glyph('C'), studio.Beside()->Glyph('B'));
}

// The editor's boxes belong to it even while another window is active (as right after a
// file dialog closed); they say why a set is refused and how many characters it holds.
TEST_F(FontStudioTest, ItsBoxesBelongToItAndSayWhatTheSetIs) {
    QWidget main;
    SetMessageBoxOwner(&main);
    auto* editor = new TFontStudio(preferences, &main);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    std::vector<QString> texts;
    std::vector<QWidget*> owners;
    MessageBoxHook() = [&](TBoxKind, const QString& text) {
        texts.push_back(text);
        owners.push_back(MessageBoxOwner());
    };
    std::string set = TFontDocument(BuiltInGlyphs()).McmText();
    const QString path = dir.filePath(QStringLiteral("set.mcm"));
    editor->FileDialog = [&](const TFileDialogRequest&) {
        std::ofstream(path.toStdString(), std::ios::binary) << set;
        return path;
    };
    set.insert(7, " ");
    editor->OpenButton->click();
    set.erase(7, 1);
    for (int row = 0; row < 256 * 64; ++row)
        set += "01010101\r\n";
    editor->OpenButton->click();
    EXPECT_EQ(texts, (std::vector<QString>{
                         QStringLiteral("Bad file format ! (the first line must be \"MAX7456\" "
                                        "alone)"),
                         QStringLiteral("This set holds 512 characters; the OSD takes "
                                        "characters 0-255")}));
    EXPECT_EQ(owners, std::vector<QWidget*>(2, editor));
    UseModalMessageBoxes();
    SetMessageBoxOwner(nullptr);
}

} // namespace
} // namespace halvex
