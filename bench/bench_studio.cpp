// Character editor: putting a 288 x 72 picture into 96 characters (exact size, dithered,
// and a larger photo scaled down), a repaint of the zoomed character editor as on screen,
// and saving a set (text and file). Targets: import below 20 ms, repaint below 2 ms, save
// below 20 ms (medians). Run with --benchmark_repetitions=N to get the median over N runs.
#include "BenchSupport.h"
#include "link/FontDocument.h"
#include "link/PictureMapping.h"
#include "ui/GlyphViews.h"
#include "ui/OsdPreview.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using namespace halvex;

// A colour picture: a gradient with a disc of text-like stripes, the green key around.
TRgbaPicture Picture(int width, int height) {
    TRgbaPicture p;
    p.Width = width;
    p.Height = height;
    p.Rgba.resize(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = p.Rgba.data() + (std::size_t(y) * width + x) * 4;
            const int dx = x - width / 2, dy = (y - height / 2) * width / height;
            const bool inside = dx * dx + dy * dy < width * width / 9;
            px[0] = inside ? static_cast<std::uint8_t>(x * 255 / width) : 0;
            px[1] = inside ? static_cast<std::uint8_t>((x / 3 + y) % 7 < 3 ? 240 : 30) : 255;
            px[2] = inside ? static_cast<std::uint8_t>(y * 255 / height) : 0;
            px[3] = 255;
        }
    return p;
}

// The set the import goes into: the real font when it is at hand, else one made here.
TFontDocument Set() {
    std::ifstream in(std::string(HALVEX_TESTDATA_DIR) + "/fonts/bf-default.mcm", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (auto set = TFontDocument::Parse(text.str()))
        return *set;
    return TFontDocument(BuiltInGlyphs());
}

void Import(benchmark::State& state, const TRgbaPicture& picture, bool dither) {
    TFontDocument set = Set();
    for (auto _ : state) {
        const TPixelBlock block = MapPicture(picture, {24, 4, 50, dither});
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 24; ++c)
                set.SetGlyph(static_cast<std::size_t>(160 + r * 24 + c), block.Glyph(c, r));
        benchmark::DoNotOptimize(set.Chars()[200][0]);
    }
}

void BM_Import288x72(benchmark::State& state) {
    Import(state, Picture(288, 72), false);
}
BENCHMARK(BM_Import288x72)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_Import288x72Dithered(benchmark::State& state) {
    Import(state, Picture(288, 72), true);
}
BENCHMARK(BM_Import288x72Dithered)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_Import1600x400Scaled(benchmark::State& state) {
    Import(state, Picture(1600, 400), false);
}
BENCHMARK(BM_Import1600x400Scaled)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The whole widget as a paint event draws it, at 28 device pixels per chip pixel.
void BM_EditorRepaintZoomed(benchmark::State& state) {
    TGlyphEditView view(nullptr);
    view.resize(12 * 28 + 1, 18 * 28 + 1);
    view.SetGlyph(BuiltInGlyphs()['A']);
    QImage target(view.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["zoom"] = view.Zoom();
}
BENCHMARK(BM_EditorRepaintZoomed)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// An edited real set (its bytes kept) written to a file in the temporary folder.
void BM_SaveSet(benchmark::State& state) {
    TFontDocument set = Set();
    set.SetGlyph('A', BuiltInGlyphs()['B']);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("halvex_bench_" + std::to_string(::getpid()) + ".mcm"))
                                 .string();
    for (auto _ : state)
        WriteMcmFile(path, set.McmText());
    std::remove(path.c_str());
}
BENCHMARK(BM_SaveSet)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    return halvex::bench::RunGuiBenchmarks(argc, argv);
}
