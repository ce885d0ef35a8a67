// The layout studio on the editor: presets applied as one undoable step, the chooser's
// pictures and the user's own presets, the grid menu's anchors and position copy, the
// guides (drawn, remembered, never stored) and the overlap hint.
#include "ui/LayoutStudio.h"
#include "EditorRig.h"
#include "config/Preferences.h"
#include "ui/ExceptionReport.h"
#include "ui/LayoutGuides.h"
#include "ui/PresetForm.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace halvex {
namespace {

constexpr std::uint8_t kVis = flag::Visible;

class LayoutStudioTest : public ::testing::Test, protected test::TEditorRig {
protected:
    LayoutStudioTest() {
        Build();
        Studio().Presets = TPresetLibrary(QStringLiteral(HALVEX_CHECKOUT_PRESETS),
                                          dir.path() + QStringLiteral("/presets"));
        Open();
    }
    TLayoutStudio& Studio() { return editor->Studio(); }
    TPresetEntry Shipped(const char* name) {
        for (const auto& p : Studio().Presets.List(TLanguage::English))
            if (p.Name == QLatin1String(name))
                return p;
        ADD_FAILURE() << name;
        return {};
    }
    TImageBytes Bytes() const { return Snapshot(image); }
    static QAction* Entry(QMenu& menu, const QString& text) {
        for (QAction* a : menu.actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    QTemporaryDir dir;
};

// Applying to the layout being edited changes that layout only, in one step that undo
// takes back byte for byte; applying to all three changes the others too.
TEST_F(LayoutStudioTest, PresetAppliedToMinOrToAllIsOneStepUndoneExactlyAndSaysSo) {
    editor->RadioGroup2->SetItemIndex(1); // MIN
    QStringList status;
    editor->OnStatus = [&](const QString& text) { status << text; };
    const TImageBytes before = Bytes();
    const TPresetEntry race = Shipped("Race");
    const TConfigImage preset = TPresetLibrary::Load(race.Path, image, catalogue).value();
    const int steps = editor->History.Count();
    Studio().ApplyPreset(race, false);
    EXPECT_EQ(editor->History.Count(), steps + 1);
    for (int i = 1; i < kItemCount; ++i) {
        EXPECT_EQ(image.Flags(1, i), preset.Flags(1, i)) << i;
        EXPECT_EQ(image.XPos(1, i), preset.XPos(1, i)) << i;
        EXPECT_EQ(image.Flags(0, i), before[ItemRecordOffset(0, i)]) << i;
        EXPECT_EQ(image.Flags(2, i), before[ItemRecordOffset(2, i)]) << i;
    }
    EXPECT_EQ(editor->History.UndoText(), QStringLiteral("preset Race"));
    EXPECT_EQ(status.value(0), QStringLiteral("Preset Race applied to MIN"));
    editor->Undo();
    EXPECT_EQ(Bytes(), before);
    const TPresetEntry everything = Shipped("Everything");
    const TConfigImage all = TPresetLibrary::Load(everything.Path, image, catalogue).value();
    Studio().ApplyPreset(everything, true);
    EXPECT_EQ(editor->History.Count(), steps + 1);
    for (int m = 0; m < kLayoutModes; ++m)
        for (int i = 1; i < kItemCount; ++i)
            EXPECT_EQ(image.Flags(m, i), all.Flags(m, i)) << m << " " << i;
    EXPECT_EQ(status.value(2), QStringLiteral("Preset Everything applied to all three layouts"));
    editor->Undo();
    EXPECT_EQ(Bytes(), before);
    language = TLanguage::Polish;
    Studio().ApplyPreset(Shipped("Race"), false);
    EXPECT_EQ(status.value(4), QString::fromUtf8("Zastosowano układ Race w MIN"));
}

// The chooser draws each preset's picture of the layout being edited, and keeps the
// user's own presets: saved from the editor's layouts, renamed, deleted.
TEST_F(LayoutStudioTest, ChooserShowsPicturesAndKeepsTheUsersOwnPresets) {
    TPresetForm& form = Studio().PresetForm();
    QString answer = QStringLiteral("Club");
    form.AskName = [&](const QString&, const QString&) { return answer; };
    form.Question = [](const QString&) { return true; };
    form.Reload(TLanguage::English, 2);
    ASSERT_EQ(form.Entries().size(), 4u);
    for (int k = 0; k < 4; ++k) {
        const QIcon icon = form.PresetList->item(k)->icon();
        EXPECT_EQ(icon.availableSizes().value(0), QSize(195, 136)) << k; // half the PAL grid
    }
    EXPECT_FALSE(form.RenameButton->isEnabled()); // a shipped preset
    form.SaveLayout();
    ASSERT_EQ(form.Entries().size(), 5u);
    EXPECT_EQ(form.Chosen()->Name, QStringLiteral("Club"));
    EXPECT_TRUE(form.DeleteButton->isEnabled());
    answer = QStringLiteral("Club 2");
    form.RenameChosen();
    EXPECT_EQ(form.Chosen()->Name, QStringLiteral("Club 2"));
    EXPECT_EQ(form.Chosen()->Path, dir.path() + QStringLiteral("/presets/Club 2.set"));
    form.DeleteChosen();
    EXPECT_EQ(form.Entries().size(), 4u);
}

// Without the shipped presets the chooser says where it looked, instead of an empty list.
TEST_F(LayoutStudioTest, ChooserWithoutShippedPresetsSaysSo) {
    TPresetForm& form = Studio().PresetForm();
    form.Reload(TLanguage::English, 1);
    EXPECT_FALSE(form.MissingNote->isVisibleTo(&form));
    const QString none = dir.path() + QStringLiteral("/none");
    Studio().Presets = TPresetLibrary(none, dir.path() + QStringLiteral("/presets"));
    form.Reload(TLanguage::Polish, 1);
    EXPECT_TRUE(form.Entries().empty());
    EXPECT_TRUE(form.MissingNote->isVisibleTo(&form));
    EXPECT_TRUE(form.MissingNote->text().startsWith(
        QString::fromUtf8("Brak szablonów układu dostarczonych z programem: ") + none))
        << form.MissingNote->text().toStdString();
}

// A preset another program removed while the chooser showed it: deleting it reports the
// error and the list shows the folder as it is now.
TEST_F(LayoutStudioTest, DeletingAPresetThatIsGoneReportsItAndListsTheFolderAgain) {
    QStringList boxes;
    MessageBoxHook() = [&](TBoxKind, const QString& text) { boxes << text; };
    TPresetForm& form = Studio().PresetForm();
    form.AskName = [](const QString&, const QString&) { return QStringLiteral("Club"); };
    form.Question = [](const QString&) { return true; };
    form.Reload(TLanguage::English, 2);
    form.SaveLayout();
    ASSERT_TRUE(QFile::remove(form.Chosen()->Path));
    emit form.DeleteButton->clicked();
    MessageBoxHook() = nullptr;
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(form.Entries().size(), 4u);
}

// "Place at" and "Copy position to" act on the selected item, each one step that the
// status line names; with the guides shown, Place at keeps to the 16:9 area.
TEST_F(LayoutStudioTest, GridMenuPlacesTheSelectedItemAndCopiesItsPosition) {
    editor->RadioGroup2->SetItemIndex(2); // ALL
    Put(2, item::UserName, kVis, 3, 4);
    Choose(item::UserName);
    QStringList status;
    editor->OnStatus = [&](const QString& text) { status << text; };
    const TImageBytes before = Bytes();
    QMenu menu;
    Studio().AddMenuEntries(menu);
    QMenu* place = menu.actions().value(0)->menu();
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->title(), QStringLiteral("Place at"));
    place->actions().value(static_cast<int>(TAnchor::BottomRight))->trigger();
    EXPECT_EQ(image.XPos(2, item::UserName), 30 - 5); // "Pilot"
    EXPECT_EQ(image.YPos(2, item::UserName), 15);
    EXPECT_EQ(editor->UpDown1->Position(), 25);
    EXPECT_EQ(status.value(0), QStringLiteral("Placed User Name at bottom right"));
    QAction* copy = Entry(menu, QStringLiteral("Copy position to OFF"));
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    EXPECT_EQ(image.XPos(0, item::UserName), 25);
    EXPECT_EQ(image.Flags(0, item::UserName), kVis);
    EXPECT_EQ(editor->History.UndoText(), QStringLiteral("copy position of User Name to OFF"));
    EXPECT_EQ(status.value(1), QStringLiteral("Copied the position of User Name to OFF"));
    Studio().GuidesBox->SetChecked(true);
    place->actions().value(static_cast<int>(TAnchor::Top))->trigger();
    EXPECT_EQ(image.YPos(2, item::UserName), 2); // PAL's 16:9 area: rows 2 to 13
    language = TLanguage::Polish;
    place->actions().value(static_cast<int>(TAnchor::BottomRight))->trigger();
    EXPECT_EQ(image.YPos(2, item::UserName), 13);
    EXPECT_EQ(
        status.value(3),
        QString::fromUtf8("Nazwa Użytkownika: umieszczono w prawym dolnym rogu (obszar 16:9)"));
    for (int k = 0; k < 4; ++k)
        editor->Undo();
    EXPECT_EQ(Bytes(), before);
    Choose(item::Horizon); // its position bytes are its sensitivities
    QMenu horizon;
    Studio().AddMenuEntries(horizon);
    EXPECT_FALSE(horizon.actions().value(0)->isEnabled());
}

// The rows (or columns) of `picture` with at least 60 pixels of exactly `rgb`.
std::vector<int> LinesOf(const QImage& picture, QRgb rgb, bool rows) {
    std::vector<int> lines;
    const int count = rows ? picture.height() : picture.width();
    for (int k = 0; k < count; ++k) {
        int pixels = 0;
        for (int a = 0; a < (rows ? picture.width() : picture.height()); ++a)
            pixels += (picture.pixel(rows ? a : k, rows ? k : a) & 0xFFFFFF) == rgb ? 1 : 0;
        if (pixels >= 60)
            lines.push_back(k);
    }
    return lines;
}

// Each line found lies within a pixel of the edge expected at the same place.
void ExpectLinesAt(const std::vector<int>& found, std::initializer_list<double> edges,
                   const char* what) {
    ASSERT_EQ(found.size(), edges.size()) << what;
    int k = 0;
    for (const double edge : edges)
        EXPECT_LE(std::abs(found[static_cast<std::size_t>(k++)] - edge), 1.0)
            << what << " " << edge;
}

// The guides show on the grid only, never in the image, and the preferences keep them.
// Their edges lie where the screen's proportions put them: on the PAL grid of 13 x 17
// pixel cells the 16:9 cut is 2 rows (1/8 of 16) at each end, the title-safe frame 10 %
// in from each side (3 of 30 columns, 1.6 of 16 rows).
TEST_F(LayoutStudioTest, GuidesAreDrawnWhereTheScreenIsCutNotStoredAndRemembered) {
    TPreferences preferences(dir.path() + QStringLiteral("/HalvexCfg.ini"));
    Studio().UsePreferences(preferences);
    const QImage plain = editor->StringGrid1->grab().toImage();
    ExpectLinesAt(LinesOf(plain, guide_colour::WideScreen, true), {}, "no guide");
    const TImageBytes before = Bytes();
    Studio().GuidesBox->SetChecked(true);
    EXPECT_TRUE(Studio().GuidesShown());
    const QImage guides = editor->StringGrid1->grab().toImage();
    ExpectLinesAt(LinesOf(guides, guide_colour::WideScreen, true), {2 * 17, 14 * 17}, "16:9");
    ExpectLinesAt(LinesOf(guides, guide_colour::WideScreen, false), {}, "16:9 columns");
    ExpectLinesAt(LinesOf(guides, guide_colour::TitleSafe, true), {1.6 * 17, 14.4 * 17},
                  "title-safe rows");
    ExpectLinesAt(LinesOf(guides, guide_colour::TitleSafe, false), {3 * 13, 27 * 13},
                  "title-safe columns");
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(editor->History.Count(), 0);
    TLayoutEditor another(image, catalogue, &form);
    another.Studio().UsePreferences(preferences);
    EXPECT_TRUE(another.Studio().GuidesShown());
}

// Preferences that cannot be written: the guides still show, and the failed write is
// reported instead of ending the program.
TEST_F(LayoutStudioTest, GuidesShowWhenThePreferencesCannotBeWritten) {
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TPreferences preferences(blocker.fileName() + QStringLiteral("/HalvexCfg.ini"));
    Studio().UsePreferences(preferences);
    QStringList boxes;
    MessageBoxHook() = [&](TBoxKind, const QString& text) { boxes << text; };
    Studio().GuidesBox->SetChecked(true);
    MessageBoxHook() = nullptr;
    EXPECT_TRUE(Studio().GuidesShown());
    EXPECT_EQ(boxes, QStringList({QStringLiteral("Failed to set data for 'Guides'")}));
}

// The hint names the items sharing cells with the selected one, in the interface
// language, and is told again only when it changes.
TEST_F(LayoutStudioTest, OverlapHintNamesTheOtherItemsInTheInterfaceLanguage) {
    language = TLanguage::Polish;
    editor->RadioGroup2->SetItemIndex(2); // ALL
    QStringList hints;
    Studio().OnOverlapHint = [&](const QString&, const QString& now) { hints << now; };
    Put(2, 7, kVis, 3, 4); // "=1000m" columns 3..8
    Put(2, 8, kVis, 6, 4); // "»100k" columns 6..10
    Put(2, 1, kVis, 0, 4); // "*00:00" columns 0..5
    Choose(7);
    editor->BlinkTick();
    Choose(2);
    EXPECT_EQ(hints,
              QStringList({QString::fromUtf8("Nachodzi na: Czas Pracy, Prędkość"), QString()}));
}

} // namespace
} // namespace halvex
