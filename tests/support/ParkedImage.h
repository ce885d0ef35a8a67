// A PAL configuration image with every item but the horizon parked hidden in the hidden
// column of row 15, in every layout mode; tests place the items they need.
#pragma once

#include "config/ConfigImage.h"

#include <cstdint>

namespace halvex::test {

struct TParkedImage {
    TParkedImage() {
        image.SetConfigBit(cfg::Pal, true);
        for (int m = 0; m < kLayoutModes; ++m)
            for (int i = 1; i < kItemCount; ++i)
                Put(m, i, 0, 40, 15);
    }
    void Put(int mode, int item, std::uint8_t flags, int x, int y) {
        image.SetFlags(mode, item, flags);
        image.SetXPos(mode, item, static_cast<std::uint8_t>(x));
        image.SetYPos(mode, item, static_cast<std::uint8_t>(y));
    }
    // In the image's stored layout mode.
    void Put(int item, std::uint8_t flags, int x, int y) { Put(image.Mode(), item, flags, x, y); }

    TConfigImage image;
};

} // namespace halvex::test
