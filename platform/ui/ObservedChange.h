#pragma once
// The old and the new value of one change of an observed property, as an observer is told it.

namespace ui {

template <class T>
struct ObservedChange {
    T oldValue;
    T newValue;
};

} // namespace ui
