// A line shape: a solid line one pixel wide between two points given in twips.
// It takes no mouse events: the pointer over it is over what lies beneath.
#pragma once

#include <QColor>
#include <QWidget>

namespace controls {

class LineShape : public QWidget {
    Q_OBJECT
public:
    explicit LineShape(QWidget* parent = nullptr);

    // Places the line; the end point itself is not drawn.
    void setLine(int x1Twips, int y1Twips, int x2Twips, int y2Twips);
    void setBorderColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint from_, to_;  // in the parent's pixels
    QColor color_ = Qt::black;
};

}  // namespace controls
