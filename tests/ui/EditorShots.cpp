// Writes PNG pictures of the layout grid and of the editor area for a visual check:
//   editor_shots [folder]   (default /tmp/editor-shots)
// Grid: normal, selected, hidden, overlap, both blink phases, PAL and NTSC. Editor area:
// the attribute panel for each kind of item, in English and in Polish.
#include "EditorRig.h"
#include "ui/Captions.h"

#include <QDir>
#include <QPixmap>

#include <cstdio>

using namespace halvex;

namespace {

// An item at the same place in every layout mode.
void Put(test::TEditorRig& rig, int item, std::uint8_t flags, int x, int y) {
    for (int m = 0; m < kLayoutModes; ++m)
        rig.Put(m, item, flags, x, y);
}

// A screen like a flying set-up (PAL): most items visible, some grey, small or blinking.
void Scene(test::TEditorRig& rig) {
    constexpr std::uint8_t v = flag::Visible;
    rig.Put(0, 0, v, 100, 100);
    Put(rig, 1, v, 0, 0);
    Put(rig, 2, v | flag::Blinking, 24, 0);
    Put(rig, 3, v | flag::Grey, 0, 1);
    Put(rig, 4, v | flag::Small, 24, 1);
    Put(rig, 5, v, 0, 3);
    Put(rig, 6, v, 0, 4);
    Put(rig, 7, v, 24, 3);
    Put(rig, 8, v, 25, 4);
    Put(rig, 9, v, 24, 6);
    Put(rig, 10, 0, 0, 6); // hidden
    Put(rig, 11, v, 0, 8);
    Put(rig, 12, v, 3, 10);
    Put(rig, 13, v, 0, 14);
    Put(rig, 14, v, 19, 14);
    Put(rig, 15, v | flag::Grey | flag::Blinking, 12, 15);
    Put(rig, 16, v, 14, 1);
    Put(rig, 17, v, 9, 15);
    Put(rig, 18, v, 27, 15);
    Put(rig, 19, v, 26, 11); // overlaps the latitude/longitude? no: free cell
    const char name[] = "Kowalski";
    for (std::size_t k = 0; k < sizeof name - 1; ++k)
        rig.image.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(name[k]));
    rig.image.SetByte(ofs::UserName + sizeof name - 1, 0);
}

bool Save(const QPixmap& pixmap, const QString& path) {
    const bool ok = pixmap.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::TEditorRig rig;
    const QString dir =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/editor-shots");
    QDir().mkpath(dir);
    bool ok = true;

    Scene(rig);
    rig.Build();
    TLayoutEditor& editor = *rig.editor;
    auto grid = [&](const char* name) {
        ok &= Save(editor.StringGrid1->grab(), dir + "/grid-" + name + ".png");
    };

    grid("blank");
    rig.Open();
    grid("pal-normal"); // horizon selected
    rig.Choose(3);
    grid("selected-item3");
    editor.CheckBox1->click();
    grid("hidden-selected-item3");
    editor.CheckBox1->click();
    // Overlap: the speed item moved onto the flight timer, and the RSSI into the horizon zone.
    Put(rig, 8, flag::Visible, 26, 0);
    Put(rig, 10, flag::Visible, 12, 6);
    editor.GridRedraw();
    grid("overlap-blink0");
    editor.BlinkTick();
    grid("overlap-blink1");
    editor.BlinkTick();
    rig.Choose(0);
    editor.CheckBox1->click();
    grid("horizon-hidden");
    editor.CheckBox1->click();
    editor.RadioGroup4->Button(0)->click();
    grid("ntsc");
    editor.RadioGroup4->Button(1)->click();
    grid("pal-after-ntsc");

    for (TLanguage lang : {TLanguage::English, TLanguage::Polish}) {
        rig.language = lang;
        ApplyCaptionTexts(&rig.form, MainWindowTexts(), lang);
        editor.FillItemList();
        const char* tag = lang == TLanguage::English ? "en" : "pl";
        for (int item : {0, 4, 11, 12, 19}) {
            rig.Choose(item);
            ok &= Save(rig.form.grab(QRect(130, 278, 273, 193)),
                       QString("%1/panel-%2-item%3.png").arg(dir).arg(tag).arg(item));
        }
    }
    ok &= Save(rig.form.grab(), dir + "/form.png");
    return ok ? 0 : 1;
}
