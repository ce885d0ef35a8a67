// The board link of halvexctl: the same stack as the window's (the board connection:
// TAfComPort through TComLinkPort, two Qt timers; TOsdLink over the configuration image)
// with this class as the link's host. Each exchange runs on the Qt event loop of the
// calling (main) thread until the link reports that it ended.
#pragma once

#include "board/BoardConnection.h"
#include "config/ConfigImage.h"
#include "link/LinkHost.h"
#include "link/OsdLink.h"

#include <functional>
#include <optional>
#include <string>

class QEventLoop;

namespace halvex::cli {

class TBoardSession final : public TLinkHost {
public:
    TBoardSession();
    ~TBoardSession() override;
    TBoardSession(const TBoardSession&) = delete;
    TBoardSession& operator=(const TBoardSession&) = delete;

    // Opens port `number` with the board's line settings; raises the component's error,
    // its second line what the connection doctor finds (in English).
    void Open(std::uint16_t number);
    TConfigImage& Image() { return image_; }
    TOsdLink& Link() { return link_; }

    // Runs one exchange: `start` starts it on the link (it may raise the port's error, and
    // returns false when the link refused to start). Returns the link's report once the
    // exchange has ended; the event loop runs meanwhile.
    TExchangeReport Run(const std::function<bool()>& start);
    // Seconds the last exchange took, from its start to its end (as the link timed it).
    double Seconds() const { return seconds_; }
    // The message the last exchange showed, if any.
    std::optional<TMessage> Message() const { return message_; }
    // The last error raised inside a notification or tick of the last exchange (a resend
    // the port refused, say); empty when none.
    const std::string& HandlerError() const { return handlerError_; }

    // Stops the running exchange at once: the port is closed and the link ends the
    // exchange as Interrupted. Later exchanges are not started.
    void Interrupt();
    bool Interrupted() const { return interrupted_; }
    // The device reported a hang-up (unplugged) while open.
    bool PortVanished() { return board_.Com.Core().HungUp(); }

    // The progress of a write or upload: shown, moved (0..255), closed.
    std::function<void(int position)> OnProgress;
    std::function<void()> OnProgressClosed;

    // TLinkHost
    bool FontButtonEnabled() const override { return false; }
    void LinkConfirmed() override {}
    void DumpAccepted() override {}
    void ShowMessage(TMessage message) override { message_ = message; }
    void ShowProgress() override;
    void SetProgress(int position) override;
    void CloseProgress() override;
    void BlinkTick() override {}
    void ExchangeFinished(const TExchangeReport& report) override;
    // An error inside a notification or a tick (a resend the port refuses) ends only that
    // handler, as in the window, and is kept for the failure line; the link's supervision
    // goes on and gives up in time.
    void RunHandler(TLinkHandler handler, const std::function<void()>& run) override;

private:
    TBoardConnection board_;
    TConfigImage image_;
    TOsdLink link_;

    QEventLoop* loop_ = nullptr;
    std::optional<TExchangeReport> report_;
    std::optional<TMessage> message_;
    std::string handlerError_;
    double seconds_ = 0;
    bool progressShown_ = false;
    bool interrupted_ = false;
};

} // namespace halvex::cli
