#include "LineShape.h"

#include <QPainter>

#include "mouse_args.h"

namespace controls {

LineShape::LineShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void LineShape::setLine(int x1Twips, int y1Twips, int x2Twips, int y2Twips) {
    from_ = QPoint(toPixels(x1Twips), toPixels(y1Twips));
    to_ = QPoint(toPixels(x2Twips), toPixels(y2Twips));
    const QRect box = QRect(from_, to_).normalized();
    setGeometry(box.left(), box.top(), std::max(1, box.width() - 1), std::max(1, box.height() - 1));
    update();
}

void LineShape::setBorderColor(const QColor& color) {
    color_ = color;
    update();
}

void LineShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPoint from = from_ - pos(), to = to_ - pos();
    if (from.x() == to.x() || from.y() == to.y()) {
        // Axis-aligned: every pixel from the start point up to the end point.
        painter.fillRect(QRect(from, to).normalized().adjusted(0, 0, from.x() == to.x() ? 0 : -1,
                                                               from.y() == to.y() ? 0 : -1),
                         color_);
    } else {
        painter.setPen(QPen(color_, 0));
        painter.drawLine(from, to);
    }
}

}  // namespace controls
