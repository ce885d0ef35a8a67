// Shared parts of the drawing benchmarks: a busy screen and the main function.
#pragma once

#include "config/ConfigImage.h"
#include "ui/Controls.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace halvex::bench {

// Every item visible somewhere in layout mode OFF, some grey, small, blinking, negative or
// overlapping, and the horizon with its zone.
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
        if (i % 7 == 0)
            f |= flag::Negative;
        image.SetFlags(0, i, f);
        image.SetXPos(0, i, static_cast<std::uint8_t>((i * 7) % 25));
        image.SetYPos(0, i, static_cast<std::uint8_t>(i % 16));
    }
}

// Runs the registered benchmarks under an offscreen QApplication with the program's font.
inline int RunGuiBenchmarks(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(InterfaceFont());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace halvex::bench
