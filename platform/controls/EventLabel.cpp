#include "EventLabel.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "accessible_controls.h"
#include "mouse_args.h"

namespace controls {

EventLabel::EventLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMargin(0);
    setIndent(0);
    setFocusPolicy(Qt::NoFocus);
    // Without tracking, moves with no button held would be dropped here and
    // never reach the label's handler.
    setMouseTracking(true);
    installAccessibleFactory();
}

QColor EventLabel::ForeColor() const { return foreColor_.value_or(palette().color(QPalette::WindowText)); }

void EventLabel::setForeColor(const QColor& color) {
    if (ForeColor() == color) return;
    foreColor_ = color;
    update();
}

void EventLabel::setOpaqueBackground(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
}

void EventLabel::expose(Exposed kind, QList<Words> words) {
    exposed_ = kind;
    words_ = std::move(words);
}

const EventLabel::Words* EventLabel::wordsNow() const {
    for (const Words& w : words_)
        if (w.caption == text()) return &w;
    return nullptr;
}

QString EventLabel::exposedName() const {
    const Words* now = wordsNow();
    return now ? now->name : text().simplified();
}

bool EventLabel::exposedPressed() const {
    const Words* now = wordsNow();
    return now && now->pressed;
}

void EventLabel::setText(const QString& caption) {
    const QString old = text();
    if (caption == old) return;
    const bool wasPressed = exposedPressed();
    QLabel::setText(caption);  // announces the name's change itself
    if (!QAccessible::isActive()) return;
    if (exposed_ == Exposed::ToggleButton && exposedPressed() != wasPressed) {
        QAccessible::State pressed;
        pressed.checked = true;
        QAccessibleStateChangeEvent event(this, pressed);
        QAccessible::updateAccessibility(&event);
    }
    if (exposed_ == Exposed::StatusBar) {
        QAccessibleTextUpdateEvent event(this, 0, old, caption);
        QAccessible::updateAccessibility(&event);
    }
}

void EventLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    skipNextRelease_ = false;
    emit MouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), toTwips(event->position().x()),
                   toTwips(event->position().y()));
}

void EventLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (skipNextRelease_) {
        skipNextRelease_ = false;
        return;
    }
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit Click();
}

void EventLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    skipNextRelease_ = true;
}

void EventLabel::paintEvent(QPaintEvent*) {
    // What QLabel draws for plain text without margin, indent or frame, with
    // the label's own text colour.
    if (text().isEmpty()) return;
    QPainter painter(this);
    painter.setPen(ForeColor());
    const Qt::LayoutDirection direction = text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int flags = int(QStyle::visualAlignment(direction, alignment())) |
                      (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    painter.drawText(contentsRect(), flags, text());
}

void EventLabel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()),
                   toTwips(event->position().x()), toTwips(event->position().y()));
}

}  // namespace controls
