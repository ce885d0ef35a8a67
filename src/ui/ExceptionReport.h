// Message boxes of the program and the application's standard exception report.
//
// Plain messages: one text and an OK button, in a box that belongs to the window that
// raised it (centred on it) and carries the application title "HalvexCfg_KT", wide
// enough to show it whole. The exception report: the same, with an error icon, and a full
// stop appended to the text when its last character sorts after "." (so a text ending in
// a letter or digit gains one, one ending in " !" does not).
//
// Every handler that the toolkit calls (buttons, timers, port notifications, the show
// event) runs inside Guard: an exception that escapes it ends that handler, is reported,
// and the program goes on.
//
// Tests replace MessageBoxHook() to record the boxes instead of showing them.
#pragma once

#include "config/Texts.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <utility>

class QMessageBox;
class QWidget;

namespace halvex {

enum class TBoxKind { Message, Error };

using TMessageBoxHook = std::function<void(TBoxKind kind, const QString& text)>;

// The window boxes belong to while no modal dialog is open: the main window, set at start.
void SetMessageBoxOwner(QWidget* window);
// The window a box raised now belongs to: the open modal dialog, else the window of a
// TBoxOwnerScope, else the active window when it is the main window or one of its own
// windows, else the main window, else the active window (null when there is none).
QWidget* MessageBoxOwner();
// While it lives, boxes raised with no modal dialog open belong to `window` (when not null):
// the messages of an exchange started from another of the main window's windows.
class TBoxOwnerScope {
public:
    explicit TBoxOwnerScope(QWidget* window);
    ~TBoxOwnerScope();
    TBoxOwnerScope(const TBoxOwnerScope&) = delete;
    TBoxOwnerScope& operator=(const TBoxOwnerScope&) = delete;

private:
    QWidget* previous_;
};
// The box as shown: a child of `owner` (so centred on it), titled with the application
// title and at least as wide as a title bar needs to show it whole.
std::unique_ptr<QMessageBox> MakeMessageBox(TBoxKind kind, const QString& text, QWidget* owner);
// A Yes / No question in the same form, No the default.
std::unique_ptr<QMessageBox> MakeQuestionBox(const QString& question, QWidget* owner);
// Asks the question modally; true when answered Yes.
bool AskYesNo(const QString& question, QWidget* owner);

// The hook that shows a box; by default MakeMessageBox over MessageBoxOwner(), modal.
TMessageBoxHook& MessageBoxHook();
// Resets the hook to the modal message box.
void UseModalMessageBoxes();

// A plain message box.
void ShowMessageText(const QString& text);

// The report's text for an exception's message.
QString ExceptionReportText(const QString& what);
// The interface language the report words a file error in (EFileError, config/FileError.h);
// English until the main window sets it.
void SetReportLanguage(TLanguage language);
// The application's standard exception report.
void ShowExceptionReport(const std::exception& e);
void ShowExceptionReport(const QString& what);

// Runs fn, reporting any exception that escapes it.
template <typename F> void RunGuarded(F&& fn) {
    try {
        std::forward<F>(fn)();
    } catch (const std::exception& e) {
        ShowExceptionReport(e);
    } catch (...) {
        ShowExceptionReport(QStringLiteral("Unknown exception"));
    }
}

// Wraps a handler for connect(): the returned callable runs fn under RunGuarded.
template <typename F> auto Guard(F fn) {
    return [fn = std::move(fn)]() mutable { RunGuarded(fn); };
}

// Guard for a handler of `window` (one of the main window's own windows): the boxes it
// raises, its exception report too, belong to `window` even while the window system has not
// made it active again (right after a file dialog closed).
template <typename F> auto GuardOver(QWidget* window, F fn) {
    return [window, fn = std::move(fn)]() mutable {
        TBoxOwnerScope scope(window);
        RunGuarded(fn);
    };
}

} // namespace halvex
