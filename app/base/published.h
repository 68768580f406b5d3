#pragma once

#include <utility>

namespace korvane {

// Sets a field a view shows and emits its change signal, only when the value is new: every
// binding on the property is evaluated again at each signal.
template <typename Owner, typename Field, typename Value, typename Changed>
bool publish(Owner *owner, Field &field, Value &&value, Changed changed)
{
    if (field == value)
        return false;
    field = std::forward<Value>(value);
    emit(owner->*changed)();
    return true;
}

} // namespace korvane
