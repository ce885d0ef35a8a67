// Virtual time for tests: timers made by the clock fire only inside Advance().
#pragma once

#include "link/LinkTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace halvex {

class TManualClock {
public:
    TManualClock();
    ~TManualClock();
    TManualClock(const TManualClock&) = delete;
    TManualClock& operator=(const TManualClock&) = delete;

    // A new timer, disabled, with the given interval. The clock keeps ownership.
    TLinkTimer& MakeTimer(std::uint32_t interval = 200);
    // Moves virtual time forward by `ms`, firing due timers in time order (a handler may
    // change any timer; ties fire in creation order). A handler may advance the clock
    // itself, as a modal box that stays open does; time never goes back.
    void Advance(std::uint64_t ms);
    // Advances until `done()` is true or `limitMs` has passed; returns whether done.
    bool AdvanceUntil(const std::function<bool()>& done, std::uint64_t limitMs);
    std::uint64_t Now() const { return now_; }

private:
    class TManualTimer;
    std::uint64_t now_ = 0;
    std::vector<std::unique_ptr<TManualTimer>> timers_;
};

} // namespace halvex
