// What assistive technology sees of the controls: event labels as buttons,
// toggle buttons, a title or a status bar; the lists and their entries.
//
// Only a factory is installed, the first time a control is made. Qt asks it
// for interfaces only once assistive technology has switched accessibility
// on, so nothing here runs at start without it.
#pragma once

namespace controls {

void installAccessibleFactory();

// A list whose entries can be activated from outside: the entry's default
// action, which must do what a double-click on it does.
class ActivatableList {
public:
    virtual void activateEntry(int row) = 0;

protected:
    ~ActivatableList() = default;
};

}  // namespace controls
