// The layout studio on the editor: presets applied as one undoable step, the chooser's
// pictures and the user's own presets, the grid menu's anchors and position copy, the
// guides (drawn, remembered, never stored) and the overlap hint.
#include "ui/LayoutStudio.h"
#include "EditorRig.h"
#include "config/Preferences.h"
#include "ui/ExceptionReport.h"
#include "ui/PresetForm.h"

#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
TEST_F(LayoutStudioTest, PresetAppliedToMinOrToAllIsOneStepUndoneExactly) {
    editor->RadioGroup2->SetItemIndex(1); // MIN
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
    editor->Undo();
    EXPECT_EQ(Bytes(), before);
    const TPresetEntry everything = Shipped("Everything");
    const TConfigImage all = TPresetLibrary::Load(everything.Path, image, catalogue).value();
    Studio().ApplyPreset(everything, true);
    EXPECT_EQ(editor->History.Count(), steps + 1);
    for (int m = 0; m < kLayoutModes; ++m)
        for (int i = 1; i < kItemCount; ++i)
            EXPECT_EQ(image.Flags(m, i), all.Flags(m, i)) << m << " " << i;
    editor->Undo();
    EXPECT_EQ(Bytes(), before);
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

// "Place at" and "Copy position to" act on the selected item, each one step.
TEST_F(LayoutStudioTest, GridMenuPlacesTheSelectedItemAndCopiesItsPosition) {
    editor->RadioGroup2->SetItemIndex(2); // ALL
    Put(2, item::UserName, kVis, 3, 4);
    Choose(item::UserName);
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
    QAction* copy = Entry(menu, QStringLiteral("Copy position to OFF"));
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    EXPECT_EQ(image.XPos(0, item::UserName), 25);
    EXPECT_EQ(image.Flags(0, item::UserName), kVis);
    EXPECT_EQ(editor->History.UndoText(), QStringLiteral("copy position of User Name to OFF"));
    editor->Undo();
    editor->Undo();
    EXPECT_EQ(Bytes(), before);
    Choose(item::Horizon); // its position bytes are its sensitivities
    QMenu horizon;
    Studio().AddMenuEntries(horizon);
    EXPECT_FALSE(horizon.actions().value(0)->isEnabled());
}

// The guides show on the grid only, never in the image, and the preferences keep them.
TEST_F(LayoutStudioTest, GuidesAreDrawnNotStoredAndRemembered) {
    TPreferences preferences(dir.path() + QStringLiteral("/HalvexCfg.ini"));
    Studio().UsePreferences(preferences);
    const QImage plain = editor->StringGrid1->grab().toImage();
    const TImageBytes before = Bytes();
    Studio().GuidesBox->SetChecked(true);
    EXPECT_TRUE(Studio().GuidesShown());
    EXPECT_NE(editor->StringGrid1->grab().toImage(), plain);
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
