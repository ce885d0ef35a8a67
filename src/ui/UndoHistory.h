// Undo and redo of every change the program makes to the configuration image, on Qt's
// undo stack. Each step holds the image before and after its change (TImageStep) and puts
// back exactly the bytes that change touched. A step also names the layout mode and item
// it was made on, so that undoing it shows them again, and the user name the grid showed
// before it: a stored name left empty by an undo or redo shows that name again.
#pragma once

#include "config/ConfigImage.h"
#include "editor/EditHistory.h"

#include <QString>
#include <QUndoStack>

#include <functional>
#include <string>

namespace halvex {

class TUndoHistory {
public:
    explicit TUndoHistory(TConfigImage& image);

    // Runs after an undo or redo has changed the image, with the step's layout mode and
    // item (-1: the step is not tied to one) and the user name shown before the step
    // (Windows-1250; empty when not recorded).
    std::function<void(int mode, int item, const std::string& shownName)> OnApplied;

    // Records the change from `before` to the image as it is now, named `name`; nothing
    // when the image did not change or while an undo or redo runs. `shownName` is the
    // user-name item's sample text when the change began.
    void Record(const QString& name, const TImageBytes& before, int mode = -1, int item = -1,
                const std::string& shownName = {});
    // A new history (after a read).
    void Clear() { stack_.clear(); }

    bool CanUndo() const { return stack_.canUndo(); }
    bool CanRedo() const { return stack_.canRedo(); }
    QString UndoText() const { return stack_.undoText(); }
    QString RedoText() const { return stack_.redoText(); }
    void Undo() { stack_.undo(); }
    void Redo() { stack_.redo(); }
    int Count() const { return stack_.count(); }
    bool Applying() const { return applying_; }

private:
    class TStepCommand;
    void Apply(const TImageStep& step, bool undo, int mode, int item, const std::string& shownName);

    TConfigImage& image_;
    QUndoStack stack_;
    bool applying_ = false;
};

} // namespace halvex
