#include "ui/ProgressForm.h"

#include "config/Texts.h"

#include <QCloseEvent>
#include <QProgressBar>

namespace halvex {

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      ProgressBar1(new QProgressBar(this)) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QString::fromUtf8(fixed_text::ProgressCaption));
    setModal(false);
    setFixedSize(241, 36);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 255);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(8, 8, 225, 20);
}

void TForm4::ShowOver(QWidget* over) {
    if (!over)
        over = parentWidget();
    if (over) {
        const QRect frame = over->frameGeometry();
        QRect mine(QPoint(0, 0), size());
        mine.moveCenter(frame.center());
        move(mine.topLeft());
    }
    show();
    raise();
}

void TForm4::closeEvent(QCloseEvent* event) {
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace halvex
