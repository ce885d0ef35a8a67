#include "ui/ExceptionReport.h"

#include "config/FileError.h"
#include "config/Texts.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QSpacerItem>

namespace halvex {

namespace {

QPointer<QWidget>& Owner() {
    static QPointer<QWidget> owner;
    return owner;
}

QPointer<QWidget>& ScopeOwner() {
    static QPointer<QWidget> owner;
    return owner;
}

TLanguage& ReportLanguage() {
    static TLanguage language = TLanguage::English;
    return language;
}

// Room a title bar takes beside its text: icon and up to three buttons.
constexpr int kTitleBarExtra = 130;

// The width a window manager's title bar needs for `title`: its bold, somewhat larger font.
int TitleBarWidth(const QString& title) {
    QFont font = QApplication::font();
    font.setBold(true);
    if (font.pixelSize() > 0)
        font.setPixelSize(font.pixelSize() * 5 / 4);
    else
        font.setPointSizeF(font.pointSizeF() * 5 / 4);
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarExtra;
}

void ShowModalBox(TBoxKind kind, const QString& text) {
    MakeMessageBox(kind, text, MessageBoxOwner())->exec();
}

} // namespace

void SetMessageBoxOwner(QWidget* window) {
    Owner() = window;
}

TBoxOwnerScope::TBoxOwnerScope(QWidget* window) : previous_(ScopeOwner().data()) {
    if (window)
        ScopeOwner() = window;
}

TBoxOwnerScope::~TBoxOwnerScope() {
    ScopeOwner() = previous_;
}

QWidget* MessageBoxOwner() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (ScopeOwner())
        return ScopeOwner().data();
    QWidget* active = QApplication::activeWindow();
    if (!Owner())
        return active;
    // A window of the main window's own (the preview, the character editor) in use keeps
    // its boxes over it.
    for (QWidget* w = active; w; w = w->parentWidget())
        if (w == Owner())
            return active;
    return Owner().data();
}

namespace {

std::unique_ptr<QMessageBox> MakeBox(QMessageBox::Icon icon, const QString& text,
                                     QMessageBox::StandardButtons buttons, QWidget* owner) {
    const QString title = QString::fromUtf8(fixed_text::AppTitle);
    auto box = std::make_unique<QMessageBox>(icon, title, text, buttons, owner);
    // The box sizes itself to its layout: a spacer across it keeps the title whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(TitleBarWidth(title), 0, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

} // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(TBoxKind kind, const QString& text, QWidget* owner) {
    return MakeBox(kind == TBoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, text,
                   QMessageBox::Ok, owner);
}

std::unique_ptr<QMessageBox> MakeQuestionBox(const QString& question, QWidget* owner) {
    auto box = MakeBox(QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No, owner);
    box->setDefaultButton(QMessageBox::No);
    return box;
}

bool AskYesNo(const QString& question, QWidget* owner) {
    return MakeQuestionBox(question, owner)->exec() == QMessageBox::Yes;
}

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

void SetReportLanguage(TLanguage language) {
    ReportLanguage() = language;
}

void ShowExceptionReport(const std::exception& e) {
    // Lower layers raise their texts as UTF-8 (paths may hold any character).
    if (const auto* file = dynamic_cast<const EFileError*>(&e))
        ShowExceptionReport(QString::fromUtf8(
            FileErrorText(file->Error(), file->Path(), ReportLanguage()).c_str()));
    else
        ShowExceptionReport(QString::fromUtf8(e.what()));
}

} // namespace halvex
