#include "ui/SettingsDialog.h"

#include "GuiTestApp.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace halvex;

namespace {

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiTestApp();
        image_.SetByte(ofs::BattAlarm, 0x8F);
        image_.SetByte(ofs::Config, 0xFF);
        image_.SetAlarms(0xA5);
        image_.SetWord(ofs::MahAlarm, 2200);
        image_.SetWord(ofs::DistAlarm, 1500);
        image_.SetByte(ofs::FlytimAlarm, 15);
        image_.SetByte(ofs::AltAlarm, 12);
        image_.SetByte(ofs::RssiAlarm, 30);
        image_.SetByte(ofs::MinThempAlarm, 80);
        image_.SetByte(ofs::MaxThempAlarm, 160);
        image_.SetByte(ofs::BattCal, 180);
        image_.SetWord(ofs::Themp0Cal, 600);
        image_.SetWord(ofs::Themp100Cal, 1234);
        image_.SetWord(ofs::Odometer, 0); // 65536 m
        image_.SetWord(ofs::Odometer + 2, 1);
        const char name[] = "\xA3\xF3"
                            "d\x9F"; // Łódź in Windows-1250
        for (int k = 0; k < 4; ++k)
            image_.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(name[k]));
        image_.SetByte(ofs::UserName + 4, 0xFF);
        for (std::size_t k = 256; k < 500; ++k)
            image_.SetByte(k, 0x42);
        form_ = std::make_unique<TForm2>(image_);
        form_->OnApply = [this] {
            ++applyCalls_;
            return true;
        };
    }
    QString Dp() const { return QString(QChar(form_->DecimalPoint)); }

    TConfigImage image_;
    std::unique_ptr<TForm2> form_;
    int applyCalls_ = 0;
};

} // namespace

TEST_F(SettingsDialog, HasEveryControlAtAFixedSize) {
    EXPECT_EQ(form_->size(), QSize(312, 350));
    EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
    for (const char* name :
         {"Edit1",       "Edit2",       "Edit3",     "Edit4",       "Edit5",       "Edit6",
          "Edit7",       "Edit8",       "Edit9",     "Edit10",      "Edit15",      "Edit16",
          "Edit19",      "CheckBox1",   "CheckBox2", "CheckBox3",   "CheckBox4",   "CheckBox5",
          "CheckBox6",   "CheckBox7",   "CheckBox8", "RadioGroup1", "RadioGroup3", "RadioGroup5",
          "RadioGroup6", "StaticText1", "Button1",   "Button2",     "Button3",     "GroupBox1",
          "GroupBox2",   "GroupBox4",   "Label1",    "Label2",      "Label3",      "Label4",
          "Label5",      "Label6",      "Label7",    "Label8",      "Label10",     "Label12",
          "Label13",     "Label23",     "Label24"})
        EXPECT_EQ(form_->findChildren<QWidget*>(name).size(), 1) << name;
}

TEST_F(SettingsDialog, LoadFillsEveryControlFromTheImage) {
    form_->FormShow();
    EXPECT_EQ(form_->Edit1->text(), "3" + Dp() + "3");
    EXPECT_EQ(form_->Edit2->text(), "4" + Dp() + "0");
    EXPECT_EQ(form_->Edit3->text(), "2200");
    EXPECT_EQ(form_->Edit4->text(), "15");
    EXPECT_EQ(form_->Edit5->text(), "1500");
    EXPECT_EQ(form_->Edit6->text(), "120");
    EXPECT_EQ(form_->Edit16->text(), "30");
    EXPECT_EQ(form_->Edit7->text(), "-10");
    EXPECT_EQ(form_->Edit8->text(), "70");
    EXPECT_EQ(form_->Edit15->text(), "180");
    EXPECT_EQ(form_->Edit9->text(), "600");
    EXPECT_EQ(form_->Edit10->text(), "1234");
    const bool alarms[] = {true, false, true, false, false, true, false, true}; // 0xA5
    TCheckBox* boxes[] = {form_->CheckBox1, form_->CheckBox2, form_->CheckBox3, form_->CheckBox4,
                          form_->CheckBox5, form_->CheckBox6, form_->CheckBox7, form_->CheckBox8};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(boxes[k]->Checked(), alarms[k]) << k;
    EXPECT_EQ(form_->RadioGroup1->ItemIndex(), 4); // channel 7 shows "Rc CH10 "
    EXPECT_EQ(form_->RadioGroup1->ItemText(4), "Rc CH10 ");
    EXPECT_EQ(form_->RadioGroup3->ItemIndex(), 1);
    EXPECT_EQ(form_->RadioGroup5->ItemIndex(), 1);
    EXPECT_EQ(form_->RadioGroup6->ItemIndex(), 1);
    EXPECT_EQ(form_->StaticText1->text(), " Odo: 65.5km");
    EXPECT_EQ(form_->StaticText1->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_TRUE(form_->StaticText1->font().bold());
    EXPECT_EQ(form_->Edit19->text(), QString::fromUtf8("Łódź"));
    EXPECT_EQ(form_->NameBuffer(), "\xA3\xF3"
                                   "d\x9F");
    // The handlers did nothing while the controls were filled: Config is still 0xFF.
    EXPECT_EQ(form_->WorkingCopy()[ofs::Config], 0xFF);
    EXPECT_EQ(form_->WorkingCopy()[ofs::Alarms], 0xA5);
    EXPECT_TRUE(form_->Button1->isEnabled());
}

TEST_F(SettingsDialog, RadioGroupClickRebuildsConfigAndRefills) {
    form_->FormShow();
    form_->RadioGroupClick();
    EXPECT_EQ(form_->WorkingCopy()[ofs::Config], 0x9B);
    form_->RadioGroup3->Button(0)->click(); // a user click: GPS format dd.dddddd
    EXPECT_EQ(form_->WorkingCopy()[ofs::Config], 0x9A);
    form_->RadioGroup1->Button(1)->click(); // Rc CH7
    EXPECT_EQ(form_->WorkingCopy()[ofs::Config], 0x3A);
    EXPECT_EQ(form_->RadioGroup1->ItemIndex(), 1);
    EXPECT_EQ(image_.Config(), 0xFF); // only the working copy changed
}

TEST_F(SettingsDialog, CheckBoxClickRebuildsAlarms) {
    form_->FormShow();
    form_->CheckBox2->click();
    EXPECT_EQ(form_->WorkingCopy()[ofs::Alarms], 0xA7);
    form_->CheckBox8->click();
    EXPECT_EQ(form_->WorkingCopy()[ofs::Alarms], 0x27);
    EXPECT_EQ(image_.Alarms(), 0xA5);
}

TEST_F(SettingsDialog, LeavingABoxConvertsAndShowsTheStoredValue) {
    form_->FormShow();
    form_->Edit6->setText("1234");
    form_->EditExit(form_->Edit6);
    EXPECT_EQ(form_->Edit6->text(), "1230");
    EXPECT_EQ(form_->WorkingCopy()[ofs::AltAlarm], 123);
    form_->Edit7->setText("-60");
    form_->EditExit(form_->Edit7);
    EXPECT_EQ(form_->Edit7->text(), "-50");
    EXPECT_EQ(form_->WorkingCopy()[ofs::MinThempAlarm], 40);
    form_->Edit8->setText("");
    form_->EditExit(form_->Edit8);
    EXPECT_EQ(form_->Edit8->text(), "70");
    form_->Edit1->setText("2" + Dp() + "54");
    form_->EditExit(form_->Edit1);
    EXPECT_EQ(form_->Edit1->text(), "2" + Dp() + "5");
    EXPECT_EQ(form_->WorkingCopy()[ofs::BattAlarm], 0x0F);
    form_->Edit16->setText("0");
    form_->EditExit(form_->Edit16);
    EXPECT_EQ(form_->Edit16->text(), "1");
    EXPECT_EQ(image_.AltAlarm(), 12); // nothing reaches the image before Apply
}

TEST_F(SettingsDialog, FocusLeavingABoxRunsItsConversion) {
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    form_->Edit15->setFocus(Qt::OtherFocusReason);
    form_->Edit15->setText("100");
    form_->Edit3->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(form_->Edit15->text(), "150");
    EXPECT_EQ(form_->WorkingCopy()[ofs::BattCal], 150);
}

TEST_F(SettingsDialog, RestoreDropsEditsAndReloadsTheImage) {
    form_->FormShow();
    form_->Edit3->setText("500");
    form_->EditExit(form_->Edit3);
    form_->CheckBox1->click();
    ASSERT_EQ(GetWord(form_->WorkingCopy().data(), ofs::MahAlarm), 500);
    form_->Edit19->setText("Other");
    form_->Button1->click();
    EXPECT_EQ(form_->Edit3->text(), "2200");
    EXPECT_EQ(GetWord(form_->WorkingCopy().data(), ofs::MahAlarm), 2200);
    EXPECT_TRUE(form_->CheckBox1->Checked());
    EXPECT_EQ(form_->Edit19->text(), QString::fromUtf8("Łódź"));
    EXPECT_EQ(applyCalls_, 0);
}

TEST_F(SettingsDialog, ApplyStoresCopyFillsAndNameThenCallsTheLinkOnce) {
    form_->FormShow();
    form_->Edit3->setText("3000");
    form_->EditExit(form_->Edit3);
    form_->Edit19->setText(QString::fromUtf8("Żółw"));
    form_->Button2->click();
    EXPECT_EQ(applyCalls_, 1);
    EXPECT_EQ(image_.MahAlarm(), 3000);
    for (std::size_t k = 0; k < 32; ++k)
        EXPECT_EQ(image_.Byte(k), form_->WorkingCopy()[k]) << k;
    for (std::size_t k = 256; k < 500; ++k)
        ASSERT_EQ(image_.Byte(k), 0xFF) << k;
    const std::uint8_t name[] = {0xAF, 0xF3, 0xB3, 'w', 0x00}; // Żółw, then the terminator
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(image_.Byte(500 + k), name[k]) << k;
    EXPECT_EQ(image_.Byte(505), 0xFF);
    EXPECT_FALSE(form_->Button1->isEnabled());
    // The dialog shows no message of its own: no other top-level window appeared.
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w != form_.get()) << w->metaObject()->className();
}

TEST_F(SettingsDialog, ApplyNameLimitsAndUnencodableCharacters) {
    form_->FormShow();
    form_->Edit19->setText("ABCDEFGHIJKL");
    form_->Button2Click();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image_.Data()) + 500, 12), "ABCDEFGHIJKL");
    form_->Edit19->setText("");
    form_->Button2Click();
    EXPECT_EQ(image_.Byte(500), 0x00);
    std::string sample = "Pilot";
    EXPECT_FALSE(ReadUserName(image_, sample));
    // Characters outside Windows-1250 become '?', never the converter's 0x1A.
    form_->Edit19->setText(QString::fromUtf8("a中😀b"));
    form_->Button2Click();
    EXPECT_EQ(image_.StoredUserName(), "a??b");
    EXPECT_EQ(applyCalls_, 3);
}

TEST_F(SettingsDialog, ApplyTakesTheBoxThatStillHasTheFocus) {
    form_->FormShow();
    form_->Edit4->setFocus();
    form_->Edit4->setText("300");
    form_->Button2Click();
    EXPECT_EQ(image_.FlytimAlarm(), 255);
    EXPECT_EQ(form_->Edit4->text(), "255");
}

TEST_F(SettingsDialog, ExitDropsUnappliedChanges) {
    form_->FormShow();
    form_->Edit3->setText("500");
    form_->EditExit(form_->Edit3);
    const TConfigImage before = image_;
    form_->Button3->click();
    EXPECT_EQ(form_->result(), QDialog::Accepted);
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        ASSERT_EQ(image_.Byte(k), before.Byte(k)) << k;
    EXPECT_EQ(applyCalls_, 0);
}

TEST_F(SettingsDialog, ShowAndActivationReload) {
    image_.SetWord(ofs::MahAlarm, 1111);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    EXPECT_EQ(form_->Edit3->text(), "1111");
    form_->Edit3->setText("500");
    form_->EditExit(form_->Edit3);
    form_->Button2Click();
    EXPECT_FALSE(form_->Button1->isEnabled());

    image_.SetWord(ofs::MahAlarm, 4321); // e.g. changed while another window was active
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    EXPECT_EQ(form_->Edit3->text(), "4321");
    EXPECT_TRUE(form_->Button1->isEnabled());
}

TEST_F(SettingsDialog, KeyFiltersLetThroughOnlyTheirKeys) {
    form_->FormShow();
    auto typed = [](QLineEdit* e, const QString& keys) {
        e->clear();
        QTest::keyClicks(e, keys);
        return e->text();
    };
    // Digits, the comma and the system's own decimal separator.
    const QString sep = Dp() == "," ? "" : Dp();
    EXPECT_EQ(typed(form_->Edit1, "3a;,5"), "3,5");
    EXPECT_EQ(typed(form_->Edit2, "x4-,0"), "4,0");
    EXPECT_EQ(typed(form_->Edit2, "3" + Dp() + "3"), "3" + Dp() + "3");
    form_->EditExit(form_->Edit2);
    EXPECT_EQ(form_->WorkingCopy()[ofs::BattAlarm] & 0x0F, 8); // 3.3 V typed is stored
    EXPECT_EQ(typed(form_->Edit1, "3x" + sep), "3" + sep);
    EXPECT_EQ(typed(form_->Edit7, "-1x2,"), "-12");
    EXPECT_EQ(typed(form_->Edit8, " 9-"), "9-");
    for (QLineEdit* e : {form_->Edit3, form_->Edit4, form_->Edit5, form_->Edit6, form_->Edit16,
                         form_->Edit15, form_->Edit9, form_->Edit10})
        EXPECT_EQ(typed(e, "-,a1 "), "1") << e->objectName().toStdString();
    EXPECT_EQ(typed(form_->Edit19, "Ab 1-,."), "Ab 1-,.");
    // Backspace passes the filter.
    form_->Edit3->setText("123");
    form_->Edit3->end(false);
    QTest::keyClick(form_->Edit3, Qt::Key_Backspace);
    EXPECT_EQ(form_->Edit3->text(), "12");
}

// Text reaches a box by the keyboard, the context menu (paste), the middle button or a
// drop (insert): the filter applies to every way.
TEST_F(SettingsDialog, PastingCannotBypassTheFilter) {
    form_->FormShow();
    QApplication::clipboard()->setText("x9");
    form_->Edit19->clear();
    QTest::keyClick(form_->Edit19, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(form_->Edit19->text(), "x9"); // pasting works where no filter applies
    form_->Edit3->clear();
    QTest::keyClick(form_->Edit3, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form_->Edit3->text(), "");
    form_->Edit3->paste();
    EXPECT_EQ(form_->Edit3->text(), "");
    form_->Edit3->insert(QStringLiteral("7a"));
    EXPECT_EQ(form_->Edit3->text(), "");
    QApplication::clipboard()->setText("42");
    form_->Edit3->paste();
    EXPECT_EQ(form_->Edit3->text(), "42");
    form_->Edit3->insert(QStringLiteral("1234"));
    EXPECT_EQ(form_->Edit3->text(), "42"); // longer than the box allows
}

// The maximum lengths limit typing; the program's own texts show whole and leaving the
// box clamps them.
TEST_F(SettingsDialog, MaximumLengthsLimitTypingOnlyAndStoredValuesShowWhole) {
    form_->FormShow();
    struct TMax {
        QLineEdit* Edit;
        int Length;
    };
    for (const TMax& m : {TMax{form_->Edit1, 3},
                          {form_->Edit2, 3},
                          {form_->Edit3, 5},
                          {form_->Edit4, 3},
                          {form_->Edit5, 5},
                          {form_->Edit6, 4},
                          {form_->Edit16, 2},
                          {form_->Edit7, 4},
                          {form_->Edit8, 4},
                          {form_->Edit15, 3},
                          {form_->Edit9, 4},
                          {form_->Edit10, 4},
                          {form_->Edit19, 12}}) {
        m.Edit->clear();
        QTest::keyClicks(m.Edit, QStringLiteral("11111111111111"));
        EXPECT_EQ(m.Edit->text().size(), m.Length) << m.Edit->objectName().toStdString();
    }

    image_.SetByte(ofs::RssiAlarm, 100); // as a .set import may store it
    image_.SetWord(ofs::Themp0Cal, 12345);
    form_->FormShow();
    EXPECT_EQ(form_->Edit16->text(), "100");
    EXPECT_EQ(form_->Edit9->text(), "12345");
    QTest::keyClick(form_->Edit16, Qt::Key_1); // no room for more
    EXPECT_EQ(form_->Edit16->text(), "100");
    form_->EditExit(form_->Edit16);
    form_->EditExit(form_->Edit9);
    EXPECT_EQ(form_->Edit16->text(), "99");
    EXPECT_EQ(form_->Edit9->text(), "9999");
    EXPECT_EQ(form_->WorkingCopy()[ofs::RssiAlarm], 99);
    EXPECT_EQ(GetWord(form_->WorkingCopy().data(), ofs::Themp0Cal), 9999);
}

// A name that was not edited keeps its bytes, also those no text can carry.
TEST_F(SettingsDialog, ApplyKeepsTheBytesOfANameNotEdited) {
    const std::uint8_t name[] = {'A', 0x01, 0x7F, 0x81, 0x98, 'z'};
    for (std::size_t k = 0; k < std::size(name); ++k)
        image_.SetByte(ofs::UserName + k, name[k]);
    image_.SetByte(ofs::UserName + std::size(name), 0x00);
    form_->FormShow();
    form_->Button2Click();
    for (std::size_t k = 0; k < std::size(name); ++k)
        EXPECT_EQ(image_.Byte(ofs::UserName + k), name[k]) << k;
    form_->Edit19->setText(QStringLiteral("Bob"));
    form_->Button2Click();
    EXPECT_EQ(image_.StoredUserName(), "Bob");
}

TEST_F(SettingsDialog, EnterInABoxNeitherRestoresNorApplies) {
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    form_->Edit3->setFocus();
    form_->Edit3->setText("777");
    QTest::keyClick(form_->Edit3, Qt::Key_Return);
    EXPECT_EQ(form_->Edit3->text(), "777");
    EXPECT_EQ(applyCalls_, 0);
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(SettingsDialog, CaptionsFollowTheLanguage) {
    TLanguage language = TLanguage::Polish;
    form_->Language = [&language] { return language; };
    form_->ApplyLanguage();
    EXPECT_EQ(form_->windowTitle(), "Ustawienia");
    EXPECT_EQ(form_->Button1->text(), QString::fromUtf8("Przywróć"));
    EXPECT_EQ(form_->GroupBox4->title(), QString::fromUtf8("Nazwa Użytkownika"));
    EXPECT_EQ(form_->RadioGroup5->ItemText(0), QString::fromUtf8("Bezpośredni"));
    EXPECT_EQ(form_->RadioGroup6->ItemText(1), "Stopy , mph");
    EXPECT_EQ(form_->findChild<QLabel*>("Label23")->text(),
              QString::fromUtf8("Kalib. Napięcia AV"));
    // Texts that are the same in both languages.
    EXPECT_EQ(form_->RadioGroup1->ItemText(0), QString::fromUtf8("Wyłączone"));
    EXPECT_EQ(form_->findChild<QLabel*>("Label24")->text(), "RSSI");
    EXPECT_EQ(form_->findChild<QLabel*>("Label13")->text(), QString::fromUtf8("Temperatura 100°C"));
    language = TLanguage::English;
    form_->FormShow(); // every load applies the current language
    EXPECT_EQ(form_->windowTitle(), "Settings");
    EXPECT_EQ(form_->RadioGroup6->ItemText(1), "Feets  , mph");
    EXPECT_EQ(form_->GroupBox1->title(), " ALARMS ");
}
