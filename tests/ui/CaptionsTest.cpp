// Applying a caption table to a window: each kind of control, radio group items in place,
// the window's own title, the skip rule, and controls of other windows left alone.
#include "AppRig.h"

#include "ui/Captions.h"

#include <QDialog>
#include <QLineEdit>

using namespace halvex;
using namespace halvex::test;

namespace {

constexpr TCaptionText kTable[] = {
    {"TFormX", -1, {"Title", "Tytuł"}},         {"GroupBox1", -1, {"Group", "Grupa"}},
    {"Button2", -1, {"Write", "Zapisz"}},       {"RadioGroup1", -1, {"Font", "Czcionka"}},
    {"RadioGroup1", 0, {"Big", "Duża"}},        {"RadioGroup1", 1, {"Small", "Mała"}},
    {"RadioGroup1", 5, {"None", "Brak"}}, // no such item
    {"CheckBox1", -1, {"Visible", "Widoczny"}}, {"Label1", -1, {"Height", "Wysokość"}},
    {"Label1", 0, {"item", "element"}},   // a label has no items
    {"Edit1", -1, {"typed", "wpisany"}},  // an edit box has no caption
    {"Button1", -1, {"Read", "Pobierz"}}, // only in another window
    {"Missing", -1, {"gone", "brak"}},
};

// The application must exist before the fixture's widgets are built.
struct TAppFirst {
    TAppFirst() { AppTestApp(); }
};

class Captions : public ::testing::Test, private TAppFirst {
protected:
    void SetUp() override {
        root.setObjectName(QStringLiteral("TFormX"));
        group->setObjectName(QStringLiteral("GroupBox1"));
        button2->setObjectName(QStringLiteral("Button2"));
        radio->setObjectName(QStringLiteral("RadioGroup1"));
        radio->SetItems({QStringLiteral("a"), QStringLiteral("b")}, 2);
        radio->SetItemIndex(1);
        radio->OnClick = [this] { ++radioClicks; };
        check->setObjectName(QStringLiteral("CheckBox1"));
        label->setObjectName(QStringLiteral("Label1"));
        edit->setObjectName(QStringLiteral("Edit1"));
        edit->setText(QStringLiteral("42"));
        otherButton->setObjectName(QStringLiteral("Button1"));
        otherButton->setText(QStringLiteral("OK"));
    }

    QWidget root;
    QGroupBox* group = new QGroupBox(&root);
    QPushButton* button2 = new QPushButton(group); // nested one level down
    TRadioGroup* radio = new TRadioGroup(QString(), &root);
    TCheckBox* check = new TCheckBox(QString(), &root);
    QLabel* label = new QLabel(&root);
    QLineEdit* edit = new QLineEdit(&root);
    QDialog* other = new QDialog(&root); // a child window: not searched
    QPushButton* otherButton = new QPushButton(other);
    int radioClicks = 0;
};

} // namespace

TEST_F(Captions, EveryKindOfControlTakesItsTextAndItemsKeepTheSelection) {
    ApplyCaptionTexts(&root, kTable, TLanguage::Polish);
    EXPECT_EQ(root.windowTitle(), QString::fromUtf8("Tytuł"));
    EXPECT_EQ(group->title(), QStringLiteral("Grupa"));
    EXPECT_EQ(button2->text(), QStringLiteral("Zapisz"));
    EXPECT_EQ(radio->title(), QStringLiteral("Czcionka"));
    EXPECT_EQ(radio->ItemText(0), QString::fromUtf8("Duża"));
    EXPECT_EQ(radio->ItemText(1), QString::fromUtf8("Mała"));
    EXPECT_EQ(radio->Count(), 2);
    EXPECT_EQ(radio->ItemIndex(), 1);
    EXPECT_EQ(radioClicks, 0);
    EXPECT_EQ(check->text(), QStringLiteral("Widoczny"));
    EXPECT_EQ(label->text(), QString::fromUtf8("Wysokość"));
    EXPECT_EQ(edit->text(), QStringLiteral("42"));
    EXPECT_EQ(otherButton->text(), QStringLiteral("OK"));

    ApplyCaptionTexts(&root, kTable, TLanguage::English);
    EXPECT_EQ(root.windowTitle(), QStringLiteral("Title"));
    EXPECT_EQ(radio->ItemText(0), QStringLiteral("Big"));
    EXPECT_EQ(label->text(), QStringLiteral("Height"));
    EXPECT_EQ(radio->ItemIndex(), 1);
}

TEST_F(Captions, SkippedRowsAndOtherWindowsAreLeftAlone) {
    ApplyCaptionTexts(&root, kTable, TLanguage::Polish);
    ApplyCaptionTexts(&root, kTable, TLanguage::English, [](const TCaptionText& row) {
        return std::string_view(row.Control) == "Button2";
    });
    EXPECT_EQ(button2->text(), QStringLiteral("Zapisz"));
    EXPECT_EQ(check->text(), QStringLiteral("Visible"));

    EXPECT_EQ(FindControl(&root, QStringLiteral("Button2")), button2);
    EXPECT_EQ(FindControl(&root, QStringLiteral("Button1")), nullptr);
    EXPECT_EQ(FindControl(other, QStringLiteral("Button1")), otherButton);
    EXPECT_EQ(FindControl(nullptr, QStringLiteral("Button1")), nullptr);
    // The other window's own table reaches its controls.
    ApplyCaptionTexts(other, kTable, TLanguage::Polish);
    EXPECT_EQ(otherButton->text(), QStringLiteral("Pobierz"));
}
