// The character editor in the program: its upload follows FontMap Update, sends the edited
// set and ends like FontMap Update; the OSD preview draws the edits at once.
#include "AppRig.h"
#include "ui/FontStudio.h"
#include "ui/OsdPreview.h"

namespace halvex {
namespace {

class StudioUpload : public test::AppRig {};

TEST_F(StudioUpload, TheEditedSetGoesUpOnlyWhenFontMapUpdateCould) {
    Start();
    TFontStudio* studio = F().Studio();
    EXPECT_FALSE(studio->UploadButton->isEnabled());
    EXPECT_EQ(studio->UploadButton->toolTip(),
              QStringLiteral("Possible once the port is open and the OSD has answered the "
                             "connection check"));

    // An edit shows in the preview at once.
    studio->Choose('A');
    studio->BeginStroke();
    studio->PaintPixel(0, TGlyphPixel::White);
    studio->PaintPixel(1, TGlyphPixel::Black);
    studio->EndStroke();
    const TGlyph edited = studio->Document().Glyph('A');
    EXPECT_EQ(F().Preview()->Painter().Glyphs()['A'], edited);
    EXPECT_TRUE(F().Preview()->FontLabel->text().endsWith(QStringLiteral(" *")));

    ConfirmLink();
    ASSERT_TRUE(studio->UploadButton->isEnabled());
    Progress.clear();
    QWidget* owner = nullptr; // of the box that ends the upload
    MessageBoxHook() = [this, &owner](TBoxKind kind, const QString& text) {
        owner = MessageBoxOwner();
        Boxes.push_back({kind, text});
    };
    Click(studio->UploadButton);
    EXPECT_TRUE(W->Form4.isVisible());
    Run(2000);
    EXPECT_EQ(Board->Stats().CharFramesTotal(), 256);
    const TFontSet sent = studio->Document().Sent();
    for (std::size_t c = 0; c < kFontChars; ++c)
        ASSERT_TRUE(std::equal(sent[c].begin(), sent[c].end(), Board->Font()[c].begin())) << c;
    EXPECT_EQ(Progress.back(), 255);
    EXPECT_EQ(Texts(TBoxKind::Message), std::vector<QString>{QStringLiteral("Fonts loaded !")});
    EXPECT_EQ(owner, studio);
    EXPECT_EQ(F().Preview()->Painter().Glyphs()['A'], edited);

    // With a configuration loaded FontMap Update is hidden: so is the way up.
    Click(F().Button1);
    Run(400);
    ASSERT_EQ(F().State(), TWindowState::Loaded);
    EXPECT_FALSE(studio->UploadButton->isEnabled());
    EXPECT_TRUE(studio->UploadButton->toolTip().startsWith(QStringLiteral("Not while")));
}

TEST_F(StudioUpload, TheWarningNamesTheLayoutsItemsInTheInterfaceLanguage) {
    WritePrefs("Lang=1\n");
    Start();
    LoadConfiguration();
    TFontStudio* studio = F().Studio();
    std::vector<QString> questions;
    studio->Question = [&questions](const QString& question) {
        questions.push_back(question);
        return false;
    };
    TRgbaPicture digits;
    digits.Width = 120;
    digits.Height = 18;
    digits.Rgba.assign(120 * 18 * 4, 255);
    TPictureImportChoice choice;
    choice.First = '0';
    choice.Options.Columns = 10;
    EXPECT_FALSE(studio->ImportPicture(digits, choice));
    ASSERT_EQ(questions.size(), 1u);
    const QString& q = questions[0];
    EXPECT_TRUE(q.startsWith(QStringLiteral("Znaki 48-57 są używane przez: "))) << q.toStdString();
    EXPECT_TRUE(q.contains(QStringLiteral("Prędkość, ")) &&
                q.contains(QStringLiteral("Wysokość, ")))
        << q.toStdString();
    EXPECT_TRUE(q.endsWith(QStringLiteral("\nNadpisać je ?")));
    EXPECT_EQ(studio->windowTitle(), QStringLiteral("Edytor znaków"));
}

// Quitting while the set goes up asks about the set's unsaved edits before the transfer is
// stopped: No keeps the window, the edits and the upload.
TEST_F(StudioUpload, QuittingDuringTheUploadAsksAboutTheUnsavedSetFirst) {
    Start();
    TFontStudio* studio = F().Studio();
    studio->Question = W->Form1.Question;
    studio->BeginStroke();
    studio->PaintPixel(0, TGlyphPixel::Black);
    studio->EndStroke();
    ConfirmLink();
    Click(studio->UploadButton);
    Run(3);
    Answer = false;
    EXPECT_FALSE(F().close());
    EXPECT_EQ(Questions, std::vector<QString>{QStringLiteral(
                             "Discard the changes to the character set not saved ?")});
    EXPECT_TRUE(F().Link->Busy());
    EXPECT_TRUE(studio->Document().Modified());
    Answer = true;
    EXPECT_TRUE(F().close());
    EXPECT_EQ(Questions.size(), 3u); // the set, then the transfer
}

} // namespace
} // namespace halvex
