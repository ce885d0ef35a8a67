// What the board link needs from the window that owns it. The main window implements
// this; tests record the calls.
#pragma once

#include "config/Messages.h"

#include <string>

namespace halvex {

enum class TExchangeKind { LinkTest, Read, Write, Apply, FontUpload };

enum class TExchangeOutcome {
    Done,        // every frame acknowledged (a link test: answered; a read: good dump)
    GaveUp,      // a frame's budget was spent ("Communication ERROR !")
    BadDump,     // a read's dump failed its check byte ("ERROR reading data from OSD !")
    Interrupted, // the port was closed under the exchange
    PortError,   // the port refused the first frame; its error goes to the caller
};

// How an exchange ended; raised once at the end of every exchange the link started.
struct TExchangeReport {
    TExchangeKind Kind = TExchangeKind::LinkTest;
    TExchangeOutcome Outcome = TExchangeOutcome::Done;
    int Confirmed = 0;     // frames acknowledged: blocks (write, Apply) or characters (upload)
    int Total = 1;         // frames of the sequence: 16 blocks, 2 for Apply, 256 characters
    char Reply = 0;        // link test: the letter of the acknowledgement ('R': ready), 0 if none
    std::string PortError; // the port's error on the last resend it refused; empty if none
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
};

} // namespace halvex
