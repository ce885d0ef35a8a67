// Every caption of the settings and import dialogs is whole in both languages: each text
// fits its control, each control lies inside its parent and no two siblings overlap.
// With HALVEX_RENDER_DIR set, the dialogs are also saved there as PNG files for a look.
#include "ui/ImportDialog.h"
#include "ui/SettingsDialog.h"

#include "GuiTestApp.h"
#include "WindowFit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace halvex;

namespace {

void Render(QWidget* w, const char* file) {
    const QByteArray dir = qgetenv("HALVEX_RENDER_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(w->grab().save(QString::fromLocal8Bit(dir) + "/" + file));
    }
}

class DialogLayout : public ::testing::TestWithParam<TLanguage> {
protected:
    void SetUp() override { test::GuiTestApp(); }
    const char* Suffix() const { return GetParam() == TLanguage::Polish ? "pl" : "en"; }
};

} // namespace

TEST_P(DialogLayout, SettingsDialogCaptionsAreWhole) {
    TConfigImage image;
    image.SetWord(ofs::MahAlarm, 65500);
    image.SetWord(ofs::Odometer + 2, 0xFFFF); // the longest odometer line
    image.SetWord(ofs::Odometer, 0xFFFF);
    for (int k = 0; k < 12; ++k)
        image.SetByte(ofs::UserName + k, 'W');
    TForm2 form(image);
    const TLanguage language = GetParam();
    form.Language = [language] { return language; };
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    test::ExpectWindowWhole(&form);
    EXPECT_EQ(form.StaticText1->text(), " Odo: 4294967.2km");
    Render(&form, (std::string("TForm2_") + Suffix() + ".png").c_str());
}

TEST_P(DialogLayout, ImportDialogCaptionsAreWhole) {
    TForm3 form;
    form.ApplyLanguage(GetParam());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    test::ExpectWindowWhole(&form);
    Render(&form, (std::string("TForm3_") + Suffix() + ".png").c_str());
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogLayout,
                         ::testing::Values(TLanguage::English, TLanguage::Polish),
                         [](const ::testing::TestParamInfo<TLanguage>& p) {
                             return p.param == TLanguage::Polish ? "Polish" : "English";
                         });
