#include "ui/LayoutGuides.h"

#include "editor/LayoutTools.h"

#include <QColor>
#include <QPainter>
#include <QPen>

namespace halvex {

namespace {

QRectF ToPixels(const TGuideBox& box, QPointF origin, QSizeF cell) {
    return QRectF(origin.x() + box.Left * cell.width(), origin.y() + box.Top * cell.height(),
                  (box.Right - box.Left) * cell.width(), (box.Bottom - box.Top) * cell.height());
}

QColor Colour(unsigned rgb, int alpha = 255) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF), alpha);
}

} // namespace

void PaintGuides(QPainter& painter, QPointF origin, QSizeF cell, int rows, qreal line) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const QRectF screen(origin, QSizeF(cell.width() * grid::Columns, cell.height() * rows));

    // 16:9 zoom: the cut rows tinted, their edges dotted.
    const QRectF wide = ToPixels(WideScreenArea(rows), origin, cell);
    constexpr int kTint = 48; // of 255
    painter.fillRect(QRectF(screen.topLeft(), QPointF(screen.right(), wide.top())),
                     Colour(guide_colour::WideScreen, kTint));
    painter.fillRect(QRectF(QPointF(screen.left(), wide.bottom()), screen.bottomRight()),
                     Colour(guide_colour::WideScreen, kTint));
    QPen dotted(Colour(guide_colour::WideScreen), line, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawLine(QLineF(wide.left(), wide.top(), wide.right(), wide.top()));
    painter.drawLine(QLineF(wide.left(), wide.bottom(), wide.right(), wide.bottom()));

    // Title-safe: a dashed frame.
    QPen dashed(Colour(guide_colour::TitleSafe), line, Qt::DashLine);
    painter.setPen(dashed);
    painter.drawRect(ToPixels(TitleSafeArea(rows), origin, cell));
    painter.restore();
}

} // namespace halvex
