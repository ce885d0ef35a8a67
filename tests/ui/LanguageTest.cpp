// The interface language on the main window: the switch over the main window's and the
// settings dialog's text tables, the texts chosen when shown (import dialog, item names,
// temperature sensor caption, messages), and that every caption of the window's own
// controls fits its control in both languages.
#include "AppRig.h"

#include "ui/CodePage.h"
#include "ui/ImportDialog.h"
#include "ui/LayoutStudio.h"
#include "ui/PresetForm.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTimer>

using namespace halvex;
using namespace halvex::test;

namespace {

// A control of `root`'s own window by name, not looking into other windows.
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

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The item names as the user reads them, in item index order.
struct TItemName {
    const char* English;
    const char* Polish;
};
constexpr TItemName kItemNames[] = {
    {"Artifical Horizon", "Sztuczny Horyzont"},
    {"On Time", "Czas Pracy"},
    {"Fly Time", "Czas Lotu"},
    {"Video Batt", "Bateria Video"},
    {"Engine Batt", "Bateria Napędu"},
    {"Motor Current", "Prąd Silnika"},
    {"Consumed mAh", "Zużyte mAh"},
    {"Height", "Wysokość"},
    {"Speed", "Prędkość"},
    {"Dist from Base", "Odległość od Bazy"},
    {"RSSI", "RSSI"},
    {"Sattelites", "Ilość Satelit"},
    {"Variometer", "Wariometr"},
    {"Latlitude", "Szerokość Geograf"},
    {"Longlitude", "Długość Geograf"},
    {"Compass", "Kompas"},
    {"Course to Base", "Kierunek do Bazy"},
    {"User Name", "Nazwa Użytkownika"},
    {"Flying Mode", "Tryb Lotu"},
    {"Themperature", "Temperatura"},
};
static_assert(std::size(kItemNames) == kItemCount);

struct TExpectedMessage {
    TMessage Message;
    const char* English;
    const char* Polish;
};
constexpr TExpectedMessage kMessages[] = {
    {TMessage::ReadError, "ERROR reading data from OSD !", "Błąd odczytu danych z OSD !"},
    {TMessage::CommError, "Communication ERROR !", "Błąd komunikacji !"},
    {TMessage::FontsLoaded, "Fonts loaded !", "Czcionki załadowane !"},
    {TMessage::BadFileFormat, "Bad file format !", "Zły format pliku !"},
    {TMessage::ImportError, "Error inside import file !", "Błąd w importowanym pliku !"},
    {TMessage::ChangesUpdated, "Changes Updated", "Zmiany Zapisane"},
};
static_assert(std::size(kMessages) == static_cast<std::size_t>(TMessage::ChangesUpdated) + 1,
              "every message has its row");

class Language : public AppRig {
protected:
    // Every row of `table` shows its text for `language` on `root`.
    static void ExpectTable(QWidget* root, std::span<const TCaptionText> table, TLanguage language,
                            bool portOpen = false) {
        const auto column = static_cast<std::size_t>(language);
        for (const TCaptionText& row : table) {
            const std::string_view name(row.Control);
            QString expected = QString::fromUtf8(row.Text[column]);
            if (root->objectName() == QLatin1String(row.Control)) {
                EXPECT_EQ(root->windowTitle(), expected);
                continue;
            }
            QWidget* control = Control(root, row.Control);
            ASSERT_NE(control, nullptr) << row.Control;
            // The port button shows "Close" while the port is open.
            if (portOpen && name == "Button6")
                expected = QStringLiteral("Close");
            EXPECT_EQ(Caption(control, row.Item), expected) << row.Control << " item " << row.Item;
        }
    }
    void ExpectBothWindows(TLanguage language, bool portOpen = false) {
        ExpectTable(&F(), MainWindowTexts(), language, portOpen);
        ExpectTable(&W->Form2, SettingsDialogTexts(), language);
    }

    void Choose(int item) {
        E().ComboBox1->setCurrentIndex(item);
        emit E().ComboBox1->activated(item);
    }

    // From a loaded configuration back to the language choice, switched to `k`.
    void CloseAndSwitchTo(int k) {
        Click(F().Button6); // close: the language choice shows again
        ASSERT_TRUE(Shown(F().RadioGroup6));
        ClickRadio(F().RadioGroup6->Button(k));
    }

    // Runs the import flow with the real options dialog; `inside` looks at the dialog
    // while it is open, then OK closes it. Returns false when the dialog never opened.
    bool ImportThroughTheDialog(const std::function<void(TForm3&)>& inside) {
        bool opened = false;
        QTimer::singleShot(0, &W->Form3, [&] {
            opened = W->Form3.isVisible();
            inside(W->Form3);
            W->Form3.Button1->click();
        });
        Click(F().Button5);
        return opened;
    }
};

} // namespace

TEST_F(Language, SwitchAppliesBothTablesAndKeepsTheFixedTexts) {
    Start();
    ExpectBothWindows(TLanguage::English);
    const int videoIndex = E().RadioGroup4->ItemIndex();
    const int modeIndex = E().RadioGroup2->ItemIndex();
    W->Form2.RadioGroup6->SetItemIndex(1);

    for (int pass = 0; pass < 2; ++pass) {
        ClickRadio(F().RadioGroup6->Button(1));
        EXPECT_EQ(F().Language(), TLanguage::Polish);
        ExpectBothWindows(TLanguage::Polish);
        EXPECT_EQ(StoredValue("Lang"), QStringLiteral("1"));

        ClickRadio(F().RadioGroup6->Button(0));
        EXPECT_EQ(F().Language(), TLanguage::English);
        ExpectBothWindows(TLanguage::English);
        EXPECT_EQ(StoredValue("Lang"), QStringLiteral("0"));
    }
    ClickRadio(F().RadioGroup6->Button(1));

    // Items are replaced in place: selections stay.
    EXPECT_EQ(E().RadioGroup4->ItemIndex(), videoIndex);
    EXPECT_EQ(E().RadioGroup2->ItemIndex(), modeIndex);
    EXPECT_EQ(W->Form2.RadioGroup6->ItemIndex(), 1);
    EXPECT_EQ(F().RadioGroup6->ItemIndex(), 1);
    // Texts that never change.
    EXPECT_EQ(F().GroupBox5->title(), QStringLiteral("Port COM"));
    EXPECT_EQ(F().RadioGroup6->title(), QStringLiteral("Language :  "));
    EXPECT_EQ(F().RadioGroup6->ItemText(0), QStringLiteral("English"));
    EXPECT_EQ(F().RadioGroup6->ItemText(1), QStringLiteral("Polski"));
    EXPECT_EQ(F().windowTitle(), QStringLiteral("Halvex Brenn for Torvik HW Configurator v1.05"));
    EXPECT_EQ(W->Form4.windowTitle(), U("Wysyłanie danych..."));
    EXPECT_EQ(W->Form3.windowTitle(), QStringLiteral("Import"));
    EXPECT_EQ(E().RadioGroup2->ItemText(2), QStringLiteral("ALL"));
    EXPECT_EQ(E().RadioGroup4->ItemText(0), QStringLiteral("NTSC"));
    EXPECT_EQ(W->Form2.RadioGroup1->ItemText(0), U("Wyłączone"));
    EXPECT_EQ(W->Form2.RadioGroup3->ItemText(1), QStringLiteral("dd.mm'ss.s"));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(Language, PortButtonKeepsCloseWhileThePortIsOpen) {
    Start();
    Click(F().Button6);
    ClickRadio(F().RadioGroup6->Button(1));
    ExpectBothWindows(TLanguage::Polish, true);
    EXPECT_EQ(F().Button6->text(), QStringLiteral("Close"));
    // Closing sets the language-neutral "Open"; the next switch takes the table's text.
    Click(F().Button6);
    EXPECT_EQ(F().Button6->text(), QStringLiteral("Open"));
    ClickRadio(F().RadioGroup6->Button(0));
    ClickRadio(F().RadioGroup6->Button(1));
    EXPECT_EQ(F().Button6->text(), U("Otwórz"));
}

// The item list is filled at each good read in the language of that moment, and the
// sensor caption at each panel refresh; the names are Windows-1250 in the catalogue.
TEST_F(Language, ReadShowsItemNamesAndSensorCaptionInTheInterfaceLanguage) {
    Start();
    LoadConfiguration();
    ASSERT_EQ(E().ComboBox1->count(), kItemCount);
    for (int i = 0; i < kItemCount; ++i)
        EXPECT_EQ(E().ComboBox1->itemText(i), U(kItemNames[i].English)) << i;
    Choose(19);
    EXPECT_EQ(E().RadioGroup3->title(), QStringLiteral("Sensor"));
    EXPECT_EQ(E().RadioGroup3->ItemText(0), QStringLiteral("Int."));
    EXPECT_FALSE(Shown(F().RadioGroup6)); // no switch while a configuration is shown

    CloseAndSwitchTo(1);
    EXPECT_EQ(E().ComboBox1->itemText(8), QStringLiteral("Speed")); // until the next read
    LoadConfiguration();
    ASSERT_EQ(E().ComboBox1->count(), kItemCount);
    for (int i = 0; i < kItemCount; ++i)
        EXPECT_EQ(E().ComboBox1->itemText(i), U(kItemNames[i].Polish)) << i;
    EXPECT_EQ(E().ComboBox1->currentIndex(), 0);
    Choose(19);
    EXPECT_EQ(E().RadioGroup3->title(), QStringLiteral("Czujnik"));
    EXPECT_EQ(E().RadioGroup3->ItemText(1), QStringLiteral("Ext."));
    Choose(11); // the satellites' option is "HDOP" in both languages
    EXPECT_EQ(E().RadioGroup3->title(), QStringLiteral("HDOP"));
    Choose(12);
    EXPECT_EQ(E().RadioGroup5->title(), U("Dźwiękowe Vario"));
    EXPECT_EQ(E().RadioGroup5->ItemText(0), U("Wyłączone"));
    EXPECT_TRUE(Boxes.empty());
}

// The options dialog takes its texts each time the import opens it.
TEST_F(Language, ImportDialogShowsTheTextsOfTheLanguageAtEachOpening) {
    Start();
    LoadConfiguration();
    QTemporaryDir dir;
    NextPath = dir.path() + QStringLiteral("/board.set");
    Click(F().Button4);
    ASSERT_TRUE(QFile::exists(NextPath));

    const auto expectTexts = [](TForm3& form, const char* group, const char* layouts,
                                const char* main) {
        EXPECT_EQ(form.GroupBox1->title(), U(group));
        EXPECT_EQ(form.CheckBox1->text(), U(layouts));
        EXPECT_EQ(form.CheckBox2->text(), U(main));
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Import"));
        EXPECT_EQ(form.Button1->text(), QStringLiteral("OK"));
    };
    EXPECT_TRUE(ImportThroughTheDialog([&](TForm3& form) {
        expectTexts(form, "Import data for: ", "Screen layouts", "Main settings");
    }));

    CloseAndSwitchTo(1);
    // The switch itself leaves the dialog alone.
    EXPECT_EQ(W->Form3.CheckBox1->text(), QStringLiteral("Screen layouts"));
    LoadConfiguration();
    EXPECT_TRUE(ImportThroughTheDialog([&](TForm3& form) {
        expectTexts(form, "Importuj: ", "Układ ekranów", "Ustawienia główne");
    }));
    EXPECT_TRUE(Boxes.empty());
}

// Each message as the window shows it, chosen by the flag at that moment.
TEST_F(Language, EveryMessageInBothLanguages) {
    Start();
    for (int k : {1, 0, 1}) {
        ClickRadio(F().RadioGroup6->Button(k));
        for (const TExpectedMessage& m : kMessages) {
            Boxes.clear();
            F().ShowMessage(m.Message);
            ASSERT_EQ(Boxes.size(), 1u);
            EXPECT_EQ(Boxes[0].Kind, TBoxKind::Message);
            EXPECT_EQ(Boxes[0].Text, U(k == 1 ? m.Polish : m.English))
                << static_cast<int>(m.Message) << " language " << k;
        }
    }
    // A message from a real exchange follows the flag too.
    Boxes.clear();
    ClickRadio(F().RadioGroup6->Button(1));
    Board.reset(); // nothing answers
    Click(F().Button6);
    Click(F().Button8);
    Run(6100);
    EXPECT_EQ(Texts(TBoxKind::Message),
              std::vector<QString>{U("Błąd komunikacji !\nbrak odpowiedzi: sprawdź zasilanie "
                                     "płytki, skrzyżowanie TX/RX i wspólną masę")});
}

// Every table text can be written as Windows-1250 (the program's code page) and comes back
// the same, and the Polish letters map to their Windows-1250 bytes.
TEST_F(Language, EveryTextIsWindows1250) {
    std::vector<const char*> texts;
    for (auto table : {MainWindowTexts(), SettingsDialogTexts(), ImportDialogTexts(),
                       PreviewTexts(), PresetDialogTexts()})
        for (const TCaptionText& row : table)
            texts.insert(texts.end(), std::begin(row.Text), std::end(row.Text));
    for (const TExpectedMessage& m : kMessages)
        for (TLanguage language : {TLanguage::English, TLanguage::Polish})
            texts.push_back(MessageText(m.Message, language));
    for (TLanguage language : {TLanguage::English, TLanguage::Polish})
        texts.push_back(SensorCaption(language));
    texts.push_back(fixed_text::ProgressCaption);
    for (const char* text : texts) {
        const QString screen = U(text);
        ASSERT_FALSE(screen.isEmpty());
        const std::string bytes = ToWin1250(screen);
        EXPECT_EQ(bytes.size(), static_cast<std::size_t>(screen.size()))
            << text; // one byte per character
        EXPECT_EQ(FromWin1250(bytes), screen) << text;
    }
    EXPECT_EQ(ToWin1250(U("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ")),
              "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
}

TEST_F(Language, EveryCaptionOfTheWindowsOwnControlsFits) {
    Start();
    TForm1& f = F();
    QPushButton* const frameButtons[] = {f.Button1, f.Button2, f.Button4, f.Button5, f.Button3};
    for (int pass = 0; pass < 2; ++pass) {
        ClickRadio(f.RadioGroup6->Button(pass));
        for (QPushButton* b : {f.Button1, f.Button2, f.Button3, f.Button4, f.Button5, f.Button6,
                               f.Button7, f.Button8, f.Button9}) {
            const int text = b->fontMetrics().horizontalAdvance(b->text());
            EXPECT_LE(text + 8, b->width())
                << b->objectName().toStdString() << " \"" << b->text().toStdString() << '"';
            EXPECT_GE(b->height(), b->fontMetrics().height() + 4) << b->objectName().toStdString();
        }
        for (int k = 0; k < f.RadioGroup6->Count(); ++k) {
            QRadioButton* r = f.RadioGroup6->Button(k);
            EXPECT_LE(r->sizeHint().width(), r->width()) << r->text().toStdString();
            EXPECT_TRUE(f.RadioGroup6->contentsRect().contains(r->geometry()));
        }
        for (QGroupBox* g : {static_cast<QGroupBox*>(f.RadioGroup6), f.GroupBox5, f.GroupBox1})
            EXPECT_LE(g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width())
                << g->objectName().toStdString() << " \"" << g->title().toStdString() << '"';
        f.Label2->setText(QStringLiteral("Firmware: v31.FF HX")); // the widest label
        EXPECT_LE(f.Label2->sizeHint().width(), f.Label2->width());
    }
    // The groups' own controls stay inside them, below their titles.
    for (QWidget* w : {static_cast<QWidget*>(f.AfPortComboBox1), static_cast<QWidget*>(f.Button6)})
        EXPECT_TRUE(f.GroupBox5->contentsRect().contains(w->geometry()))
            << w->objectName().toStdString();
    for (QPushButton* b : frameButtons) {
        EXPECT_EQ(b->parentWidget(), f.GroupBox1);
        EXPECT_TRUE(f.GroupBox1->contentsRect().contains(b->geometry()))
            << b->objectName().toStdString();
    }
    for (std::size_t a = 0; a < std::size(frameButtons); ++a)
        for (std::size_t b = a + 1; b < std::size(frameButtons); ++b)
            EXPECT_FALSE(frameButtons[a]->geometry().intersects(frameButtons[b]->geometry()))
                << frameButtons[a]->objectName().toStdString() << " "
                << frameButtons[b]->objectName().toStdString();
    // The left column: the port group, the settings frame, the firmware label, top to
    // bottom, none overlapping and none reaching the right area or the window's edge.
    const QRect leftColumn(6, 284, 124, 471 - 284);
    QWidget* const column[] = {f.GroupBox5, f.GroupBox1, f.Label2};
    for (std::size_t k = 0; k < std::size(column); ++k) {
        EXPECT_TRUE(leftColumn.contains(column[k]->geometry()))
            << column[k]->objectName().toStdString();
        if (k > 0) {
            EXPECT_GT(column[k]->geometry().top(), column[k - 1]->geometry().bottom())
                << column[k]->objectName().toStdString();
        }
    }
}

// Screen readers hear what the user reads: every frame by its own title (also a frame
// inside a frame), every edit box and spinner by its label or, without one, by its frame.
TEST_F(Language, EveryFrameEditAndSpinnerIsNamedAfterItsCaptionInBothLanguages) {
    Start();
    const auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    const auto expectNames = [&](QWidget* root) {
        for (QGroupBox* g : root->findChildren<QGroupBox*>()) {
            if (g->title().isEmpty()) // the item option before an item needs it
                continue;
            EXPECT_EQ(name(g), g->title().trimmed()) << g->objectName().toStdString();
        }
        for (QLineEdit* e : root->findChildren<QLineEdit*>()) {
            if (qobject_cast<QComboBox*>(e->parentWidget()) || e->window() != root)
                continue;
            EXPECT_FALSE(name(e).isEmpty()) << e->objectName().toStdString();
        }
        for (QWidget* w : root->findChildren<QWidget*>()) // TUpDown has no meta-object
            if (auto* s = dynamic_cast<TUpDown*>(w)) {
                EXPECT_EQ(name(s), name(s->Associate()));
            }
    };
    for (int k : {1, 0}) {
        ClickRadio(F().RadioGroup6->Button(k));
        expectNames(&F());
        expectNames(&W->Form2);
        EXPECT_EQ(name(E().Edit2), E().StaticText2->text());
        EXPECT_EQ(name(W->Form2.Edit19), W->Form2.GroupBox4->title().trimmed());
        EXPECT_EQ(name(W->Form2.Edit9), U("Temperatura 0°C"));
    }
    EXPECT_EQ(name(E().GroupBox3), QStringLiteral("Attributes")); // not its frame's title
    ClickRadio(F().RadioGroup6->Button(1));
    LoadConfiguration();
    Choose(19); // temperature
    EXPECT_EQ(name(E().RadioGroup3), QStringLiteral("Czujnik"));
}

// Qt's own dialogs and buttons speak the interface language too.
TEST_F(Language, QtsOwnTextsFollowTheSwitch) {
    Start();
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    ClickRadio(F().RadioGroup6->Button(1));
    EXPECT_EQ(cancel(), QStringLiteral("Anuluj"));
    ClickRadio(F().RadioGroup6->Button(0));
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
}

namespace halvex {
namespace {

// Every control a user works with on the main window and the two dialogs explains itself in
// both languages, and a settings box names the limits it clamps to.
TEST_F(Language, EveryControlOfTheWindowAndDialogsHasATooltipInBothLanguages) {
    Start();
    TForm2& settings = W->Form2;
    settings.DecimalPoint = '.';
    // What a box shows after the user left it holding `typed`, with '.' as the separator.
    const auto shown = [&](QLineEdit* edit, const char* typed) {
        edit->setText(QString::fromLatin1(typed));
        settings.EditExit(edit);
        return edit->text();
    };
    const auto names = [](const QString& tip, const QString& value) {
        const QString number = QRegularExpression::escape(value);
        return QString(tip).replace(',', '.').contains(
            QRegularExpression(QStringLiteral("(^|[^-.0-9])%1($|[^.0-9])").arg(number)));
    };
    for (int lang = 0; lang < 2; ++lang) {
        F().RadioGroup6->SetItemIndex(lang);
        W->Form3.ApplyLanguage(static_cast<TLanguage>(lang));
        QStringList seen;
        for (QWidget* root : {static_cast<QWidget*>(&F()), static_cast<QWidget*>(&settings),
                              static_cast<QWidget*>(&W->Form3)}) {
            int count = 0;
            for (QWidget* w : root->findChildren<QWidget*>()) {
                const bool control = qobject_cast<QAbstractButton*>(w) ||
                                     qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                                     dynamic_cast<TRadioGroup*>(w) || dynamic_cast<TUpDown*>(w) ||
                                     w == E().StringGrid1;
                // Radio items and spinner arrows explain themselves through their group.
                const bool part = dynamic_cast<TRadioGroup*>(w->parentWidget()) ||
                                  dynamic_cast<TUpDown*>(w->parentWidget()) ||
                                  qobject_cast<QComboBox*>(w->parentWidget());
                if (!control || part || w->window() != root)
                    continue;
                ++count;
                EXPECT_FALSE(w->toolTip().isEmpty())
                    << w->objectName().toStdString() << " " << lang;
                seen << w->toolTip();
            }
            EXPECT_GT(count, 2);
        }
        // The lowest and highest value each box keeps, typed as the smallest and largest
        // numbers it takes (a word box takes a negative number modulo 65536).
        for (QLineEdit* edit : settings.findChildren<QLineEdit*>()) {
            if (edit == settings.Edit19)
                continue;
            const QString low = shown(edit, "0"), negative = shown(edit, "-9999"),
                          high = shown(edit, "99999");
            const QString lowest = negative.toDouble() < low.toDouble() ? negative : low;
            EXPECT_TRUE(names(edit->toolTip(), lowest) && names(edit->toolTip(), high))
                << edit->objectName().toStdString() << " " << lowest.toStdString() << " to "
                << high.toStdString() << ": " << edit->toolTip().toStdString();
        }
        if (lang == 1) {
            EXPECT_TRUE(seen.contains(U("Pokazuj element na ekranie (spacja na siatce)")));
            EXPECT_TRUE(
                seen.contains(U("Alarm, gdy czas lotu osiągnie tę wartość: od 1 do 255 min")));
            EXPECT_TRUE(seen.contains(U("Importuj z pliku układy ekranów OFF, MIN i ALL")));
        }
    }
}

} // namespace
} // namespace halvex

namespace halvex {
namespace {

// The guides box and the presets button share the layout mode group with its title, the
// mode buttons and the preview button: whole and apart in both languages. The preset
// chooser explains each control in both languages and its buttons show their captions.
TEST_F(Language, LayoutStudioControlsFitAndExplainThemselvesInBothLanguages) {
    Start();
    LoadConfiguration();
    TRadioGroup* group = E().RadioGroup2;
    TLayoutStudio& studio = E().Studio();
    TPresetForm& chooser = studio.PresetForm();
    for (int lang : {1, 0}) {
        CloseAndSwitchTo(lang);
        LoadConfiguration();
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, group);
        QWidget* const guides = studio.GuidesBox;
        QWidget* const presets = studio.PresetsButton;
        EXPECT_LE(guides->sizeHint().width(), guides->width()) << lang;
        EXPECT_LE(presets->fontMetrics().horizontalAdvance(studio.PresetsButton->text()) + 8,
                  presets->width())
            << lang;
        EXPECT_FALSE(guides->geometry().intersects(title)) << lang;
        EXPECT_FALSE(guides->geometry().intersects(F().Button9->geometry())) << lang;
        for (int k = 0; k < group->Count(); ++k) {
            EXPECT_FALSE(presets->geometry().intersects(group->Button(k)->geometry())) << k;
            EXPECT_LE(group->Button(k)->sizeHint().width(), group->Button(k)->width()) << k;
        }
        for (QWidget* w : {guides, presets})
            EXPECT_TRUE(group->rect().contains(w->geometry())) << w->objectName().toStdString();

        chooser.Reload(static_cast<TLanguage>(lang), 1);
        chooser.adjustSize();
        for (QWidget* w : chooser.findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractButton*>(w) &&
                w != static_cast<QWidget*>(chooser.PresetList))
                continue;
            if (dynamic_cast<TRadioGroup*>(w->parentWidget()))
                continue; // radio items explain themselves through their group
            EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString() << " " << lang;
            if (auto* b = qobject_cast<QPushButton*>(w)) {
                EXPECT_LE(b->sizeHint().width(), b->width()) << b->text().toStdString();
            }
        }
        EXPECT_FALSE(chooser.ApplyTo->toolTip().isEmpty());
        EXPECT_EQ(chooser.windowTitle(), U(lang ? "Szablony układu" : "Layout presets"));
        EXPECT_EQ(chooser.ApplyTo->ItemText(0),
                  U(lang ? "edytowany układ (MIN)" : "the layout being edited (MIN)"));
    }
}

} // namespace
} // namespace halvex
