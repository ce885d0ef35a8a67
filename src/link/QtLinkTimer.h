// TLinkTimer over QTimer: the production timer of the main window (Timer1, Timer2).
#pragma once

#include "link/LinkTimer.h"

#include <QObject>
#include <QTimer>

namespace halvex {

class TQtTimer final : public TLinkTimer {
public:
    explicit TQtTimer(std::uint32_t interval = 200);
    // Exceptions escaping OnTimer are handed to this report (the application's standard
    // exception report); without one they are swallowed so the event loop survives.
    static void SetExceptionReport(std::function<void(const std::exception&)> report);
    // The steady clock.
    std::uint64_t NowMs() const override;

protected:
    void Restart() override;
    void Stop() override;

private:
    QTimer timer_;
};

} // namespace halvex
