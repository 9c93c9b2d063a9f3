#include "accessible_controls.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QHash>
#include <QItemSelectionModel>
#include <QPointer>

#include "EventLabel.h"

namespace controls {

namespace {

// Requests from the bus are answered before the control acts, as a click is
// delivered by the event loop: a handler that ends the program must not end
// it inside the bus's call.
template <typename Act>
void actLater(QObject* control, Act act) {
    QMetaObject::invokeMethod(control, act, Qt::QueuedConnection);
}

QAccessible::Role roleOf(EventLabel::Exposed kind) {
    switch (kind) {
    case EventLabel::Exposed::Button:
    case EventLabel::Exposed::ToggleButton: return QAccessible::Button;
    case EventLabel::Exposed::Title: return QAccessible::TitleBar;
    case EventLabel::Exposed::StatusBar: return QAccessible::StatusBar;
    case EventLabel::Exposed::Text: break;
    }
    return QAccessible::StaticText;
}

class LabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    // The role is read at every request: the interface may be made before the
    // label is given its part.
    explicit LabelAccessible(EventLabel* label) : QAccessibleWidget(label) {}

    QAccessible::Role role() const override { return roleOf(label()->exposedAs()); }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? label()->exposedName() : QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (label()->exposedAs() == EventLabel::Exposed::ToggleButton) {
            s.checkable = true;
            s.checked = label()->exposedPressed();
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface && label()->exposedAs() == EventLabel::Exposed::StatusBar)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QStringList actionNames() const override {
        return isButton() ? QStringList{pressAction()} : QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (isButton() && action == pressAction()) {
            actLater(label(), [l = label()] { emit l->Click(); });
            return;
        }
        QAccessibleWidget::doAction(action);
    }

    // The status bar's text, read only.
    QString text(int start, int end) const override { return caption().mid(start, end - start); }
    int characterCount() const override { return int(caption().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return QString();
    }

private:
    EventLabel* label() const { return static_cast<EventLabel*>(widget()); }
    QString caption() const { return label()->text(); }
    bool isButton() const { return roleOf(label()->exposedAs()) == QAccessible::Button; }
};

class EntryAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    EntryAccessible(QAbstractItemView* view, int row) : view_(view), row_(row) {}

    bool isValid() const override { return view_ && view_->model() && row_ < rowCount(view_); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? index().data(Qt::DisplayRole).toString() : QString();
    }

    QRect rect() const override {
        if (!isValid()) return QRect();
        const QRect r = view_->visualRect(index());
        return QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) return s;
        s.selectable = s.focusable = true;
        s.selected = view_->selectionModel()->isSelected(index());
        s.focused = view_->hasFocus() && view_->currentIndex() == index();
        s.invisible = !view_->viewport()->rect().intersects(view_->visualRect(index()));
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    // Pressing is the default action; toggling selects or unselects, as a click does.
    QStringList actionNames() const override { return {pressAction(), toggleAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    void doAction(const QString& action) override {
        if (!isValid()) return;
        if (action == pressAction()) {
            actLater(view_, [view = view_, row = row_] {
                if (auto* list = dynamic_cast<ActivatableList*>(view.data())) list->activateEntry(row);
            });
        } else if (action == toggleAction()) {
            if (view_->selectionModel()->isSelected(index()))
                view_->selectionModel()->select(index(), QItemSelectionModel::Deselect);
            else
                view_->setCurrentIndex(index());
        }
    }

    static int rowCount(const QAbstractItemView* view) { return view->model()->rowCount(view->rootIndex()); }

private:
    QModelIndex index() const { return view_->model()->index(row_, 0, view_->rootIndex()); }

    QPointer<QAbstractItemView> view_;
    const int row_;
};

// A list whose children are its entries. An entry's interface stands for a
// row, whatever the row holds after the list was filled anew.
class ListAccessible : public QAccessibleWidget {
public:
    explicit ListAccessible(QAbstractItemView* view) : QAccessibleWidget(view, QAccessible::List) {}

    ~ListAccessible() override {
        for (QAccessible::Id id : std::as_const(entries_)) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return view()->model() ? EntryAccessible::rowCount(view()) : 0; }

    QAccessibleInterface* child(int row) const override {
        if (row < 0 || row >= childCount()) return nullptr;
        auto found = entries_.constFind(row);
        if (found != entries_.constEnd()) return QAccessible::accessibleInterface(*found);
        auto* entry = new EntryAccessible(view(), row);
        entries_.insert(row, QAccessible::registerAccessibleInterface(entry));
        return entry;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (auto it = entries_.constBegin(); it != entries_.constEnd(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == child)
                return it.key() < childCount() ? it.key() : -1;
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QModelIndex at = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? child(at.row()) : nullptr;
    }

private:
    QAbstractItemView* view() const { return static_cast<QAbstractItemView*>(widget()); }

    mutable QHash<int, QAccessible::Id> entries_;
};

// Answers for the controls' own classes only; anything else goes on to Qt's
// interfaces.
QAccessibleInterface* controlInterface(const QString& className, QObject* object) {
    if (!object || className != QLatin1String(object->metaObject()->className())) return nullptr;
    if (auto* label = qobject_cast<EventLabel*>(object)) return new LabelAccessible(label);
    auto* view = qobject_cast<QAbstractItemView*>(object);
    if (view && dynamic_cast<ActivatableList*>(object)) return new ListAccessible(view);
    return nullptr;
}

}  // namespace

void installAccessibleFactory() {
    [[maybe_unused]] static const bool installed = [] {
        QAccessible::installFactory(controlInterface);
        return true;
    }();
}

}  // namespace controls
