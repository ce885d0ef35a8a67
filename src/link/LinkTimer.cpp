#include "link/LinkTimer.h"

namespace halvex {

void TLinkTimer::SetInterval(std::uint32_t ms) {
    if (ms == interval_)
        return;
    interval_ = ms;
    if (enabled_)
        Restart();
}

void TLinkTimer::SetEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on)
        Restart();
    else
        Stop();
}

} // namespace halvex
