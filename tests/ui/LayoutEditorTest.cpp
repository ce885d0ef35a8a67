// The editor on a form: opening on an image, the attribute panel's controls, the video
// standard and layout mode switches, and picking and dragging with the mouse on
// StringGrid1. Every action is checked on the image bytes.
#include "EditorRig.h"
#include "WindowFit.h"
#include "ui/Captions.h"
#include "ui/LayoutStudio.h"

#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;
using Image = std::array<std::uint8_t, ofs::ImageSize>;

class LayoutEditorTest : public ::testing::Test, protected test::TEditorRig {
protected:
    LayoutEditorTest() {
        image.SetXPos(0, 0, 100);
        image.SetYPos(0, 0, 100);
        Build();
    }
    ~LayoutEditorTest() override {
        // Leave no mouse button held for the next test.
        if (QTestPrivate::qtestMouseButtons != Qt::NoButton)
            QTest::mouseRelease(editor->StringGrid1, Qt::LeftButton, {}, QPoint(1, 1));
    }
    static QPoint At(int column, int row) { return {column * 13 + 6, row * 17 + 8}; }
    void Press(int column, int row, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(editor->StringGrid1, Qt::LeftButton, mods, At(column, row));
    }
    void Release(int column, int row) {
        QTest::mouseRelease(editor->StringGrid1, Qt::LeftButton, {}, At(column, row));
    }
    void MoveTo(int column, int row) { QTest::mouseMove(editor->StringGrid1, At(column, row)); }
    // A move with any buttons and modifiers.
    void SendMove(int column, int row, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
        const QPoint p = At(column, row);
        QMouseEvent e(QEvent::MouseMove, p, editor->StringGrid1->mapToGlobal(p), Qt::NoButton,
                      buttons, mods);
        QApplication::sendEvent(editor->StringGrid1, &e);
    }
    void Leave(QLineEdit* edit) {
        QFocusEvent e(QEvent::FocusOut, Qt::OtherFocusReason);
        QApplication::sendEvent(edit, &e);
    }
    Image Bytes() const {
        Image b;
        std::copy(image.Data(), image.Data() + ofs::ImageSize, b.begin());
        return b;
    }
    bool Shown(QWidget* w) const { return w->isVisibleTo(&form); }
    int Selected() const { return editor->ComboBox1->currentIndex(); }
};

TEST_F(LayoutEditorTest, StartsWithABlankGridAndHiddenControlsCarryingTheirNames) {
    const char* names[] = {
        "StringGrid1", "GroupBox2",   "GroupBox3",   "GroupBox4",   "ComboBox1",
        "CheckBox1",   "CheckBox2",   "CheckBox3",   "CheckBox4",   "CheckBox5",
        "RadioGroup1", "RadioGroup2", "RadioGroup3", "RadioGroup4", "RadioGroup5",
        "StaticText1", "StaticText2", "StaticText3", "StaticText4", "Edit1",
        "Edit2",       "Edit3",       "Edit4",       "UpDown1",     "UpDown2"};
    for (const char* n : names)
        EXPECT_NE(form.findChild<QWidget*>(QString::fromLatin1(n)), nullptr) << n;
    EXPECT_EQ(editor->StringGrid1->geometry(), QRect(6, 6, 390, 272));
    EXPECT_TRUE(editor->StringGrid1->isVisible());
    EXPECT_EQ(editor->StringGrid1->focusPolicy() & Qt::TabFocus, 0);
    for (QWidget* w :
         {static_cast<QWidget*>(editor->GroupBox2), static_cast<QWidget*>(editor->GroupBox4),
          static_cast<QWidget*>(editor->RadioGroup2), static_cast<QWidget*>(editor->RadioGroup4)})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_EQ(editor->RadioGroup4->ItemIndex(), -1);
    EXPECT_EQ(editor->ItemCount(), 1);
    // English captions from the text table, fixed item texts.
    EXPECT_EQ(editor->CheckBox1->text(), "Visible");
    EXPECT_EQ(editor->GroupBox2->title(), "Item parameters ");
    EXPECT_EQ(editor->RadioGroup1->ItemText(1), "Small");
    EXPECT_EQ(editor->RadioGroup5->ItemText(0), "OFF");
    EXPECT_EQ(editor->StaticText3->text(), "Nick sensitivity");
    EXPECT_EQ(editor->RadioGroup2->ItemText(2), "ALL");
    EXPECT_EQ(editor->RadioGroup4->ItemText(0), "NTSC");
    EXPECT_EQ(editor->Model().Text(5, 5), "");
}

TEST_F(LayoutEditorTest, OpeningOnAPalImageSelectsTheHorizonAndTheStoredMode) {
    image.SetMode(7);
    image.SetXPos(2, 0, 100); // the horizon's sensitivities in ALL
    Open();
    EXPECT_EQ(editor->RadioGroup4->ItemIndex(), 1);
    EXPECT_EQ(editor->StringGrid1->height(), 272);
    EXPECT_EQ(image.Mode(), 2);
    EXPECT_EQ(editor->RadioGroup2->ItemIndex(), 2);
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(editor->ComboBox1->count(), kItemCount);
    EXPECT_EQ(editor->ComboBox1->itemText(8), "Speed");
    EXPECT_TRUE(Shown(editor->Edit3));
    EXPECT_EQ(editor->Edit3->text(), "100");
    EXPECT_TRUE(editor->GroupBox2->isVisible());
}

TEST_F(LayoutEditorTest, NtscBoardOpensOnItsModeAndMovesLowRows) {
    image.SetConfigBit(cfg::Pal, false);
    editor->RadioGroup2->SetItemIndex(1); // another mode was shown before the read
    image.SetMode(2);                     // and the dump brought ALL
    Put(2, 5, kVis, 3, 15);
    Open();
    EXPECT_EQ(editor->RadioGroup4->ItemIndex(), 0);
    EXPECT_EQ(editor->StringGrid1->height(), 221);
    EXPECT_EQ(editor->RadioGroup2->ItemIndex(), 2);
    EXPECT_EQ(image.Mode(), 2);
    EXPECT_EQ(image.YPos(2, 5), 12);
    EXPECT_EQ(editor->Model().Text(3, 12), "2");
}

TEST_F(LayoutEditorTest, PolishItemListAfterALanguageChangeWhileHidden) {
    language = TLanguage::Polish;
    Open();
    EXPECT_EQ(editor->ComboBox1->itemText(4), QString::fromUtf8("Bateria Napędu"));
    EXPECT_EQ(editor->ComboBox1->itemText(10), "RSSI");
    language = TLanguage::English;
    editor->FillItemList();
    EXPECT_EQ(editor->ComboBox1->itemText(4), "Engine Batt");
    EXPECT_EQ(editor->ComboBox1->itemText(10), "RSSI");
}

TEST_F(LayoutEditorTest, PanelShowsTheControlsOfEachItemKind) {
    Open();
    // Horizon.
    EXPECT_TRUE(Shown(editor->CheckBox1));
    EXPECT_TRUE(Shown(editor->CheckBox5));
    EXPECT_TRUE(Shown(editor->StaticText3) && Shown(editor->Edit4));
    EXPECT_FALSE(Shown(editor->GroupBox3) || Shown(editor->RadioGroup1) || Shown(editor->UpDown1) ||
                 Shown(editor->Edit2) || Shown(editor->RadioGroup3) || Shown(editor->RadioGroup5));
    // Variometer.
    Put(12, kVis | flag::Option, 5, 6);
    Choose(12);
    EXPECT_TRUE(Shown(editor->CheckBox5) && Shown(editor->RadioGroup5) && Shown(editor->UpDown2));
    EXPECT_FALSE(Shown(editor->GroupBox3) || Shown(editor->RadioGroup1) || Shown(editor->Edit3) ||
                 Shown(editor->RadioGroup3));
    EXPECT_EQ(editor->RadioGroup5->ItemIndex(), 1);
    // Temperature: sensor caption in the interface language.
    Choose(19);
    EXPECT_TRUE(Shown(editor->GroupBox3) && Shown(editor->RadioGroup1) &&
                Shown(editor->RadioGroup3));
    EXPECT_FALSE(Shown(editor->CheckBox5) || Shown(editor->RadioGroup5) || Shown(editor->Edit3));
    EXPECT_EQ(editor->RadioGroup3->title(), "Sensor");
    EXPECT_EQ(editor->RadioGroup3->ItemText(1), "Ext.");
    language = TLanguage::Polish;
    Choose(19);
    EXPECT_EQ(editor->RadioGroup3->title(), "Czujnik");
    // Satellites.
    Choose(11);
    EXPECT_EQ(editor->RadioGroup3->title(), "HDOP");
    EXPECT_EQ(editor->RadioGroup3->ItemText(0), "Ena.");
    EXPECT_EQ(editor->RadioGroup3->ItemText(1), "Disa");
    // Any other.
    Choose(4);
    EXPECT_TRUE(Shown(editor->GroupBox3) && Shown(editor->StaticText1) && Shown(editor->Edit1));
    EXPECT_FALSE(Shown(editor->RadioGroup3) || Shown(editor->CheckBox5) || Shown(editor->Edit4));
}

TEST_F(LayoutEditorTest, ShowingARecordLeavesTheImageUnchanged) {
    Put(0, 0, kVis | flag::Negative, 120, 60);
    for (int i = 1; i < kItemCount; ++i)
        Put(0, i, static_cast<std::uint8_t>(0x80 | (i * 0x17 & 0x7F)), i, i % 16);
    Open();
    const Image before = Bytes();
    for (int i : {3, 11, 12, 19, 0, 7, 19, 11, 12, 0}) {
        Choose(i);
        ASSERT_EQ(Bytes(), before) << "item " << i;
    }
    editor->RadioGroup2->SetItemIndex(1);
    Image expected = before;
    expected[ofs::Mode] = 1;
    EXPECT_EQ(Bytes(), expected);
}

TEST_F(LayoutEditorTest, CheckBoxesWriteTheirBitInTheCurrentModeOnly) {
    Put(0, 6, kVis, 2, 2);
    Put(1, 6, kVis, 2, 2);
    Put(2, 6, kVis, 2, 2);
    Open();
    Choose(6);
    Image expected = Bytes();
    editor->CheckBox3->click();
    expected[ItemRecordOffset(0, 6)] |= flag::Blinking;
    EXPECT_EQ(Bytes(), expected);
    EXPECT_EQ(editor->Model().Attr(2, 2), kVis | cell::Blink | cell::Selected);
    editor->CheckBox4->click();
    editor->CheckBox2->click();
    expected[ItemRecordOffset(0, 6)] |= flag::Grey | flag::Negative;
    EXPECT_EQ(Bytes(), expected);
    editor->CheckBox1->click();
    expected[ItemRecordOffset(0, 6)] &= static_cast<std::uint8_t>(~flag::Visible);
    EXPECT_EQ(Bytes(), expected);
    EXPECT_EQ(editor->Model().Attr(2, 2) & cell::Visible, 0);
    // Font: small sets bit 3.
    editor->RadioGroup1->Button(1)->click();
    expected[ItemRecordOffset(0, 6)] |= flag::Small;
    EXPECT_EQ(Bytes(), expected);
}

TEST_F(LayoutEditorTest, HorizonNegativeAndStandardNegativeShareBit0) {
    Open();
    editor->CheckBox5->click();
    EXPECT_EQ(image.Flags(0, 0) & flag::Negative, flag::Negative);
    Put(3, kVis, 0, 0);
    Choose(3);
    editor->CheckBox2->click();
    EXPECT_EQ(image.Flags(0, 3), kVis | flag::Negative);
    Choose(12);
    editor->CheckBox5->click();
    EXPECT_EQ(image.Flags(0, 12) & flag::Negative, flag::Negative);
}

TEST_F(LayoutEditorTest, OptionGroupsWriteBit4) {
    Open();
    Choose(12);
    editor->RadioGroup5->Button(1)->click();
    EXPECT_EQ(image.Flags(0, 12), flag::Option);
    Choose(11);
    editor->RadioGroup3->Button(1)->click();
    EXPECT_EQ(image.Flags(0, 11), flag::Option);
    Choose(19);
    EXPECT_EQ(editor->RadioGroup3->ItemIndex(), 0);
    editor->RadioGroup3->Button(1)->click();
    EXPECT_EQ(image.Flags(0, 19), flag::Option);
    editor->RadioGroup3->Button(0)->click();
    EXPECT_EQ(image.Flags(0, 19), 0);
    EXPECT_EQ(image.Flags(0, 11), flag::Option);
}

TEST_F(LayoutEditorTest, XSpinnerWrapsAndIsIgnoredForTheHorizon) {
    Put(1, kVis, 29, 4);
    Open();
    Choose(1);
    editor->UpDown1->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.XPos(0, 1), 0);
    EXPECT_EQ(editor->Edit1->text(), "0");
    editor->UpDown1->Click(TUpDown::TButton::Down);
    EXPECT_EQ(image.XPos(0, 1), 29);
    QTest::mouseClick(editor->UpDown1->DownButton(), Qt::LeftButton);
    EXPECT_EQ(image.XPos(0, 1), 28);
    EXPECT_EQ(editor->Model().Text(28, 4), "*");
    editor->UpDown2->Click(TUpDown::TButton::Down);
    EXPECT_EQ(image.YPos(0, 1), 3);
    Choose(0);
    const Image before = Bytes();
    editor->UpDown1Click();
    editor->UpDown2Click();
    EXPECT_EQ(Bytes(), before);
}

TEST_F(LayoutEditorTest, YSpinnerWrapsAtTheLastRowOfTheVideoStandard) {
    image.SetConfigBit(cfg::Pal, false);
    Put(2, kVis, 3, 12);
    Open();
    Choose(2);
    // Under NTSC row 12 is the last the board shows.
    editor->UpDown2->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.YPos(0, 2), 0);
    editor->UpDown2->Click(TUpDown::TButton::Down);
    EXPECT_EQ(image.YPos(0, 2), 12);
    // Under PAL the spinner goes on to 15.
    editor->RadioGroup4->SetItemIndex(1);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.YPos(0, 2), 15);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.YPos(0, 2), 0);
}

TEST_F(LayoutEditorTest, VariometerYSpinnerKeepsRows3To12) {
    Put(12, kVis, 5, 12);
    Open();
    Choose(12);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.YPos(0, 12), 12);
    EXPECT_EQ(editor->Edit2->text(), "12");
    image.SetYPos(0, 12, 3);
    Choose(12);
    editor->UpDown2->Click(TUpDown::TButton::Down);
    EXPECT_EQ(image.YPos(0, 12), 3);
    // Dragged to row 0, one click up gives 3.
    image.SetYPos(0, 12, 3);
    Choose(12);
    Press(5, 3);
    MoveTo(5, 0);
    Release(5, 0);
    EXPECT_EQ(image.YPos(0, 12), 0);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.YPos(0, 12), 3);
    // Under NTSC the spinner wraps at row 12: an up click there still leaves 12.
    image.SetYPos(0, 12, 12);
    editor->RadioGroup4->SetItemIndex(0);
    Choose(12);
    editor->UpDown2->Click(TUpDown::TButton::Up);
    EXPECT_EQ(image.YPos(0, 12), 12);
}

TEST_F(LayoutEditorTest, SensitivityEditsTakeDigitsAndClampOnLeaving) {
    Open();
    QLineEdit* nick = editor->Edit3;
    nick->clear();
    QTest::keyClicks(nick, "5");
    Leave(nick);
    EXPECT_EQ(image.XPos(0, 0), 10);
    EXPECT_EQ(nick->text(), "10");
    nick->clear();
    QTest::keyClicks(nick, "2a5x0");
    EXPECT_EQ(nick->text(), "250"); // letters do not appear
    Leave(nick);
    EXPECT_EQ(image.XPos(0, 0), 200);
    nick->clear();
    QTest::keyClicks(nick, "1234");
    EXPECT_EQ(nick->text(), "123"); // three characters at most
    QTest::keyClick(nick, Qt::Key_Backspace);
    QTest::keyClick(nick, Qt::Key_Return);
    QTest::keyClicks(nick, "-+ 7");
    EXPECT_EQ(nick->text(), "127");
    Leave(nick);
    EXPECT_EQ(image.XPos(0, 0), 127);
    // Emptied: the stored value stays and is shown again.
    nick->clear();
    Leave(nick);
    EXPECT_EQ(image.XPos(0, 0), 127);
    EXPECT_EQ(nick->text(), "127");
    // Roll goes to Y_Pos; nothing else changes.
    Image expected = Bytes();
    editor->Edit4->setText("42");
    Leave(editor->Edit4);
    expected[ItemRecordOffset(0, 0) + 2] = 42;
    EXPECT_EQ(Bytes(), expected);
}

TEST_F(LayoutEditorTest, DeleteKeyEditsASensitivityAsX11DeliversIt) {
    Open();
    QLineEdit* nick = editor->Edit3;
    nick->setFocus();
    nick->setText("150");
    nick->setCursorPosition(0);
    // X11 sends Delete with the text 0x7F; it removes the character after the cursor.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
    QApplication::sendEvent(nick, &del);
    EXPECT_EQ(nick->text(), "50");
    // Other control characters stay out (only digits, Backspace and Delete edit).
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(0x01)));
    QApplication::sendEvent(nick, &ctrlA);
    QTest::keyClicks(nick, "7");
    EXPECT_EQ(nick->text(), "750");
    Leave(nick);
    EXPECT_EQ(image.XPos(0, 0), 200);
}

TEST_F(LayoutEditorTest, PastedTextThatIsNoNumberKeepsTheStoredSensitivity) {
    Open();
    editor->Edit4->setText("x9"); // as if pasted past the key filter
    Leave(editor->Edit4);
    EXPECT_EQ(image.YPos(0, 0), 100);
    EXPECT_EQ(editor->Edit4->text(), "100");
}

TEST_F(LayoutEditorTest, PasteIntoASensitivityLetsOnlyDigitsThrough) {
    Open();
    QLineEdit* nick = editor->Edit3;
    nick->clear();
    QApplication::clipboard()->setText(QStringLiteral("4x"));
    nick->paste(); // what Shift+Insert, Ctrl+V and the middle button run
    EXPECT_EQ(nick->text(), "");
    QApplication::clipboard()->setText(QStringLiteral("42"));
    nick->paste();
    EXPECT_EQ(nick->text(), "42");
}

TEST_F(LayoutEditorTest, SensitivityLeftAfterAnotherItemWasPickedGoesToTheHorizon) {
    Put(5, kVis, 2, 3);
    Open();
    editor->Edit3->setText("55");
    Press(3, 3); // the grid takes the focus only in an active window
    Release(3, 3);
    ASSERT_EQ(Selected(), 5);
    Leave(editor->Edit3);
    EXPECT_EQ(image.XPos(0, 0), 55);
    EXPECT_EQ(image.XPos(0, 5), 2);
    EXPECT_EQ(image.Flags(0, 5), kVis);
}

// The switch says how many items it moved (an item moved in three layouts counts once).
TEST_F(LayoutEditorTest, NtscSwitchMovesRowsInAllModesSaysSoAndPalMovesNothingBack) {
    for (int m = 0; m < kLayoutModes; ++m) {
        for (int i = 1; i < kItemCount; ++i)
            Put(m, i, 0, 40, 0); // parked on a row that stays
        Put(m, 9, kVis, 1, 15);
        Put(m, 10, kVis, 1, 12);
    }
    Put(1, 7, 0, 20, 13); // hidden ones move too
    Put(2, 11, kVis, 20, 14);
    QStringList status; // the window's status line: the count comes after the overlap hint
    editor->OnStatus = [&](const QString& text) { status << text; };
    editor->Studio().OnOverlapHint = [&](const QString&, const QString& now) { status << now; };
    Open();
    Choose(9);
    EXPECT_EQ(editor->Edit2->text(), "15");
    editor->RadioGroup4->Button(0)->click();
    EXPECT_FALSE(image.IsPal());
    EXPECT_EQ(status, QStringList({QStringLiteral("Overlaps: RSSI"),
                                   QStringLiteral("3 items moved up to row 12")}));
    EXPECT_EQ(editor->StringGrid1->height(), 221);
    for (int m = 0; m < kLayoutModes; ++m) {
        EXPECT_EQ(image.YPos(m, 9), 12) << m;
        EXPECT_EQ(image.YPos(m, 10), 12) << m;
    }
    EXPECT_EQ(image.YPos(0, 0), 100);
    EXPECT_EQ(editor->Edit2->text(), "12"); // the spinner follows the moved row
    editor->UpDown2->Click(TUpDown::TButton::Down);
    EXPECT_EQ(image.YPos(0, 9), 11);
    editor->RadioGroup4->Button(1)->click();
    EXPECT_TRUE(image.IsPal());
    EXPECT_EQ(editor->StringGrid1->height(), 272);
    EXPECT_EQ(image.YPos(1, 9), 12);
    EXPECT_EQ(image.YPos(0, 9), 11);
    EXPECT_EQ(editor->RadioGroup2->ItemIndex(), 0);
    EXPECT_EQ(status.size(), 3); // the overlap gone: the hint's end, no count
}

TEST_F(LayoutEditorTest, ImportCompletionRunsTheNtscSwitchEvenWithoutAChange) {
    image.SetConfigBit(cfg::Pal, false);
    Open();
    ASSERT_EQ(editor->RadioGroup4->ItemIndex(), 0);
    // The import wrote a PAL row and a new mode into the image.
    Put(1, 7, kVis, 0, 14);
    image.SetMode(9);
    for (std::size_t k = 0; k < 3; ++k)
        image.SetByte(ofs::UserName + k, static_cast<std::uint8_t>("Bob"[k]));
    image.SetByte(ofs::UserName + 3, 0xFF);
    editor->CompleteImport();
    EXPECT_EQ(image.YPos(1, 7), 11);
    EXPECT_EQ(image.Mode(), 2);
    EXPECT_EQ(editor->RadioGroup2->ItemIndex(), 2);
    EXPECT_EQ(catalogue.Width(item::UserName), 3);
}

TEST_F(LayoutEditorTest, LayoutModeSwitchKeepsTheItemAndShowsThatModesRecords) {
    Put(0, 4, kVis, 1, 1);
    Put(1, 4, kVis | flag::Blinking, 9, 9);
    Open();
    Choose(4);
    EXPECT_EQ(editor->Edit1->text(), "1");
    editor->RadioGroup2->Button(1)->click();
    EXPECT_EQ(image.Mode(), 1);
    EXPECT_EQ(Selected(), 4);
    EXPECT_EQ(editor->Edit1->text(), "9");
    EXPECT_TRUE(editor->CheckBox3->isChecked());
    EXPECT_EQ(editor->Model().Text(9, 9), "M");
    EXPECT_EQ(editor->Model().Text(1, 1), " ");
    EXPECT_EQ(editor->Model().Attr(9, 9), kVis | cell::Blink | cell::Selected);
}

TEST_F(LayoutEditorTest, OutOfRangePositionsAreResetWhenShown) {
    Put(6, kVis, 35, 3);
    Put(7, kVis, 4, 20);
    Open();
    Choose(6);
    EXPECT_EQ(image.XPos(0, 6), 0);
    EXPECT_EQ(image.YPos(0, 6), 3);
    EXPECT_EQ(editor->Edit1->text(), "0");
    // Y 20 is drawn on row 7 but cannot be picked there.
    Press(5, 7);
    Release(5, 7);
    EXPECT_EQ(Selected(), 6);
    Choose(7);
    EXPECT_EQ(image.YPos(0, 7), 0);
}

TEST_F(LayoutEditorTest, PressOnColumn29PicksAnItemAtX40AndMovesItToColumn0) {
    Put(3, kVis, 40, 5);
    Open();
    Press(29, 5);
    Release(29, 5);
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(image.XPos(0, 3), 0);
    EXPECT_EQ(editor->Edit1->text(), "0");
    EXPECT_EQ(editor->Model().Text(0, 5), "V");
}

TEST_F(LayoutEditorTest, DragMovesTheItemKeepingTheGrabOffset) {
    Put(1, kVis, 5, 2); // "*00:00"
    Open();
    Press(8, 2); // fourth cell
    EXPECT_EQ(Selected(), 1);
    EXPECT_TRUE(Shown(editor->UpDown1));
    MoveTo(1, 6);
    EXPECT_EQ(image.XPos(0, 1), 0);
    EXPECT_EQ(image.YPos(0, 1), 6);
    EXPECT_EQ(editor->Edit1->text(), "0");
    EXPECT_EQ(editor->Edit2->text(), "6");
    MoveTo(20, 9);
    EXPECT_EQ(image.XPos(0, 1), 17);
    EXPECT_EQ(image.YPos(0, 1), 9);
    EXPECT_EQ(editor->Model().Text(17, 9), "*");
    MoveTo(40, 9); // outside the grid: ignored
    EXPECT_EQ(image.XPos(0, 1), 17);
    Release(20, 9);
    // After the drop a move with the button held again does nothing.
    SendMove(3, 3, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(image.XPos(0, 1), 17);
    EXPECT_EQ(image.YPos(0, 1), 9);
}

TEST_F(LayoutEditorTest, DragWithModifiersOrOtherButtonsDoesNotMove) {
    Put(1, kVis, 5, 2);
    Open();
    Press(5, 2);
    const Image before = Bytes();
    SendMove(9, 9, Qt::LeftButton, Qt::ShiftModifier);
    SendMove(9, 9, Qt::LeftButton, Qt::ControlModifier);
    SendMove(9, 9, Qt::LeftButton, Qt::AltModifier);
    SendMove(9, 9, Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    SendMove(9, 9, Qt::NoButton, Qt::NoModifier);
    EXPECT_EQ(Bytes(), before);
    SendMove(9, 9, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(image.XPos(0, 1), 9);
    Release(9, 9);
}

TEST_F(LayoutEditorTest, PressCountsOnlyWithThePlainLeftButton) {
    Put(1, kVis, 5, 2);
    Put(2, kVis, 5, 4);
    Open();
    Press(5, 2, Qt::ShiftModifier);
    Release(5, 2);
    Press(5, 2, Qt::ControlModifier);
    Release(5, 2);
    Press(5, 2, Qt::AltModifier);
    Release(5, 2);
    QTest::mousePress(editor->StringGrid1, Qt::RightButton, {}, At(5, 2));
    QTest::mouseRelease(editor->StringGrid1, Qt::RightButton, {}, At(5, 2));
    EXPECT_EQ(Selected(), 0);
    EXPECT_FALSE(editor->Model().Dragging());
    // The second press of a double click does not pick.
    QTest::mouseDClick(editor->StringGrid1, Qt::LeftButton, {}, At(5, 4));
    QTest::mouseRelease(editor->StringGrid1, Qt::LeftButton, {}, At(5, 4));
    EXPECT_EQ(Selected(), 0);
    Press(5, 4);
    Release(5, 4);
    EXPECT_EQ(Selected(), 2);
}

TEST_F(LayoutEditorTest, HorizonCentreCellSelectsTheHorizonAndStartsNoDrag) {
    Put(7, kVis, 14, 8); // covers column 15 of row 8
    Open();
    Choose(7);
    Press(15, 8);
    EXPECT_EQ(Selected(), 0);
    EXPECT_TRUE(Shown(editor->Edit3));
    const Image before = Bytes();
    MoveTo(3, 3);
    Release(3, 3);
    EXPECT_EQ(Bytes(), before);
    // Elsewhere on the item the press picks it.
    Press(17, 8);
    Release(17, 8);
    EXPECT_EQ(Selected(), 7);
    // Under NTSC the centre cell is row 6.
    editor->RadioGroup4->Button(0)->click();
    Press(15, 8);
    Release(15, 8);
    EXPECT_EQ(Selected(), 7);
    Press(15, 6);
    Release(15, 6);
    EXPECT_EQ(Selected(), 0);
}

TEST_F(LayoutEditorTest, OverlappingItemsPickTheLowerIndex) {
    Put(3, kVis, 5, 4);
    Put(5, kVis, 8, 4);
    Open();
    Press(9, 4);
    Release(9, 4);
    EXPECT_EQ(Selected(), 3);
    EXPECT_EQ(editor->Model().Attr(9, 4), kVis | cell::Overlap);
    Press(12, 4);
    Release(12, 4);
    EXPECT_EQ(Selected(), 5);
}

TEST_F(LayoutEditorTest, TheGridDoesNotEditWhileTheEditorIsClosed) {
    Put(1, kVis | flag::Blinking, 5, 2);
    Open();
    editor->SetEditorVisible(false);
    editor->ResetSelection();
    editor->GridClear();
    const Image before = Bytes();
    Press(5, 2);
    MoveTo(9, 9);
    Release(9, 9);
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Selected(), 0);
    // Blink ticks leave the cleared grid blank.
    editor->BlinkTick();
    EXPECT_EQ(editor->Model().Text(5, 2), " ");
    EXPECT_EQ(editor->Model().Attr(5, 2), 0);
}

TEST_F(LayoutEditorTest, BlinkTickFlipsThePhaseAndRedraws) {
    Put(1, kVis | flag::Blinking, 5, 2);
    Open();
    EXPECT_FALSE(editor->Model().BlinkPhase());
    image.SetXPos(0, 1, 7); // changed behind the editor's back
    editor->BlinkTick();
    EXPECT_TRUE(editor->Model().BlinkPhase());
    EXPECT_EQ(editor->Model().Text(7, 2), "*");
    editor->BlinkTick();
    EXPECT_FALSE(editor->Model().BlinkPhase());
}

TEST_F(LayoutEditorTest, SettingsDialogNameChangesTheUserNameWidth) {
    Put(17, kVis, 0, 10);
    Open();
    EXPECT_EQ(editor->Model().Text(4, 10), "t"); // "Pilot"
    for (std::size_t k = 0; k < 3; ++k)
        image.SetByte(ofs::UserName + k, static_cast<std::uint8_t>("Ann"[k]));
    image.SetByte(ofs::UserName + 3, 0x00);
    editor->AfterSettingsDialog();
    EXPECT_EQ(editor->Model().Text(2, 10), "n");
    EXPECT_EQ(editor->Model().Text(3, 10), " ");
    Press(3, 10);
    Release(3, 10);
    EXPECT_EQ(Selected(), 0);
}

TEST_F(LayoutEditorTest, ReadStartResetsTheEditor) {
    Put(1, kVis, 5, 2);
    Open();
    Choose(1);
    editor->SetEditorVisible(false);
    editor->ResetSelection();
    editor->GridClear();
    EXPECT_EQ(Selected(), 0);
    EXPECT_FALSE(editor->GroupBox2->isVisible());
    EXPECT_FALSE(editor->RadioGroup4->isVisible());
    EXPECT_EQ(editor->Model().Text(5, 2), " ");
    EXPECT_EQ(editor->Model().Text(15, 8), " ");
}

// Every caption, in both languages and for every item kind, is fully visible.
TEST_F(LayoutEditorTest, EveryCaptionFitsInBothLanguages) {
    Open();
    const QRect area(136, 284, 261, 181);
    for (TLanguage lang : {TLanguage::English, TLanguage::Polish}) {
        language = lang;
        ApplyCaptionTexts(&form, MainWindowTexts(), lang);
        editor->FillItemList();
        for (int item : {0, 4, 11, 12, 19}) {
            Choose(item);
            for (QWidget* w : form.findChildren<QWidget*>()) {
                if (!w->isVisibleTo(&form) || w->isWindow() || w == editor->StringGrid1)
                    continue;
                auto* button = qobject_cast<QAbstractButton*>(w);
                if (w->objectName().isEmpty() && !button)
                    continue; // the inner parts of the item list and of the edits
                const QString name =
                    w->objectName().isEmpty()
                        ? QString::fromLatin1(w->metaObject()->className()) + " " + button->text()
                        : w->objectName();
                const std::string where = name.toStdString() + " item " + std::to_string(item) +
                                          " lang " + std::to_string(static_cast<int>(lang));
                const QRect inForm(w->mapTo(&form, QPoint(0, 0)), w->size());
                EXPECT_TRUE(area.contains(inForm)) << where;
                if (w->parentWidget() != &form) {
                    EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << where;
                }
                test::ExpectTextFits(w, where);
            }
        }
        // The item list shows its longest name.
        int widest = 0;
        for (int i = 0; i < editor->ComboBox1->count(); ++i)
            widest = std::max(widest, editor->ComboBox1->fontMetrics().horizontalAdvance(
                                          editor->ComboBox1->itemText(i)));
        EXPECT_LE(widest + 28, editor->ComboBox1->width());
    }
}

TEST_F(LayoutEditorTest, RadioGroupsOfTheEditorDoNotOverlap) {
    Open();
    const QWidget* top[] = {editor->GroupBox4, editor->RadioGroup4, editor->RadioGroup2,
                            editor->GroupBox2};
    for (std::size_t a = 0; a < std::size(top); ++a)
        for (std::size_t b = a + 1; b < std::size(top); ++b)
            EXPECT_FALSE(top[a]->geometry().intersects(top[b]->geometry()))
                << top[a]->objectName().toStdString() << " " << top[b]->objectName().toStdString();
    // Inside the panel, controls shown together do not overlap.
    for (int item : {0, 4, 11, 12, 19}) {
        Choose(item);
        std::vector<QWidget*> shown;
        for (QObject* o : editor->GroupBox2->children())
            if (auto* w = qobject_cast<QWidget*>(o); w && w->isVisibleTo(&form))
                shown.push_back(w);
        for (std::size_t a = 0; a < shown.size(); ++a)
            for (std::size_t b = a + 1; b < shown.size(); ++b)
                EXPECT_FALSE(shown[a]->geometry().intersects(shown[b]->geometry()))
                    << item << " " << shown[a]->objectName().toStdString() << " "
                    << shown[b]->objectName().toStdString();
    }
}

} // namespace
} // namespace halvex

namespace halvex {
namespace {

// The editor and its form may end in either order; a focused edit that loses its focus
// while the form is torn down does not call into a destroyed editor.
// Every kind of change is one step: undone it leaves the image as it was before, redone
// as it was after, byte for byte.
TEST_F(LayoutEditorTest, EveryChangeKindIsUndoneAndRedoneExactly) {
    Put(5, kVis, 2, 3);
    Put(1, 9, kVis, 4, 14);
    Open();
    editor->Written.Confirmed(image);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"drag",
         [&] {
             Press(3, 3);
             MoveTo(9, 6);
             MoveTo(12, 8);
             Release(12, 8);
         }},
        {"check box",
         [&] {
             Choose(5);
             editor->CheckBox3->click();
         }},
        {"font",
         [&] {
             Choose(5);
             editor->RadioGroup1->Button(1)->click();
         }},
        {"spinner",
         [&] {
             Choose(5);
             editor->UpDown2->Click(TUpDown::TButton::Up);
         }},
        {"sensitivity",
         [&] {
             Choose(0);
             editor->Edit3->setText("55");
             Leave(editor->Edit3);
         }},
        {"arrow key",
         [&] {
             Choose(5);
             QTest::keyClick(editor->StringGrid1, Qt::Key_Right);
         }},
        {"space",
         [&] {
             Choose(5);
             QTest::keyClick(editor->StringGrid1, Qt::Key_Space);
         }},
        {"video standard", [&] { editor->RadioGroup4->Button(0)->click(); }},
        {"layout copy", [&] { editor->CopyLayoutTo(1); }},
        {"layout restore", [&] { editor->RestoreLayoutFromBoard(); }},
    };
    for (const auto& [name, change] : changes) {
        const int steps = editor->History.Count();
        const Image before = Bytes();
        change();
        ASSERT_EQ(editor->History.Count(), steps + 1) << name;
        const Image after = Bytes();
        EXPECT_NE(after, before) << name;
        editor->Undo();
        EXPECT_EQ(Bytes(), before) << name;
        editor->Redo();
        EXPECT_EQ(Bytes(), after) << name;
    }
    // Undone to the start, the image is the one read.
    while (editor->History.CanUndo())
        editor->Undo();
    EXPECT_FALSE(editor->Written.Modified(image));
}

TEST(LayoutEditorLifetimeTest, EditorAndFormEndInEitherOrder) {
    test::GuiTestApp();
    TConfigImage image;
    TItemCatalogue catalogue;
    {
        QWidget form;
        auto editor = std::make_unique<TLayoutEditor>(image, catalogue, &form);
        form.show();
        editor->Edit3->setFocus();
        editor.reset();
        QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
        QApplication::sendEvent(form.findChild<QLineEdit*>(QStringLiteral("Edit3")), &out);
        form.findChild<TCheckBox*>(QStringLiteral("CheckBox1"))->click();
        EXPECT_EQ(form.findChild<QWidget*>(QStringLiteral("StringGrid1")), nullptr);
        EXPECT_FALSE(form.grab().isNull()); // paints without the editor's cell model
    }
    auto form = std::make_unique<QWidget>();
    TLayoutEditor editor(image, catalogue, form.get());
    form.reset();
    EXPECT_EQ(image.Flags(0, 0), 0);
}

} // namespace
} // namespace halvex
