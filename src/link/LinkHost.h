// What the board link needs from the window that owns it. The main window and halvexctl's
// session implement this; tests record the calls.
#pragma once

#include "config/Exchange.h"
#include "config/Messages.h"

#include <functional>

namespace halvex {

// The link's handlers, each run through TLinkHost::RunHandler.
enum class TLinkHandler {
    DataReceived, // the port's OnDataRecived: drains the port, runs the recognisers
    StepTick,     // Timer1: the next block or character, the read completion, the blink tick
    RetryTick,    // Timer2: a resend, the give-up, the end of a quiet wait
};

class TLinkHost {
public:
    virtual ~TLinkHost() = default;
    // State of the font upload button (Button7): a test acknowledgement with "R"
    // confirms the link only while it is not enabled.
    virtual bool FontButtonEnabled() const = 0;
    // The link test was answered with "R": enable Button7 and Button1.
    virtual void LinkConfirmed() = 0;
    // A good dump has been stored in the image (check byte verified, timers stopped):
    // open the editor on it.
    virtual void DumpAccepted() = 0;
    virtual void ShowMessage(TMessage message) = 0;
    // Progress window TForm4: shown (not modal) by a write or an upload, closed at the end
    // or on give-up (closing a window that is not shown is harmless).
    virtual void ShowProgress() = 0;
    virtual void SetProgress(int position) = 0; // 0..255
    virtual void CloseProgress() = 0;
    // Timer1 ticked with no exchange running: the editor's blink step.
    virtual void BlinkTick() = 0;
    // An exchange has ended (after its message, if any, was shown).
    virtual void ExchangeFinished(const TExchangeReport& report) { (void)report; }
    // Runs one of the link's handlers: where the host puts its guard once. An exception
    // `run` raises (a write the port refused, say) ends only that handler; the host decides
    // what becomes of it. By default it goes on to the caller.
    virtual void RunHandler(TLinkHandler handler, const std::function<void()>& run) {
        (void)handler;
        run();
    }
};

} // namespace halvex
