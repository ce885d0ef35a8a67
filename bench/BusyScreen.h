// A busy screen for the drawing benchmarks: every item visible somewhere in layout mode
// OFF, some grey, small, blinking or overlapping, and the horizon with its zone.
#pragma once

#include "config/ConfigImage.h"

namespace halvex::bench {

inline void FillScreen(TConfigImage& image) {
    image.SetConfigBit(cfg::Pal, true);
    image.SetFlags(0, 0, flag::Visible);
    for (int i = 1; i < kItemCount; ++i) {
        std::uint8_t f = flag::Visible;
        if (i % 3 == 0)
            f |= flag::Grey;
        if (i % 4 == 0)
            f |= flag::Blinking;
        if (i % 5 == 0)
            f |= flag::Small;
        image.SetFlags(0, i, f);
        image.SetXPos(0, i, static_cast<std::uint8_t>((i * 7) % 25));
        image.SetYPos(0, i, static_cast<std::uint8_t>(i % 16));
    }
}

} // namespace halvex::bench
