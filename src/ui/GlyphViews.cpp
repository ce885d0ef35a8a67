#include "ui/GlyphViews.h"

#include "ui/OsdPreview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace halvex {

namespace {

constexpr int kGap = 1;                // device pixels between a table's cells
const QColor kSurround(40, 40, 40);    // around the characters
const QColor kTableLines(64, 64, 64);  // between a table's cells
const QColor kHoverFrame(255, 255, 0); // the cell under the mouse
const QColor kCurrentFrame(255, 0, 0); // the chosen cell
const QColor kGridLines(90, 90, 90);   // between the zoomed pixels
constexpr int kCells = kGlyphWidth * kGlyphHeight;

QColor PixelColour(TGlyphPixel p) {
    switch (p) {
    case TGlyphPixel::Black:
        return Qt::black;
    case TGlyphPixel::White:
        return Qt::white;
    default:
        return QColor::fromRgb(TPreviewPainter::kVideoGrey);
    }
}

} // namespace

// ---- Device view --------------------------------------------------------------------------

TDeviceView::TDeviceView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize TDeviceView::DeviceSize() const {
    const qreal ratio = devicePixelRatioF();
    return {static_cast<int>(width() * ratio), static_cast<int>(height() * ratio)};
}

void TDeviceView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kSurround);
    const qreal ratio = devicePixelRatioF();
    painter.scale(1.0 / ratio, 1.0 / ratio);
    PaintDevice(painter, DeviceSize());
}

// ---- Table --------------------------------------------------------------------------------

TGlyphTable::TGlyphTable(TPreviewPainter& painter, QWidget* parent)
    : TDeviceView(parent), painter_(painter) {
    setMouseTracking(true);
    setMinimumSize(kColumns * (kGlyphWidth + kGap), kColumns * (kGlyphHeight + kGap));
}

TGlyphTable::TGeometry TGlyphTable::Geometry() const {
    const QSize device = DeviceSize();
    const int zoom = std::max(1, std::min((device.width() / kColumns - kGap) / kGlyphWidth,
                                          (device.height() / kColumns - kGap) / kGlyphHeight));
    const int px = kGlyphWidth * zoom + kGap;
    const int py = kGlyphHeight * zoom + kGap;
    return {zoom, px, py,
            QPoint(std::max(0, (device.width() - kColumns * px) / 2),
                   std::max(0, (device.height() - kColumns * py) / 2))};
}

int TGlyphTable::GlyphAt(QPointF position) const {
    const TGeometry g = Geometry();
    const QPointF device = position * devicePixelRatioF() - QPointF(g.Origin);
    if (device.x() < 0 || device.y() < 0)
        return -1;
    const int c = static_cast<int>(device.x()) / g.PitchX;
    const int r = static_cast<int>(device.y()) / g.PitchY;
    return (c < kColumns && r < kColumns) ? r * kColumns + c : -1;
}

void TGlyphTable::SetCurrent(int code) {
    current_ = code >= 0 && code < static_cast<int>(kFontChars) ? code : -1;
    update();
}

void TGlyphTable::PaintDevice(QPainter& painter, QSize) {
    const TGeometry g = Geometry();
    painter.fillRect(QRect(g.Origin, QSize(kColumns * g.PitchX + kGap, kColumns * g.PitchY + kGap)),
                     kTableLines);
    painter.setBrush(Qt::NoBrush);
    for (int k = 0; k < static_cast<int>(kFontChars); ++k) {
        const QPoint at =
            g.Origin + QPoint((k % kColumns) * g.PitchX + kGap, (k / kColumns) * g.PitchY + kGap);
        const QRect cell(at, QSize(kGlyphWidth * g.Zoom, kGlyphHeight * g.Zoom));
        painter_.PaintBackground(painter, cell);
        painter_.PaintGlyph(painter, at, static_cast<std::uint8_t>(k), g.Zoom);
        if (k == current_ || k == hover_) {
            painter.setPen(k == current_ ? kCurrentFrame : kHoverFrame);
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
        }
    }
}

void TGlyphTable::SetHover(int code) {
    if (code == hover_)
        return;
    hover_ = code;
    update();
    if (OnHover)
        OnHover(code);
}

void TGlyphTable::mouseMoveEvent(QMouseEvent* event) {
    SetHover(GlyphAt(event->position()));
}

void TGlyphTable::leaveEvent(QEvent*) {
    SetHover(-1);
}

void TGlyphTable::mousePressEvent(QMouseEvent* event) {
    const int code = GlyphAt(event->position());
    if (code < 0 || !OnChoose)
        return;
    setFocus(Qt::MouseFocusReason);
    OnChoose(code);
}

void TGlyphTable::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -kColumns;
        break;
    case Qt::Key_Down:
        step = kColumns;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const int code = std::clamp(std::max(current_, 0) + step, 0, static_cast<int>(kFontChars) - 1);
    if (OnChoose)
        OnChoose(code);
}

// ---- Zoomed character -----------------------------------------------------------------------

TGlyphEditView::TGlyphEditView(QWidget* parent) : TDeviceView(parent) {
    setMinimumSize(kGlyphWidth * 8 + 1, kGlyphHeight * 8 + 1);
    setCursor(Qt::CrossCursor);
}

void TGlyphEditView::SetGlyph(const TGlyph& glyph) {
    if (glyph == glyph_)
        return;
    glyph_ = glyph;
    update();
}

int TGlyphEditView::Zoom() const {
    const QSize device = DeviceSize();
    return std::max(2, std::min((device.width() - kGap) / kGlyphWidth,
                                (device.height() - kGap) / kGlyphHeight));
}

QPoint TGlyphEditView::Origin() const {
    const QSize device = DeviceSize();
    const int zoom = Zoom();
    return {std::max(0, (device.width() - kGlyphWidth * zoom - kGap) / 2),
            std::max(0, (device.height() - kGlyphHeight * zoom - kGap) / 2)};
}

int TGlyphEditView::PixelAt(QPointF position) const {
    const QPointF device = position * devicePixelRatioF() - QPointF(Origin());
    const int zoom = Zoom();
    if (device.x() < 0 || device.y() < 0)
        return -1;
    const int x = static_cast<int>(device.x()) / zoom;
    const int y = static_cast<int>(device.y()) / zoom;
    return x < kGlyphWidth && y < kGlyphHeight ? y * kGlyphWidth + x : -1;
}

QPoint TGlyphEditView::PixelCentre(int pixel) const {
    const int zoom = Zoom();
    const QPoint device = Origin() + QPoint((pixel % kGlyphWidth) * zoom + zoom / 2,
                                            (pixel / kGlyphWidth) * zoom + zoom / 2);
    return (QPointF(device) / devicePixelRatioF()).toPoint();
}

void TGlyphEditView::PaintCells(QPainter& painter, const TGlyph& glyph, QPoint origin, int zoom) {
    painter.fillRect(QRect(origin, QSize(kGlyphWidth * zoom + kGap, kGlyphHeight * zoom + kGap)),
                     kGridLines);
    for (int p = 0; p < kCells; ++p) {
        const QPoint at =
            origin + QPoint((p % kGlyphWidth) * zoom + kGap, (p / kGlyphWidth) * zoom + kGap);
        painter.fillRect(QRect(at, QSize(zoom - kGap, zoom - kGap)),
                         PixelColour(glyph[static_cast<std::size_t>(p)]));
    }
}

void TGlyphEditView::PaintDevice(QPainter& painter, QSize) {
    PaintCells(painter, glyph_, Origin(), Zoom());
}

void TGlyphEditView::mousePressEvent(QMouseEvent* event) {
    const int pixel = PixelAt(event->position());
    if (stroking_ || pixel < 0 ||
        (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    stroking_ = true;
    stroke_ = event->button() == Qt::LeftButton ? ink_ : TGlyphPixel::Transparent;
    last_ = -1;
    if (OnStrokeBegin)
        OnStrokeBegin();
    PaintLine(pixel, pixel);
}

void TGlyphEditView::mouseMoveEvent(QMouseEvent* event) {
    const int pixel = PixelAt(event->position());
    if (stroking_ && pixel >= 0 && pixel != last_)
        PaintLine(last_ < 0 ? pixel : last_, pixel);
}

void TGlyphEditView::mouseReleaseEvent(QMouseEvent* event) {
    // The stroke ends when the last button is let go.
    if (event->buttons() == Qt::NoButton)
        EndStroke();
}

bool TGlyphEditView::event(QEvent* event) {
    if (event->type() == QEvent::WindowBlocked)
        EndStroke();
    return TDeviceView::event(event);
}

void TGlyphEditView::EndStroke() {
    if (!stroking_)
        return;
    stroking_ = false;
    if (OnStrokeEnd)
        OnStrokeEnd();
}

// Every chip pixel on the straight line from `from` to `to` (Bresenham), so a fast drag
// leaves no gaps.
void TGlyphEditView::PaintLine(int from, int to) {
    int x = from % kGlyphWidth, y = from / kGlyphWidth;
    const int x1 = to % kGlyphWidth, y1 = to / kGlyphWidth;
    const int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
    const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
    for (int error = dx + dy;;) {
        const int pixel = y * kGlyphWidth + x;
        if (OnPaint && pixel != last_)
            OnPaint(pixel, stroke_);
        last_ = pixel;
        if (x == x1 && y == y1)
            break;
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y += sy;
        }
    }
}

} // namespace halvex
