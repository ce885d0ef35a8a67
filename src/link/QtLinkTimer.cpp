#include "link/QtLinkTimer.h"

#include <chrono>
#include <exception>

namespace halvex {

namespace {
std::function<void(const std::exception&)>& Report() {
    static std::function<void(const std::exception&)> report;
    return report;
}
} // namespace

void TQtTimer::SetExceptionReport(std::function<void(const std::exception&)> report) {
    Report() = std::move(report);
}

TQtTimer::TQtTimer(std::uint32_t interval) : TLinkTimer(interval) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        try {
            Fire();
        } catch (const std::exception& e) {
            if (Report())
                Report()(e);
        }
    });
}

std::uint64_t TQtTimer::NowMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void TQtTimer::Restart() {
    timer_.start(static_cast<int>(Interval()));
}

void TQtTimer::Stop() {
    timer_.stop();
}

} // namespace halvex
