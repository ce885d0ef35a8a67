// A TLinkHost that records what the link asks of the main window, for the link tests, the
// end-to-end tests and the benchmarks.
#pragma once

#include "link/LinkHost.h"

#include <functional>
#include <vector>

namespace halvex {

class TRecordingHost : public TLinkHost {
public:
    bool fontButton = false; // Button7; LinkConfirmed enables it like the window does
    int confirmed = 0;
    int accepted = 0;
    int blinks = 0;
    int shows = 0;
    int closes = 0;
    std::vector<TMessage> messages;
    std::vector<int> progress;
    std::vector<TExchangeReport> reports;
    std::function<void()> onMessage; // runs inside ShowMessage (a modal box's nested loop)

    bool FontButtonEnabled() const override { return fontButton; }
    void LinkConfirmed() override {
        ++confirmed;
        fontButton = true;
    }
    void DumpAccepted() override { ++accepted; }
    void ShowMessage(TMessage message) override {
        messages.push_back(message);
        if (onMessage)
            onMessage();
    }
    void ShowProgress() override { ++shows; }
    void SetProgress(int position) override { progress.push_back(position); }
    void CloseProgress() override { ++closes; }
    void BlinkTick() override { ++blinks; }
    void ExchangeFinished(const TExchangeReport& report) override { reports.push_back(report); }
};

} // namespace halvex
