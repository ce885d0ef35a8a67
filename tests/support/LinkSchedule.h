// The property the link must keep, run on one schedule: a write (with or without its
// read-back), an Apply or a font upload against the model board in virtual time, with an
// answer time per copy drawn from a profile (constant, rising, falling, spiking, or drawn
// for each copy; 0 to 1.5 s), queueing or not, and random lost frames, lost answers and lost single
// bytes of an answer. The outcome must be success with every frame stored as sent, or
// "Communication ERROR !" (or, after a read-back, the verify failure), within bounded virtual time.
//
// The numbers come from a draw (a seeded generator in the property test, the fuzzer's bytes
// in the fuzz target), so a case is replayed from its seed or its input.
#pragma once

#include "config/Exchange.h"

#include <cstdint>
#include <functional>
#include <string>

namespace halvex {

// A number from 0 to count - 1 (count > 0).
using TDraw = std::function<std::uint32_t(std::uint32_t count)>;

enum class TScheduledSequence { Write, WriteNoReadBack, Apply, FontUpload };

struct TScheduleProfile {
    enum TShape {
        Constant,
        Rising,
        Falling,
        Spiking,
        Drawn
    } Shape = Constant;       // Drawn: each
                              // copy's own
    std::uint32_t BaseMs = 2; // answer time of the profile's start (and outside a spike)
    std::uint32_t PeakMs = 2; // ... of its end, or inside the spike
    int SpikeFrom = 0;        // frames the board has seen when the spike starts ...
    int SpikeFrames = 0;      // ... and how many it lasts
    bool Queueing = false;    // frames handled one at a time
    // Chances per copy, in thousandths.
    std::uint32_t LoseFrame = 0;
    std::uint32_t LoseAnswer = 0;
    std::uint32_t LoseByte = 0;
    int DeadFrame = -1; // the block or character whose every copy is lost; -1: none

    // The answer time of the board's `seen`-th copy (from 0) of a sequence of `frames`.
    std::uint32_t AnswerMs(int seen, int frames) const;
    std::string Describe() const;
};

// A profile drawn at random for `sequence`: shapes, times up to 1.5 s, loss rates, and
// (one time in three) a frame the board never gets.
TScheduleProfile DrawProfile(const TDraw& draw, TScheduledSequence sequence);

struct TScheduleResult {
    std::string Violation;  // empty when the property held
    TExchangeReport Report; // how the sequence ended
    std::uint64_t Ms = 0;   // virtual time to the end
};

// Runs `sequence` against the model board with `profile`; each copy's losses come from
// `draw`.
TScheduleResult RunSchedule(TScheduledSequence sequence, const TScheduleProfile& profile,
                            const TDraw& draw);

} // namespace halvex
