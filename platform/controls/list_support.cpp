#include "list_support.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "mouse_args.h"

namespace controls {

void applyListLook(QAbstractItemView* view, const QColor& background, const QColor& text) {
    view->setFrameShape(QFrame::Box);
    view->setFrameShadow(QFrame::Plain);
    view->setLineWidth(1);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = view->palette();
    p.setColor(QPalette::Base, background);
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, Qt::black);  // the border line
    view->setPalette(p);
}

namespace {

class LeftButtonOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick)
            return false;
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) return false;
        event->accept();
        return true;
    }
};

class EnterActivates : public QObject {
public:
    EnterActivates(QAbstractItemView* list, ActivatableList* entries)
        : QObject(list), list_(list), entries_(entries) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        const QModelIndex entry = list_->currentIndex();
        if (!entry.isValid()) return false;
        if (!key->isAutoRepeat()) entries_->activateEntry(entry.row());
        key->accept();
        return true;
    }

private:
    QAbstractItemView* list_;
    ActivatableList* entries_;
};

}  // namespace

void acceptLeftButtonOnly(QAbstractScrollArea* list) {
    list->viewport()->installEventFilter(new LeftButtonOnly(list));
}

void activateOnEnter(QAbstractItemView* list, ActivatableList* entries) {
    list->installEventFilter(new EnterActivates(list, entries));
}

MouseMoveRelay::MouseMoveRelay(QAbstractScrollArea* area, Raise raise)
    : QObject(area), area_(area), raise_(std::move(raise)) {
    QWidget* parts[] = {area, area->viewport(), area->horizontalScrollBar(), area->verticalScrollBar()};
    for (QWidget* part : parts) {
        part->setMouseTracking(true);
        part->installEventFilter(this);
    }
}

bool MouseMoveRelay::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove) return false;
    auto* move = static_cast<QMouseEvent*>(event);
    auto* part = static_cast<QWidget*>(watched);
    const QPointF at =
        part == area_ ? move->position() : QPointF(part->mapTo(area_, QPoint(0, 0))) + move->position();
    raise_(buttonBits(move->buttons()), shiftBits(move->modifiers()), toTwips(at.x()), toTwips(at.y()));
    // The border of the list belongs to the list: a move there must not fall
    // through to the window's surface.
    if (part == area_) {
        move->accept();
        return true;
    }
    return false;
}

}  // namespace controls
