// Window-timer abstraction used by the link and the editor.
//
// Semantics relied upon: a timer restarts only when its interval or enabled state
// actually changes. Setting the interval it already has, or enabling an enabled timer,
// leaves the running period untouched. Changing the interval of an enabled timer
// restarts its period from now. Intervals are in milliseconds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace halvex {

class TLinkTimer {
public:
    virtual ~TLinkTimer() = default;
    void SetInterval(std::uint32_t ms);
    void SetEnabled(bool on);
    std::uint32_t Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }

    std::function<void()> OnTimer;

protected:
    explicit TLinkTimer(std::uint32_t interval = 200) : interval_(interval) {}
    // (Re)start the period from now, or stop. Called only on an actual change.
    virtual void Restart() = 0;
    virtual void Stop() = 0;
    void Fire() {
        if (OnTimer)
            OnTimer();
    }

private:
    std::uint32_t interval_;
    bool enabled_ = false;
};

// Virtual time for tests: timers made by the clock fire only inside Advance().
class TManualClock {
public:
    TManualClock();
    ~TManualClock();
    TManualClock(const TManualClock&) = delete;
    TManualClock& operator=(const TManualClock&) = delete;

    // A new timer, disabled, with the given interval. The clock keeps ownership.
    TLinkTimer& MakeTimer(std::uint32_t interval = 200);
    // Moves virtual time forward by `ms`, firing due timers in time order (a handler may
    // change any timer; ties fire in creation order).
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
