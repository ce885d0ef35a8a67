#include "ManualClock.h"

#include <algorithm>

namespace halvex {

class TManualClock::TManualTimer final : public TLinkTimer {
public:
    TManualTimer(TManualClock& clock, std::uint32_t interval)
        : TLinkTimer(interval), clock_(clock) {}
    std::uint64_t due = 0;
    std::uint64_t NowMs() const override { return clock_.now_; }
    void Tick() {
        due = clock_.now_ + (Interval() ? Interval() : 1);
        Fire();
    }

protected:
    void Restart() override { due = clock_.now_ + (Interval() ? Interval() : 1); }
    void Stop() override {}

private:
    TManualClock& clock_;
};

TManualClock::TManualClock() = default;
TManualClock::~TManualClock() = default;

TLinkTimer& TManualClock::MakeTimer(std::uint32_t interval) {
    timers_.push_back(std::make_unique<TManualTimer>(*this, interval));
    return *timers_.back();
}

void TManualClock::Advance(std::uint64_t ms) {
    const std::uint64_t target = now_ + ms;
    for (;;) {
        TManualTimer* next = nullptr;
        for (auto& t : timers_)
            if (t->Enabled() && t->due <= target && (!next || t->due < next->due))
                next = t.get();
        if (!next)
            break;
        now_ = std::max(now_, next->due);
        next->Tick();
    }
    now_ = std::max(now_, target);
}

bool TManualClock::AdvanceUntil(const std::function<bool()>& done, std::uint64_t limitMs) {
    const std::uint64_t end = now_ + limitMs;
    while (!done()) {
        if (now_ >= end)
            return false;
        Advance(1);
    }
    return true;
}

} // namespace halvex
