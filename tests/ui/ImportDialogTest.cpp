#include "ui/ImportDialog.h"

#include "config/SettingsFile.h"

#include "GuiTestApp.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace halvex;

namespace {

class ImportDialog : public ::testing::Test {
protected:
    void SetUp() override { test::GuiTestApp(); }

    // Runs Execute; `act` runs inside the modal loop, then must close the dialog.
    int Run(TForm3& form, TLanguage language, int& flags, std::function<void()> act) {
        bool ran = false;
        QTimer::singleShot(0, &form, [&] {
            ran = true;
            act();
        });
        const int result = form.Execute(language, flags);
        EXPECT_TRUE(ran);
        return result;
    }
};

} // namespace

TEST_F(ImportDialog, StartsWithLayoutsOnlyAndHasNoTitleBarButtons) {
    TForm3 form;
    EXPECT_EQ(form.windowTitle(), "Import");
    EXPECT_EQ(form.Button1->text(), "OK");
    EXPECT_TRUE(form.CheckBox1->Checked());
    EXPECT_FALSE(form.CheckBox2->Checked());
    EXPECT_EQ(form.Flags(), import_flag::Layouts);
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinMaxButtonsHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
}

TEST_F(ImportDialog, OkReturnsTheChoiceAndTheChoiceIsKeptForTheNextRun) {
    TForm3 form;
    int flags = -1;
    int result = Run(form, TLanguage::English, flags, [&] {
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.isModal());
        form.CheckBox1->click();
        form.CheckBox2->click();
        form.Button1->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(flags, import_flag::Main);

    flags = -1;
    result = Run(form, TLanguage::English, flags, [&] {
        EXPECT_FALSE(form.CheckBox1->Checked());
        EXPECT_TRUE(form.CheckBox2->Checked());
        form.CheckBox1->click();
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(flags, import_flag::Main | import_flag::Layouts);
}

TEST_F(ImportDialog, ClosedWithoutOkStillReportsTheChoice) {
    TForm3 form;
    int flags = -1;
    const int result = Run(form, TLanguage::English, flags, [&] {
        form.CheckBox2->click();
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(flags, import_flag::Main | import_flag::Layouts);
}

TEST_F(ImportDialog, TextsAreSetForTheLanguageEachTimeItOpens) {
    TForm3 form;
    int flags = 0;
    Run(form, TLanguage::Polish, flags, [&] {
        EXPECT_EQ(form.GroupBox1->title(), "Importuj: ");
        EXPECT_EQ(form.CheckBox1->text(), QString::fromUtf8("Układ ekranów"));
        EXPECT_EQ(form.CheckBox2->text(), QString::fromUtf8("Ustawienia główne"));
        EXPECT_EQ(form.windowTitle(), "Import");
        form.Button1->click();
    });
    Run(form, TLanguage::English, flags, [&] {
        EXPECT_EQ(form.GroupBox1->title(), "Import data for: ");
        EXPECT_EQ(form.CheckBox1->text(), "Screen layouts");
        EXPECT_EQ(form.CheckBox2->text(), "Main settings");
        form.Button1->click();
    });
}
