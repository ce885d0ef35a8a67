#include "cli/BoardSession.h"

#include "serial/AfPortDoctor.h"
#include "serial/AfPortPaths.h"

#include <QEventLoop>

#include <exception>

namespace halvex::cli {

TBoardSession::TBoardSession() : link_(image_, board_.Port, board_.Timer1, board_.Timer2, *this) {}

TBoardSession::~TBoardSession() {
    // The link unwires the port and the timers itself.
    board_.Com.Close();
}

void TBoardSession::RunHandler(TLinkHandler, const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception& e) {
        handlerError_ = e.what();
    } catch (...) {
        handlerError_ = "Unknown exception";
    }
}

void TBoardSession::Open(std::uint16_t number) {
    board_.Com.SetComNumber(number);
    try {
        board_.Com.Open();
    } catch (const EAfComPortCoreError& e) {
        // The doctor's finding replaces the system's reason, as in the window: the programs
        // holding the port, the missing permission, ...
        throw EAfComPortCoreError(
            AfExplainOpenFailure(e.what(), TAfPortPaths::Path(number), TLanguage::English));
    }
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
    if (board_.Com.IsOpen())
        board_.Com.Close();
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
