#include "cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace halvex::cli {

namespace {
constexpr int kBarWidth = 30;
}

std::string ProgressLine(double fraction, double elapsedSeconds) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int filled = static_cast<int>(std::floor(fraction * kBarWidth));
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "]";
    char tail[48];
    const int percent = static_cast<int>(std::floor(fraction * 100.0));
    if (fraction > 0.0 && fraction < 1.0 && elapsedSeconds > 0.0) {
        const double left = elapsedSeconds * (1.0 - fraction) / fraction;
        std::snprintf(tail, sizeof tail, " %3d%%  %.1f s left", percent, left);
    } else {
        std::snprintf(tail, sizeof tail, " %3d%%", percent);
    }
    return line + tail;
}

} // namespace halvex::cli
