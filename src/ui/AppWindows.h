// The program's four windows, created in the order main window, settings dialog, import
// options dialog, progress window, and living together until the program ends.
#pragma once

#include "config/ConfigImage.h"
#include "ui/ImportDialog.h"
#include "ui/MainForm.h"
#include "ui/ProgressForm.h"
#include "ui/SettingsDialog.h"

class QApplication;

namespace halvex {

// Application title, font (Liberation Sans, else the default sans, at 11 px) and the
// exception report of the timers and of the serial layer's call gate.
void SetUpApplication(QApplication& app);

class TApplicationWindows {
public:
    explicit TApplicationWindows(const TForm1Setup& setup = {});

    TConfigImage Image; // the configuration image every window edits in place
    TForm1 Form1;
    TForm2 Form2;
    TForm3 Form3;
    TForm4 Form4;
};

} // namespace halvex
