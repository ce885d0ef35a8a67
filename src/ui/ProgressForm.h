// Progress window of the configuration write and the font upload: caption
// "Wysyłanie danych..." in its own title strip, client area 241 x 36 below it, one smooth
// progress bar 0..255 with the percentage beside it, always on top, not modal, without a
// window manager frame (so no close or maximise button that could not work). Only the
// sequence that showed it closes it.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace halvex {

class TForm4 : public QDialog {
public:
    static constexpr int kClientWidth = 241;
    static constexpr int kClientHeight = 36;
    static constexpr int kCaptionHeight = 20;

    explicit TForm4(QWidget* parent = nullptr);
    QLabel* Caption; // the title strip
    QProgressBar* ProgressBar1;
    QLabel* Label1; // the bar's position in percent ("0%" .. "100%")

    // Shows the window (not modal) centred over `over` (or its parent), at the front.
    void ShowOver(QWidget* over = nullptr);

protected:
    // Escape and the window manager's close request do nothing: the window has no
    // close box and belongs to the running sequence.
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override; // a thin border in place of a frame
};

} // namespace halvex
