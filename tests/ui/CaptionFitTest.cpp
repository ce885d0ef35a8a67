// Every caption and label of every window (the main window and its dialogs, the OSD
// preview, the character editor with its picture import, the preset chooser), in both
// languages, fits the room its control gives it, measured with the font the program
// chooses (Liberation Sans, which the package depends on): a text clipped on a user's
// machine fails the build here.
#include "AppRig.h"
#include "WindowFit.h"

#include "ui/FontStudio.h"
#include "ui/ImportDialog.h"
#include "ui/LayoutStudio.h"
#include "ui/OsdPreview.h"
#include "ui/PictureImport.h"
#include "ui/PresetForm.h"

#include <QFontInfo>

#include <utility>

using namespace halvex;
using namespace halvex::test;

namespace {

class CaptionFit : public AppRig {
protected:
    void Choose(int item) {
        E().ComboBox1->setCurrentIndex(item);
        emit E().ComboBox1->activated(item);
    }
    // Shows `window`, measures it and hides it again.
    void Measure(QWidget& window, const std::string& context) {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ExpectWindowWhole(&window, context);
        window.hide();
    }
    // The character editor, its picture import, and the preset chooser with its presets and
    // without them (its note shown).
    void MeasureStudioWindows(TLanguage language, const std::string& lang) {
        TFontStudio& studio = *F().Studio();
        studio.ApplyLanguage();
        Measure(studio, " character editor" + lang);
        TRgbaPicture logo;
        logo.Width = 288;
        logo.Height = 72;
        logo.Rgba.assign(288 * 72 * 4, 255);
        TPictureSource picture(std::move(logo));
        TPictureImportDialog import(picture, 160, language, &studio);
        Measure(import, " picture import" + lang);
        TLayoutStudio& layout = E().Studio();
        TPresetForm& chooser = layout.PresetForm();
        const TPresetLibrary shipped = layout.Presets;
        chooser.Reload(language, 1);
        Measure(chooser, " preset chooser" + lang);
        layout.Presets = TPresetLibrary(QStringLiteral("/nonexistent"), QString());
        chooser.Reload(language, 1);
        Measure(chooser, " preset chooser without presets" + lang);
        layout.Presets = shipped;
    }
};

TEST_F(CaptionFit, EveryCaptionOfEveryWindowFitsInBothLanguages) {
    EXPECT_EQ(QFontInfo(InterfaceFont()).family(), QStringLiteral("Liberation Sans"));
    Start();
    for (const int language : {0, 1}) {
        const std::string lang = language == 1 ? " (Polish)" : " (English)";
        ClickRadio(F().RadioGroup6->Button(language));
        ExpectWindowWhole(&F(), " before a read" + lang);
        LoadConfiguration();
        for (int item : {0, 4, 11, 12, 19}) {
            Choose(item);
            ExpectWindowWhole(&F(), " item " + std::to_string(item) + lang);
        }
        Measure(W->Form2, lang);
        W->Form3.ApplyLanguage(language == 1 ? TLanguage::Polish : TLanguage::English);
        Measure(W->Form3, lang);
        W->Form4.ProgressBar1->setValue(255);
        Measure(W->Form4, lang);
        F().Preview()->ShowPreview();
        ExpectWindowWhole(F().Preview(), lang);
        F().Preview()->hide();
        MeasureStudioWindows(language == 1 ? TLanguage::Polish : TLanguage::English, lang);
        Click(F().Button6); // closed again: the language choice shows
    }
}

} // namespace
