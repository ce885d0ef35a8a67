#include "ui/ProgressForm.h"

#include "config/Texts.h"
#include "ui/Controls.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

namespace halvex {

TForm4::TForm4(QWidget* parent)
    // No window manager frame: many window managers draw maximise and close buttons on
    // any framed window whatever the hints say, and neither may act on this window. The
    // window shows its caption in a title strip of its own instead.
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QString::fromUtf8(fixed_text::ProgressCaption));
    setModal(false);
    setFixedSize(kClientWidth, kCaptionHeight + kClientHeight);
    Caption = Place<QLabel>(this, "Caption", QRect(1, 1, kClientWidth - 2, kCaptionHeight - 1));
    Caption->setText(windowTitle());
    Caption->setIndent(6);
    Caption->setAutoFillBackground(true);
    QPalette title = Caption->palette();
    title.setColor(QPalette::Window, title.color(QPalette::Highlight));
    title.setColor(QPalette::WindowText, title.color(QPalette::HighlightedText));
    Caption->setPalette(title);
    QFont bold = Caption->font();
    bold.setBold(true);
    Caption->setFont(bold);
    ProgressBar1 = Place<QProgressBar>(this, "ProgressBar1", QRect(8, kCaptionHeight + 8, 189, 20));
    ProgressBar1->setRange(0, 255);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Label1 = Place<QLabel>(this, "Label1", QRect(199, kCaptionHeight + 8, 34, 20));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const auto showPercent = [this](int value) {
        const int range = ProgressBar1->maximum() - ProgressBar1->minimum();
        const int percent = range > 0 ? (value - ProgressBar1->minimum()) * 100 / range : 0;
        Label1->setText(QStringLiteral("%1%").arg(percent));
    };
    connect(ProgressBar1, &QProgressBar::valueChanged, this, showPercent);
    showPercent(ProgressBar1->value());
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

void TForm4::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TForm4::closeEvent(QCloseEvent* event) {
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace halvex
