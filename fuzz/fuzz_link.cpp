// Drives TOsdLink with a random byte stream split randomly over notifications,
// interleaved with random starts, port closes, injected port errors and timer advances
// in virtual time, and checks the link state after every step.
#include "FakeLinkPort.h"
#include "ManualClock.h"
#include "link/LinkFrames.h"
#include "link/OsdLink.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>

using namespace halvex;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

class TFuzzHost : public TLinkHost {
public:
    const TOsdLink* link = nullptr;
    bool fontButton = false;
    bool progressShown = false;

    bool FontButtonEnabled() const override { return fontButton; }
    void LinkConfirmed() override { fontButton = true; }
    void DumpAccepted() override { Check(!link->Busy(), "dump accepted during an exchange"); }
    void ShowMessage(TMessage) override {
        Check(!link->Busy(), "message shown while an exchange is supervised");
    }
    void ShowProgress() override { progressShown = true; }
    void SetProgress(int position) override {
        Check(position >= 0 && position <= 255, "progress out of range");
    }
    void CloseProgress() override { progressShown = false; }
    void BlinkTick() override {
        const std::optional<TExchangeKind> e = link->Exchange();
        Check(!e || e == TExchangeKind::LinkTest, "blink tick during a sequence");
    }
};

bool ValidFrame(const std::string& f) {
    if (f == TestFrame() || f == ReadFrame())
        return true;
    if (f.size() != kBlockFrameSize && f.size() != kCharFrameSize)
        return false;
    if (f[0] != '$' || f.substr(f.size() - 2) != "\r\n")
        return false;
    unsigned sum = 0;
    for (std::size_t k = 2; k + 2 < f.size(); k += 2)
        sum += static_cast<unsigned>(std::stoi(f.substr(k, 2), nullptr, 16));
    if ((sum & 0xFF) != 0xFF)
        return false;
    const int index = std::stoi(f.substr(2, 2), nullptr, 16);
    return f[1] == 'c' ? f.size() == kCharFrameSize : f[1] == 'w' && index <= 15;
}

void CheckState(const TOsdLink& link, const TLinkTimer& timer1, const TLinkTimer& timer2,
                const TFuzzHost& host) {
    Check(link.DumpBytes() <= ofs::DumpSize, "dump stored past 513 bytes");
    if (link.Busy())
        Check(timer1.Enabled() || timer2.Enabled(), "exchange left without supervision");
    if (link.Exchange() == TExchangeKind::Write || link.Exchange() == TExchangeKind::Apply)
        Check(link.StepIndex() <= 15, "block index out of range");
    if (link.Busy())
        Check(link.RetriesLeft() <= 60, "retry budget out of range");
    if (!link.Busy())
        Check(!host.progressShown, "progress window left open");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    TManualClock clock;
    TLinkTimer& timer1 = clock.MakeTimer(200);
    TLinkTimer& timer2 = clock.MakeTimer(200);
    TFakeLinkPort port;
    TFuzzHost host;
    TConfigImage image;
    TOsdLink link(image, port, timer1, timer2, host);
    host.link = &link;
    TFontSet font{};
    for (std::size_t c = 0; c < kFontChars; ++c)
        font[c][c % kFontRowsSent] = static_cast<std::uint8_t>(c);

    for (int step = 0; step < 400 && in.remaining_bytes() > 0; ++step) {
        try {
            switch (in.ConsumeIntegralInRange(0, 15)) {
            case 0:
            case 1:
            case 2: {
                const auto n = in.ConsumeIntegralInRange<std::size_t>(0, 64);
                port.Feed(in.ConsumeBytesAsString(n), in.ConsumeBool());
                break;
            }
            case 3:
                port.Notify();
                break;
            case 4:
            case 5:
                clock.Advance(in.ConsumeIntegralInRange(0, 3000));
                break;
            case 6:
                link.StartTest();
                break;
            case 7:
                link.StartRead();
                break;
            case 8:
                link.StartWrite();
                break;
            case 9:
                link.StartFontUpload(font);
                break;
            case 10:
                link.StartApply();
                break;
            case 11:
                port.Close();
                link.PortClosed();
                port.Open();
                break;
            case 12:
                host.fontButton = in.ConsumeBool();
                break;
            case 13:
                if (in.ConsumeBool())
                    port.FailWrites(in.ConsumeIntegralInRange(0, 3));
                else
                    port.FailReads(in.ConsumeIntegralInRange(0, 3));
                break;
            case 14: { // well-formed answers
                static const char* const kReplies[] = {"#+", "#R+", "#Q+", "#", "+", "R"};
                port.Feed(kReplies[in.ConsumeIntegralInRange(0, 5)]);
                break;
            }
            case 15: { // a dump of a random image, whole or cut short, good or bad
                TConfigImage sent;
                const auto seed = in.ConsumeIntegral<std::uint8_t>();
                for (std::size_t k = 0; k < ofs::ImageSize; ++k)
                    sent.SetByte(k, static_cast<std::uint8_t>(k * seed));
                sent.SetByte(ofs::DumpCheck,
                             static_cast<std::uint8_t>(sent.DumpCheckByte() +
                                                       in.ConsumeIntegralInRange(0, 1)));
                const std::string dump(reinterpret_cast<const char*>(sent.Data()), ofs::DumpSize);
                port.Feed(dump.substr(0, in.ConsumeIntegralInRange<std::size_t>(0, 600)));
                break;
            }
            }
        } catch (const std::runtime_error&) {
            // Port errors leave the handler that was running; the link must stay sound.
        }
        CheckState(link, timer1, timer2, host);
    }
    for (const auto& frame : port.Writes())
        Check(ValidFrame(frame), "malformed frame written");
    return 0;
}
