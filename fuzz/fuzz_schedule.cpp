// The link against the model board with a schedule taken from the input: the sequence
// (write with or without its read-back, Apply, font upload), the answer-time profile,
// queueing, the loss rates, and every copy's answer time and losses. Aborts when a sequence
// succeeds with a frame not stored, ends otherwise than in "Communication ERROR !", or does
// not end within bounded virtual time.
#include "LinkSchedule.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

using namespace halvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const TDraw draw = [&in](std::uint32_t count) {
        return in.ConsumeIntegralInRange<std::uint32_t>(0, count - 1);
    };
    const auto sequence = static_cast<TScheduledSequence>(draw(4));
    const TScheduleProfile profile = DrawProfile(draw, sequence);
    const TScheduleResult result = RunSchedule(sequence, profile, draw);
    if (!result.Violation.empty()) {
        std::fprintf(stderr, "property broken (sequence %d, %s): %s\n",
                     static_cast<int>(sequence), profile.Describe().c_str(),
                     result.Violation.c_str());
        std::abort();
    }
    return 0;
}
