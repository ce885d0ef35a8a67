// The program's four windows, created in the order main window, settings dialog, import
// options dialog, progress window, and living together until the program ends, with the
// board connection the main window's link runs on.
#pragma once

#include "board/BoardConnection.h"
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
    // The program: the main window's link on the board connection made here, the port
    // selector bound to its component.
    TApplicationWindows();
    // The same windows on parts a test hands in (a fake port, manual-clock timers); the
    // board connection made here stays unused.
    explicit TApplicationWindows(const TForm1Parts& parts);

private:
    // Declared first: the windows go before it.
    TBoardConnection board_;

public:
    TConfigImage Image; // the configuration image every window edits in place
    TForm1 Form1;
    TForm2 Form2;
    TForm3 Form3;
    TForm4 Form4;

private:
    void AttachForms();
};

} // namespace halvex
