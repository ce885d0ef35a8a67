#include "ui/AppWindows.h"

#include "ui/Controls.h"

#include "config/Texts.h"
#include "link/QtLinkTimer.h"
#include "serial/AfSafeSync.h"
#include "ui/AfComPortDialog.h"
#include "ui/AfPortControls.h"
#include "ui/ExceptionReport.h"

#include <QApplication>

namespace halvex {

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QString::fromUtf8(fixed_text::AppTitle));
    app.setFont(InterfaceFont());
    const auto report = [](const std::exception& e) { ShowExceptionReport(e); };
    TQtTimer::SetExceptionReport(report);
    SetExceptionReport(report);
    InstallAfSerialGuiHooks();
}

TApplicationWindows::TApplicationWindows()
    : Form1(Image, {board_.Port, board_.Timer1, board_.Timer2}), Form2(Image, &Form1),
      Form3(&Form1), Form4(&Form1) {
    Form1.AfPortComboBox1->SetComPort(&board_.Com);
    AttachForms();
}

TApplicationWindows::TApplicationWindows(const TForm1Parts& parts)
    : Form1(Image, parts), Form2(Image, &Form1), Form3(&Form1), Form4(&Form1) {
    AttachForms();
}

void TApplicationWindows::AttachForms() {
    Form1.AttachForms(&Form2, &Form3, &Form4);
    SetMessageBoxOwner(&Form1);
}

} // namespace halvex
