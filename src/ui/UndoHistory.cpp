#include "ui/UndoHistory.h"

#include <QUndoCommand>

namespace halvex {

class TUndoHistory::TStepCommand : public QUndoCommand {
public:
    TStepCommand(TUndoHistory& history, const QString& name, const TImageStep& step, int mode,
                 int item, std::string shownName)
        : QUndoCommand(name), history_(history), step_(step), mode_(mode), item_(item),
          shownName_(std::move(shownName)) {}

    void undo() override { history_.Apply(step_, true, mode_, item_, shownName_); }
    void redo() override {
        // The change itself was made before the step was pushed.
        if (pushed_)
            history_.Apply(step_, false, mode_, item_, shownName_);
        pushed_ = true;
    }

private:
    TUndoHistory& history_;
    TImageStep step_;
    int mode_;
    int item_;
    std::string shownName_;
    bool pushed_ = false;
};

TUndoHistory::TUndoHistory(TConfigImage& image) : image_(image) {}

void TUndoHistory::Record(const QString& name, const TImageBytes& before, int mode, int item,
                          const std::string& shownName) {
    if (applying_)
        return;
    TImageStep step{before, Snapshot(image_)};
    if (!step.Changes())
        return;
    stack_.push(new TStepCommand(*this, name, step, mode, item, shownName));
}

void TUndoHistory::Apply(const TImageStep& step, bool undo, int mode, int item,
                         const std::string& shownName) {
    // Whatever the editor does to show the step is no step of its own.
    struct TApplying {
        bool& On;
        ~TApplying() { On = false; }
    } applying{applying_ = true};
    if (undo)
        step.Undo(image_);
    else
        step.Redo(image_);
    if (OnApplied)
        OnApplied(mode, item, shownName);
}

} // namespace halvex
