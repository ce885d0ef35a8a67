// The editor on a 403 x 471 form over its own parked image (see ParkedImage.h), and the
// main window's steps after a good dump and an item-list choice.
#pragma once

#include "GuiTestApp.h"
#include "ParkedImage.h"
#include "ui/LayoutEditor.h"

#include <QComboBox>
#include <QWidget>

#include <memory>

namespace halvex::test {

class TEditorRig : public TParkedImage {
public:
    TEditorRig() { form.resize(403, 471); }
    // Builds the editor on the image prepared so far and shows the form.
    void Build() {
        editor = std::make_unique<TLayoutEditor>(image, catalogue, &form);
        editor->Language = [this] { return language; };
        form.show();
    }
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
    TItemCatalogue catalogue;
    TLanguage language = TLanguage::English;
    std::unique_ptr<TLayoutEditor> editor;
};

} // namespace halvex::test
