#include "mouse_args.h"

#include <initializer_list>

namespace controls {

namespace {

// Bit 0 for the first flag of `order` that is set, bit 1 for the second, ...
template <typename Flags, typename Flag>
short bitsOf(Flags flags, std::initializer_list<Flag> order) {
    short bits = 0, bit = 1;
    for (const Flag flag : order) {
        if (flags & flag) bits |= bit;
        bit = short(bit << 1);
    }
    return bits;
}

}  // namespace

short buttonBits(Qt::MouseButtons buttons) {
    return bitsOf(buttons, {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton});
}

short shiftBits(Qt::KeyboardModifiers modifiers) {
    return bitsOf(modifiers, {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier});
}

}  // namespace controls
