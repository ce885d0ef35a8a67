// OSD preview: a full repaint of the screen at 4x zoom (PAL, 1440 x 1152 pixels) into an
// image, offscreen, on the mid-grey background and on a picture; and decoding a whole
// .mcm (parse and glyph decoding). Targets: repaint below 2 ms, decoding below 5 ms
// (medians). Run with --benchmark_repetitions=N to get the median over N runs.
#include "BenchSupport.h"
#include "editor/OsdScreen.h"
#include "link/FontFile.h"
#include "ui/OsdPreview.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace halvex;

// A character set file of 256 characters with varied rows, CR LF line ends.
std::string McmText() {
    std::string text = "MAX7456\r\n";
    for (int c = 0; c < 256; ++c)
        for (int r = 0; r < 64; ++r) {
            const unsigned b =
                (static_cast<unsigned>(c) * 31u + static_cast<unsigned>(r) * 7u) & 0xFF;
            for (int k = 7; k >= 0; --k)
                text += ((b >> k) & 1u) ? '1' : '0';
            text += "\r\n";
        }
    return text;
}

struct TBenchScreen {
    TConfigImage image;
    TItemCatalogue catalogue;
    TGridModel model{image, catalogue};
    TOsdScreen screen;
    TPreviewPainter painter;
    TBenchScreen() {
        bench::FillScreen(image);
        model.SetItemCount(kItemCount);
        model.SetSelected(3);
        screen.Build(model, true);
        painter.SetGlyphs(DecodeFont(*ParseMcm(McmText())));
    }
};

void Repaint(benchmark::State& state, TBenchScreen& b) {
    constexpr int zoom = 4;
    QImage target(TPreviewPainter::ScreenSize(b.screen.Rows()) * zoom, QImage::Format_RGB32);
    for (auto _ : state) {
        // As on a blink tick: the screen rebuilt from the editor's model, then painted.
        b.model.FlipBlink();
        b.screen.Build(b.model, true);
        QPainter painter(&target);
        b.painter.Paint(painter, QPoint(0, 0), b.screen, zoom);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_PreviewRepaint4xGrey(benchmark::State& state) {
    TBenchScreen b;
    Repaint(state, b);
}
BENCHMARK(BM_PreviewRepaint4xGrey)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_PreviewRepaint4xPicture(benchmark::State& state) {
    TBenchScreen b;
    QImage picture(720, 576, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    b.painter.SetPicture(picture);
    Repaint(state, b);
}
BENCHMARK(BM_PreviewRepaint4xPicture)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_DecodeWholeMcm(benchmark::State& state) {
    const std::string text = McmText();
    for (auto _ : state) {
        const auto set = ParseMcm(text);
        const auto glyphs = DecodeFont(*set);
        benchmark::DoNotOptimize(glyphs[255][0]);
    }
}
BENCHMARK(BM_DecodeWholeMcm)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    return halvex::bench::RunGuiBenchmarks(argc, argv);
}
