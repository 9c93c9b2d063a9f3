// Plumbing shared by the folder list and the file list.
#pragma once

#include <QColor>
#include <QObject>
#include <functional>

#include "accessible_controls.h"

class QAbstractScrollArea;
class QAbstractItemView;

namespace controls {

// Gives a list the flat single-line border and its background and text colours.
void applyListLook(QAbstractItemView* view, const QColor& background, const QColor& text);

// Lets only the left button select and double-click in a list: presses,
// releases and double-clicks of the other buttons over its entries are taken
// and dropped.
void acceptLeftButtonOnly(QAbstractScrollArea* list);

// Enter and keypad Enter, without other modifiers, act on the entry that has
// the keyboard cursor as a double-click on it does, so that no mouse is
// needed; a key held down acts once. Every other key goes on to the list.
void activateOnEnter(QAbstractItemView* list, ActivatableList* entries);

// Raises `raise` for every pointer move over a scroll area (its viewport, its
// scroll bars, its border) with the platform's mouse arguments, in twips
// relative to the area. Moves over the area never reach the window beneath.
class MouseMoveRelay : public QObject {
public:
    using Raise = std::function<void(short Button, short Shift, float X, float Y)>;
    MouseMoveRelay(QAbstractScrollArea* area, Raise raise);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractScrollArea* area_;
    Raise raise_;
};

}  // namespace controls
