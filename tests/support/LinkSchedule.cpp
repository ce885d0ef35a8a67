#include "LinkSchedule.h"

#include "LinkRig.h"
#include "TestPatterns.h"

#include <algorithm>
#include <cstring>

namespace halvex {

namespace {

bool Chance(const TDraw& draw, std::uint32_t thousandths) {
    return thousandths > 0 && draw(1000) < thousandths;
}

// Frames of the sequence (without fences and read requests): where the profile ends.
int SequenceFrames(TScheduledSequence sequence) {
    switch (sequence) {
    case TScheduledSequence::Write:
    case TScheduledSequence::WriteNoReadBack:
        return static_cast<int>(kBlockCount);
    case TScheduledSequence::Apply:
        return 2;
    case TScheduledSequence::FontUpload:
        break;
    }
    return static_cast<int>(kFontChars);
}

bool Start(TLinkRig& rig, TScheduledSequence sequence, const TFontSet& font) {
    switch (sequence) {
    case TScheduledSequence::Write:
        return rig.link.StartWrite(true);
    case TScheduledSequence::WriteNoReadBack:
        return rig.link.StartWrite(false);
    case TScheduledSequence::Apply:
        return rig.link.StartApply();
    case TScheduledSequence::FontUpload:
        break;
    }
    return rig.link.StartFontUpload(font);
}

bool BlockStored(const TLinkRig& rig, std::size_t block) {
    return std::memcmp(rig.board.image.Data() + block * kBlockBytes,
                       rig.image.Data() + block * kBlockBytes, kBlockBytes) == 0;
}

// What a success promises: every frame of the sequence on the board as sent.
std::string Unstored(const TLinkRig& rig, TScheduledSequence sequence, const TFontSet& font) {
    if (sequence == TScheduledSequence::FontUpload) {
        for (std::size_t c = 0; c < kFontChars; ++c)
            if (!rig.board.charStored[c] || rig.board.font[c] != font[c])
                return "character " + std::to_string(c) + " not stored";
        return {};
    }
    const bool apply = sequence == TScheduledSequence::Apply;
    for (std::size_t block = 0; block < kBlockCount; ++block)
        if ((!apply || block == 0 || block == kBlockCount - 1) && !BlockStored(rig, block))
            return "block " + std::to_string(block) + " not stored";
    return {};
}

std::string CheckEnd(const TLinkRig& rig, TScheduledSequence sequence, const TFontSet& font,
                     const std::string& unstoredAtReadBack) {
    if (rig.link.Busy())
        return "no end in bounded time (a hang)";
    if (rig.host.reports.size() != 1)
        return std::to_string(rig.host.reports.size()) + " reports";
    const TExchangeReport& r = rig.host.reports.back();
    const bool readBack =
        sequence == TScheduledSequence::Write || sequence == TScheduledSequence::Apply;
    // The read-back is asked for once every block is acknowledged.
    if (!unstoredAtReadBack.empty())
        return "every block acknowledged, but " + unstoredAtReadBack;
    switch (r.Outcome) {
    case TExchangeOutcome::Done: {
        const std::string unstored = Unstored(rig, sequence, font);
        if (!unstored.empty())
            return "success, but " + unstored;
        if (readBack && !r.Verified)
            return "success without the read-back";
        return {};
    }
    case TExchangeOutcome::GaveUp:
        if (rig.host.messages != std::vector<TMessage>{TMessage::CommError})
            return "gave up without one \"Communication ERROR !\"";
        return {};
    default:
        break;
    }
    return "ended neither in success nor in \"Communication ERROR !\"";
}

} // namespace

std::uint32_t TScheduleProfile::AnswerMs(int seen, int frames) const {
    const double at = std::min(1.0, static_cast<double>(seen) / std::max(frames, 1));
    const double base = BaseMs;
    const double peak = PeakMs;
    switch (Shape) {
    case Rising:
        return static_cast<std::uint32_t>(base + (peak - base) * at);
    case Falling:
        return static_cast<std::uint32_t>(peak + (base - peak) * at);
    case Spiking:
        return seen >= SpikeFrom && seen < SpikeFrom + SpikeFrames ? PeakMs : BaseMs;
    case Constant:
    case Drawn:
        break;
    }
    return BaseMs;
}

std::string TScheduleProfile::Describe() const {
    static const char* const kShapes[] = {"constant", "rising", "falling", "spiking", "drawn"};
    return std::string(kShapes[Shape]) + " " + std::to_string(BaseMs) + "-" +
           std::to_string(PeakMs) + " ms" + (Queueing ? ", queueing" : "") + ", spike at " +
           std::to_string(SpikeFrom) + "+" + std::to_string(SpikeFrames) +
           ", losses (1/1000) frame " + std::to_string(LoseFrame) + " answer " +
           std::to_string(LoseAnswer) + " byte " + std::to_string(LoseByte) +
           (DeadFrame >= 0 ? ", frame " + std::to_string(DeadFrame) + " never arrives" : "");
}

TScheduleProfile DrawProfile(const TDraw& draw, TScheduledSequence sequence) {
    static constexpr std::uint32_t kTimes[] = {0,   2,   10,  50,  150,  190,
                                               210, 250, 400, 700, 1000, 1500};
    static constexpr std::uint32_t kLosses[] = {0, 0, 20, 80, 300};
    constexpr std::uint32_t kTimeCount = std::size(kTimes);
    TScheduleProfile p;
    p.Shape = static_cast<TScheduleProfile::TShape>(draw(5));
    p.BaseMs = kTimes[draw(kTimeCount)];
    p.PeakMs = kTimes[draw(kTimeCount)];
    p.SpikeFrom = static_cast<int>(draw(40));
    p.SpikeFrames = 1 + static_cast<int>(draw(4));
    p.Queueing = draw(2) == 1;
    p.LoseFrame = kLosses[draw(std::size(kLosses))];
    p.LoseAnswer = kLosses[draw(std::size(kLosses))] / 2;
    p.LoseByte = kLosses[draw(std::size(kLosses))] / 2;
    if (draw(3) == 0) {
        const int frames = SequenceFrames(sequence);
        p.DeadFrame = static_cast<int>(draw(static_cast<std::uint32_t>(frames)));
        if (sequence == TScheduledSequence::Apply)
            p.DeadFrame *= static_cast<int>(kBlockCount) - 1; // block 0 or 15
    }
    return p;
}

TScheduleResult RunSchedule(TScheduledSequence sequence, const TScheduleProfile& profile,
                            const TDraw& draw) {
    TLinkRig rig;
    rig.queueing = profile.Queueing;
    const auto salt = static_cast<std::uint8_t>(draw(256));
    for (std::size_t k = 0; k < ofs::ImageSize; ++k)
        rig.image.SetByte(k, static_cast<std::uint8_t>(k * 7 + salt));
    static const TFontSet kPattern = PatternFont();
    TFontSet font = kPattern;
    for (TFontChar& c : font)
        c[0] ^= salt;
    const int frames = SequenceFrames(sequence);
    int seen = 0;
    std::string unstoredAtReadBack;
    rig.fate = [&](const TFrameId& id) {
        if (id.Kind == TFrameId::Read && id.Copy == 1)
            unstoredAtReadBack = Unstored(rig, sequence, font);
        TCopyFate f;
        f.AnswerMs =
            profile.Shape == TScheduleProfile::Drawn ? draw(1501) : profile.AnswerMs(seen, frames);
        ++seen;
        f.Lost =
            Chance(draw, profile.LoseFrame) || (id.Index == profile.DeadFrame && id.Index >= 0);
        f.AnswerLost = Chance(draw, profile.LoseAnswer);
        if (Chance(draw, profile.LoseByte))
            f.LostByte = static_cast<int>(draw(id.Kind == TFrameId::Read ? 513 : 3));
        return f;
    };
    TScheduleResult result;
    if (!Start(rig, sequence, font)) {
        result.Violation = "refused to start";
        return result;
    }
    // Every frame's budget, a fence's and the waits for owed answers, many times over.
    const std::uint64_t limit = (static_cast<std::uint64_t>(frames) + 2) * 60000;
    while (rig.link.Busy() && rig.clock.Now() < limit)
        rig.clock.Advance(500);
    result.Violation = CheckEnd(rig, sequence, font, unstoredAtReadBack);
    if (!rig.host.reports.empty())
        result.Report = rig.host.reports.back();
    result.Ms = result.Report.Ms;
    return result;
}

} // namespace halvex
