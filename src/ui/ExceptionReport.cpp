#include "ui/ExceptionReport.h"

#include "config/Texts.h"

#include <QMessageBox>

namespace halvex {

namespace {

void ShowModalBox(TBoxKind kind, const QString& text) {
    QMessageBox box(kind == TBoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QString::fromUtf8(fixed_text::AppTitle), text, QMessageBox::Ok);
    box.exec();
}

} // namespace

TMessageBoxHook& MessageBoxHook() {
    static TMessageBoxHook hook = ShowModalBox;
    return hook;
}

void UseModalMessageBoxes() {
    MessageBoxHook() = ShowModalBox;
}

void ShowMessageText(const QString& text) {
    if (MessageBoxHook())
        MessageBoxHook()(TBoxKind::Message, text);
}

QString ExceptionReportText(const QString& what) {
    QString text = what;
    if (!text.isEmpty() && text.back() > u'.')
        text += u'.';
    return text;
}

void ShowExceptionReport(const QString& what) {
    if (MessageBoxHook())
        MessageBoxHook()(TBoxKind::Error, ExceptionReportText(what));
}

void ShowExceptionReport(const std::exception& e) {
    // Lower layers raise their texts as UTF-8 (paths may hold any character).
    ShowExceptionReport(QString::fromUtf8(e.what()));
}

} // namespace halvex
