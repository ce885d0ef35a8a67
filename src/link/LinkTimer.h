// Window-timer abstraction used by the link and the editor.
//
// Semantics relied upon: a timer restarts only when its interval or enabled state
// actually changes. Setting the interval it already has, or enabling an enabled timer,
// leaves the running period untouched. Changing the interval of an enabled timer
// restarts its period from now. Intervals are in milliseconds.
//
// NowMs() is the time the timers run on (monotonic, milliseconds, arbitrary origin): the
// link times its frames and answers with it, so virtual-time timers give virtual times.
#pragma once

#include <cstdint>
#include <functional>

namespace halvex {

class TLinkTimer {
public:
    virtual ~TLinkTimer() = default;
    void SetInterval(std::uint32_t ms);
    void SetEnabled(bool on);
    std::uint32_t Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    virtual std::uint64_t NowMs() const = 0;

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

} // namespace halvex
