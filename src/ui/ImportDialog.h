// Import options TForm3: which parts of a settings file to import. The dialog lives for the
// whole run, so the check boxes keep the user's last choice.
#pragma once

#include "config/Texts.h"
#include "ui/Controls.h"

#include <QDialog>

class QGroupBox;
class QPushButton;

namespace halvex {

class TForm3 : public QDialog {
public:
    explicit TForm3(QWidget* parent = nullptr);

    // Sets the texts for `language`, runs the dialog modally and returns its modal result;
    // `flags` receives the choice (import_flag::Layouts for CheckBox1, import_flag::Main for
    // CheckBox2).
    int Execute(TLanguage language, int& flags);
    void ApplyLanguage(TLanguage language);
    int Flags() const;

    QGroupBox* GroupBox1;
    TCheckBox* CheckBox1; // screen layouts, checked at start
    TCheckBox* CheckBox2; // main settings
    QPushButton* Button1; // OK
};

} // namespace halvex
