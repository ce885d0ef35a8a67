#include "cli/BoardSession.h"

#include <QEventLoop>

#include <exception>

namespace halvex::cli {

TBoardSession::TBoardSession()
    : com_("AfComPort1"), port_(com_), image_(), link_(image_, port_, timer1_, timer2_, *this) {
    // The window's line settings: 57600 baud, DTR off, a higher write thread priority; the
    // rest are the component's defaults (8N1, no flow control, RTS on).
    com_.SetBaudRate(br57600);
    com_.SetDTR(false);
    com_.SetWriteThreadPriority(tpHigher);
    com_.Loaded();
    // An error inside a notification or a tick (a resend the port refuses) ends only that
    // handler, as in the window; the link's supervision goes on and gives up in time.
    auto received = std::move(port_.OnDataRecived);
    port_.OnDataRecived = [this, received](std::int32_t count) {
        Guarded([&] { received(count); });
    };
    for (TLinkTimer* timer :
         {static_cast<TLinkTimer*>(&timer1_), static_cast<TLinkTimer*>(&timer2_)}) {
        auto tick = std::move(timer->OnTimer);
        timer->OnTimer = [this, tick] { Guarded([&] { tick(); }); };
    }
}

TBoardSession::~TBoardSession() {
    // The link unwires the port and the timers itself; the port closes with the component.
    com_.Close();
}

template <typename F> void TBoardSession::Guarded(F&& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        handlerError_ = e.what();
    } catch (...) {
        handlerError_ = "Unknown exception";
    }
}

void TBoardSession::Open(std::uint16_t number) {
    com_.SetComNumber(number);
    com_.Open();
}

TExchangeReport TBoardSession::Run(const std::function<bool()>& start) {
    report_.reset();
    message_.reset();
    handlerError_.clear();
    seconds_ = 0;
    if (interrupted_) {
        TExchangeReport report;
        report.Outcome = TExchangeOutcome::Interrupted;
        return report;
    }
    if (!start() && !report_) {
        TExchangeReport report;
        report.Outcome = TExchangeOutcome::PortError;
        return report;
    }
    if (!report_) {
        QEventLoop loop;
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
    }
    return *report_;
}

void TBoardSession::ExchangeFinished(const TExchangeReport& report) {
    seconds_ = static_cast<double>(report.Ms) / 1000.0;
    report_ = report;
    if (loop_)
        loop_->quit();
}

void TBoardSession::Interrupt() {
    interrupted_ = true;
    if (com_.IsOpen())
        com_.Close();
    link_.PortClosed();
}

void TBoardSession::ShowProgress() {
    progressShown_ = true;
    if (OnProgress)
        OnProgress(0);
}

void TBoardSession::SetProgress(int position) {
    if (progressShown_ && OnProgress)
        OnProgress(position);
}

void TBoardSession::CloseProgress() {
    if (progressShown_ && OnProgressClosed)
        OnProgressClosed();
    progressShown_ = false;
}

} // namespace halvex::cli
