// The editor on a 403 x 471 form over its own image, PAL, with every item but the horizon
// parked hidden in the hidden column of row 15 (tests place the items they need), and the
// main window's steps after a good dump and an item-list choice.
#pragma once

#include "../GuiTestApp.h"
#include "editor/LayoutEditor.h"

#include <QComboBox>
#include <QWidget>

#include <memory>

namespace halvex::test {

class TEditorRig {
public:
    TEditorRig() {
        form.resize(403, 471);
        image.SetConfigBit(cfg::Pal, true);
        for (int m = 0; m < kLayoutModes; ++m)
            for (int i = 1; i < kItemCount; ++i)
                Put(m, i, 0, 40, 15);
    }
    // Builds the editor on the image prepared so far and shows the form.
    void Build() {
        editor = std::make_unique<TLayoutEditor>(image, catalogue, &form);
        editor->Language = [this] { return language; };
        form.show();
    }
    void Put(int mode, int item, std::uint8_t flags, int x, int y) {
        image.SetFlags(mode, item, flags);
        image.SetXPos(mode, item, static_cast<std::uint8_t>(x));
        image.SetYPos(mode, item, static_cast<std::uint8_t>(y));
    }
    void Put(int item, std::uint8_t flags, int x, int y) { Put(image.Mode(), item, flags, x, y); }
    // What the main window does after a good dump.
    void Open() {
        editor->SetItemCount(kItemCount);
        editor->FillItemList();
        editor->SetEditorVisible(true);
        editor->ResetSelection();
        editor->OpenOnImage();
    }
    // A user choice in the item list.
    void Choose(int item) {
        editor->ComboBox1->setCurrentIndex(item);
        emit editor->ComboBox1->activated(item);
    }

    QApplication& app = GuiTestApp(); // before any widget
    QWidget form;
    TConfigImage image;
    TItemCatalogue catalogue;
    TLanguage language = TLanguage::English;
    std::unique_ptr<TLayoutEditor> editor;
};

} // namespace halvex::test
