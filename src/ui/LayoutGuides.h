// The screen guides, drawn over the layout grid and the OSD preview and never stored: the
// 4:3 title-safe area and the rows a 16:9 goggle screen cuts off in its zoom mode (the
// geometry and the reasons are in editor/LayoutTools.h).
#pragma once

#include <QPointF>
#include <QSizeF>

class QPainter;

namespace halvex {

// Guide colours as 0xRRGGBB: apart from the grid's red, yellow and grey.
namespace guide_colour {
constexpr unsigned TitleSafe = 0x0060E0;  // blue, dashed
constexpr unsigned WideScreen = 0xC000C0; // magenta, dotted, over a tint of the cut rows
} // namespace guide_colour

// Draws both guides over a screen of `rows` rows whose top-left cell starts at `origin`,
// each cell `cell` pixels, with lines `line` pixels wide.
void PaintGuides(QPainter& painter, QPointF origin, QSizeF cell, int rows, qreal line);

} // namespace halvex
