// Layout grid: a full redraw of the cell model from the image plus the paint of all
// 30 x 16 cells into an image, offscreen, as on every blink tick. Target: below 1 ms.
// Run with --benchmark_repetitions=N to get the median over N runs.
#include "BenchSupport.h"
#include "ui/LayoutEditor.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace halvex;

// The editor on a hidden form, opened on a busy screen.
struct TBenchEditor {
    QWidget form;
    TConfigImage image;
    TItemCatalogue catalogue;
    std::unique_ptr<TLayoutEditor> editor;
    TBenchEditor() {
        form.resize(403, 471);
        bench::FillScreen(image);
        editor = std::make_unique<TLayoutEditor>(image, catalogue, &form);
        editor->SetItemCount(kItemCount);
        editor->FillItemList();
        editor->SetEditorVisible(true);
        editor->OpenOnImage();
    }
};

void BM_GridRedrawAndPaint(benchmark::State& state) {
    TBenchEditor b;
    QImage target(b.editor->StringGrid1->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        b.editor->BlinkTick(); // flips the phase and redraws the model
        QPainter painter(&target);
        b.editor->StringGrid1->render(&painter);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_GridRedrawAndPaint)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The parts alone: the cell model rebuilt from the image, and the cell painter.
void BM_ModelRedraw(benchmark::State& state) {
    TBenchEditor b;
    TGridModel model(b.image, b.catalogue);
    model.SetItemCount(kItemCount);
    for (auto _ : state) {
        model.Redraw();
        benchmark::DoNotOptimize(model.Attr(15, 8));
    }
}
BENCHMARK(BM_ModelRedraw)->Unit(benchmark::kMicrosecond);

void BM_PaintCells(benchmark::State& state) {
    TBenchEditor b;
    QImage target(b.editor->StringGrid1->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        for (int r = 0; r < b.editor->StringGrid1->RowCount(); ++r)
            for (int c = 0; c < grid::Columns; ++c)
                b.editor->StringGrid1->StringGrid1DrawCell(painter, c, r,
                                                           TLayoutGrid::CellRect(c, r));
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_PaintCells)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return halvex::bench::RunGuiBenchmarks(argc, argv);
}
