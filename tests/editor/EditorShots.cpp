// Writes PNG pictures of the layout grid and of the editor area for a visual check:
//   editor_shots [folder]   (default /tmp/editor-shots)
// Grid: normal, selected, hidden, overlap, both blink phases, PAL and NTSC. Editor area:
// the attribute panel for each kind of item, in English and in Polish.
#include "EditorTestApp.h"
#include "app/Captions.h"
#include "editor/LayoutEditor.h"

#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QRadioButton>

#include <cstdio>

using namespace halvex;

namespace {

void Put(TConfigImage& image, int item, std::uint8_t flags, int x, int y) {
    for (int m = 0; m < kLayoutModes; ++m) {
        image.SetFlags(m, item, flags);
        image.SetXPos(m, item, static_cast<std::uint8_t>(x));
        image.SetYPos(m, item, static_cast<std::uint8_t>(y));
    }
}

// A screen like a flying set-up: most items visible, some grey, small or blinking.
void Scene(TConfigImage& image) {
    constexpr std::uint8_t v = flag::Visible;
    image.SetConfigBit(cfg::Pal, true);
    image.SetFlags(0, 0, v);
    image.SetXPos(0, 0, 100);
    image.SetYPos(0, 0, 100);
    Put(image, 1, v, 0, 0);
    Put(image, 2, v | flag::Blinking, 24, 0);
    Put(image, 3, v | flag::Grey, 0, 1);
    Put(image, 4, v | flag::Small, 24, 1);
    Put(image, 5, v, 0, 3);
    Put(image, 6, v, 0, 4);
    Put(image, 7, v, 24, 3);
    Put(image, 8, v, 25, 4);
    Put(image, 9, v, 24, 6);
    Put(image, 10, 0, 0, 6); // hidden
    Put(image, 11, v, 0, 8);
    Put(image, 12, v, 3, 10);
    Put(image, 13, v, 0, 14);
    Put(image, 14, v, 19, 14);
    Put(image, 15, v | flag::Grey | flag::Blinking, 12, 15);
    Put(image, 16, v, 14, 1);
    Put(image, 17, v, 9, 15);
    Put(image, 18, v, 27, 15);
    Put(image, 19, v, 26, 11); // overlaps the latitude/longitude? no: free cell
    const char name[] = "Kowalski";
    for (std::size_t k = 0; k < sizeof name - 1; ++k)
        image.SetByte(ofs::UserName + k, static_cast<std::uint8_t>(name[k]));
    image.SetByte(ofs::UserName + sizeof name - 1, 0);
}

bool Save(const QPixmap& pixmap, const QString& path) {
    const bool ok = pixmap.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    test::EditorTestApp();
    const QString dir =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/editor-shots");
    QDir().mkpath(dir);
    bool ok = true;

    QWidget form;
    form.resize(403, 471);
    TConfigImage image;
    TItemCatalogue catalogue;
    Scene(image);
    TLanguage language = TLanguage::English;
    TLayoutEditor editor(image, catalogue, &form);
    editor.Language = [&] { return language; };
    form.show();
    auto grid = [&](const char* name) {
        ok &= Save(editor.StringGrid1->grab(), dir + "/grid-" + name + ".png");
    };
    auto choose = [&](int item) {
        editor.ComboBox1->setCurrentIndex(item);
        emit editor.ComboBox1->activated(item);
    };

    grid("blank");
    editor.SetItemCount(kItemCount);
    editor.FillItemList();
    editor.SetEditorVisible(true);
    editor.ResetSelection();
    editor.OpenOnImage();
    grid("pal-normal"); // horizon selected
    choose(3);
    grid("selected-item3");
    editor.CheckBox1->click();
    grid("hidden-selected-item3");
    editor.CheckBox1->click();
    // Overlap: the speed item moved onto the flight timer, and the RSSI into the horizon zone.
    Put(image, 8, flag::Visible, 26, 0);
    Put(image, 10, flag::Visible, 12, 6);
    editor.GridRedraw();
    grid("overlap-blink0");
    editor.BlinkTick();
    grid("overlap-blink1");
    editor.BlinkTick();
    choose(0);
    editor.CheckBox1->click();
    grid("horizon-hidden");
    editor.CheckBox1->click();
    editor.RadioGroup4->Button(0)->click();
    grid("ntsc");
    editor.RadioGroup4->Button(1)->click();
    grid("pal-after-ntsc");

    for (TLanguage lang : {TLanguage::English, TLanguage::Polish}) {
        language = lang;
        ApplyCaptionTexts(&form, MainWindowTexts(), lang);
        editor.FillItemList();
        const char* tag = lang == TLanguage::English ? "en" : "pl";
        for (int item : {0, 4, 11, 12, 19}) {
            choose(item);
            ok &= Save(form.grab(QRect(130, 278, 273, 193)),
                       QString("%1/panel-%2-item%3.png").arg(dir).arg(tag).arg(item));
        }
    }
    ok &= Save(form.grab(), dir + "/form.png");
    return ok ? 0 : 1;
}
