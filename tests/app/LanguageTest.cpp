// The language switch over the main window's text table, and that every caption of the
// window's own controls fits its control in both languages.
#include "AppRig.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QStringDecoder>

using namespace halvex;
using namespace halvex::test;

namespace {

// A control of the main window by name, not looking into the dialogs.
QWidget* Control(QWidget* root, const char* name) {
    for (QWidget* w : root->findChildren<QWidget*>(QString::fromLatin1(name)))
        if (w->window() == root)
            return w;
    return nullptr;
}

QString Caption(QWidget* control, int item) {
    if (auto* group = dynamic_cast<TRadioGroup*>(control))
        return item >= 0 ? group->ItemText(item) : group->title();
    if (auto* box = qobject_cast<QGroupBox*>(control))
        return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    return QStringLiteral("(unknown kind)");
}

class Language : public AppRig {
protected:
    // Every row of the table shows its text for `language` (Button6 while closed only).
    void ExpectTable(TLanguage language, bool portOpen) {
        const auto column = static_cast<std::size_t>(language);
        for (const TCaptionText& row : MainWindowTexts()) {
            // The table keeps a row for a "Settings" frame that this window does not have.
            if (std::string_view(row.Control) == "GroupBox1") {
                EXPECT_EQ(Control(&F(), row.Control), nullptr);
                continue;
            }
            QWidget* control = Control(&F(), row.Control);
            ASSERT_NE(control, nullptr) << row.Control;
            QString expected = QString::fromUtf8(row.Text[column]);
            if (portOpen && std::string_view(row.Control) == "Button6")
                expected = QStringLiteral("Close");
            EXPECT_EQ(Caption(control, row.Item), expected) << row.Control << " item " << row.Item;
        }
    }
};

} // namespace

TEST_F(Language, SwitchAppliesTheWholeTableBothWays) {
    Start();
    ExpectTable(TLanguage::English, false);
    const int videoIndex = E().RadioGroup4->ItemIndex();

    ClickRadio(F().RadioGroup6->Button(1));
    EXPECT_EQ(F().Language(), TLanguage::Polish);
    ExpectTable(TLanguage::Polish, false);
    EXPECT_EQ(W->Form2.windowTitle(), QStringLiteral("Ustawienia"));
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("1"));
    // Items are replaced in place: selections stay.
    EXPECT_EQ(E().RadioGroup4->ItemIndex(), videoIndex);
    EXPECT_EQ(F().RadioGroup6->ItemIndex(), 1);
    // Texts that never change.
    EXPECT_EQ(F().GroupBox5->title(), QStringLiteral("Port COM"));
    EXPECT_EQ(F().RadioGroup6->title(), QStringLiteral("Language :  "));
    EXPECT_EQ(F().windowTitle(), QStringLiteral("Halvex Brenn for Torvik HW Configurator v1.05"));
    EXPECT_EQ(W->Form4.windowTitle(), QStringLiteral("Wysyłanie danych..."));

    ClickRadio(F().RadioGroup6->Button(0));
    EXPECT_EQ(F().Language(), TLanguage::English);
    ExpectTable(TLanguage::English, false);
    EXPECT_EQ(W->Form2.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(StoredValue("Lang"), QStringLiteral("0"));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(Language, PortButtonKeepsCloseWhileThePortIsOpen) {
    Start();
    Click(F().Button6);
    ClickRadio(F().RadioGroup6->Button(1));
    ExpectTable(TLanguage::Polish, true);
    EXPECT_EQ(F().Button6->text(), QStringLiteral("Close"));
    // Closing sets the language-neutral "Open"; the next switch takes the table's text.
    Click(F().Button6);
    EXPECT_EQ(F().Button6->text(), QStringLiteral("Open"));
    ClickRadio(F().RadioGroup6->Button(0));
    ClickRadio(F().RadioGroup6->Button(1));
    EXPECT_EQ(F().Button6->text(), QStringLiteral("Otwórz"));
}

TEST_F(Language, ItemListIsFilledInTheLanguageOfTheRead) {
    WritePrefs("Lang=1\n");
    Start();
    Click(F().Button6);
    Click(F().Button8);
    Run(10);
    Click(F().Button1);
    Run(400);
    ASSERT_EQ(E().ComboBox1->count(), 20);
    EXPECT_FALSE(Shown(F().RadioGroup6)); // no switch while a configuration is shown
    QStringDecoder cp1250("windows-1250");
    EXPECT_EQ(E().ComboBox1->itemText(0), cp1250(QByteArray(F().Catalogue.Polish(0))));
}

TEST_F(Language, EveryCaptionOfTheWindowsOwnControlsFits) {
    Start();
    TForm1& f = F();
    for (int pass = 0; pass < 2; ++pass) {
        ClickRadio(f.RadioGroup6->Button(pass));
        for (QPushButton* b : {f.Button1, f.Button2, f.Button3, f.Button4, f.Button5, f.Button6,
                               f.Button7, f.Button8}) {
            const int text = b->fontMetrics().horizontalAdvance(b->text());
            EXPECT_LE(text + 8, b->width())
                << b->objectName().toStdString() << " \"" << b->text().toStdString() << '"';
        }
        for (int k = 0; k < f.RadioGroup6->Count(); ++k) {
            QRadioButton* r = f.RadioGroup6->Button(k);
            EXPECT_LE(r->sizeHint().width(), r->width()) << r->text().toStdString();
            EXPECT_TRUE(f.RadioGroup6->contentsRect().contains(r->geometry()));
        }
        EXPECT_LE(f.RadioGroup6->fontMetrics().horizontalAdvance(f.RadioGroup6->title()) + 16,
                  f.RadioGroup6->width());
        EXPECT_LE(f.GroupBox5->fontMetrics().horizontalAdvance(f.GroupBox5->title()) + 16,
                  f.GroupBox5->width());
        f.Label2->setText(QStringLiteral("Firmware: v31.FF HX")); // the widest label
        EXPECT_LE(f.Label2->sizeHint().width(), f.Label2->width());
    }
    // The port group's own controls stay inside it.
    for (QWidget* w : {static_cast<QWidget*>(f.AfPortComboBox1), static_cast<QWidget*>(f.Button6)})
        EXPECT_TRUE(f.GroupBox5->contentsRect().contains(w->geometry()))
            << w->objectName().toStdString();
}
