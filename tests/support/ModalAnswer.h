// Answers the modal dialog a test is about to open with exec(). The answer runs on the
// event loop once a modal widget is active: given to `answer` when it is a T; any other
// modal widget is rejected (or closed) and the test fails naming it, so a test never
// waits for the ctest time-out on a dialog it did not expect. Counted in event-loop
// passes, not in time.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

namespace halvex::test {

template <typename T> void AnswerModal(std::function<void(T&)> answer, int passes = 1000) {
    QTimer::singleShot(0, [answer = std::move(answer), passes]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (passes > 0)
                AnswerModal<T>(std::move(answer), passes - 1);
            else
                ADD_FAILURE() << "no modal dialog appeared";
            return;
        }
        if (auto* dialog = dynamic_cast<T*>(modal)) {
            answer(*dialog);
            return;
        }
        ADD_FAILURE() << "expected the modal " << typeid(T).name() << ", found "
                      << modal->metaObject()->className() << " \""
                      << modal->windowTitle().toStdString() << "\"";
        if (auto* other = qobject_cast<QDialog*>(modal))
            other->reject();
        else
            modal->close();
    });
}

} // namespace halvex::test
