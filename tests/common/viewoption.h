#pragma once

#include "viewer/logview.h"

#include <type_traits>

// Changes one display option of a viewer, the rest as they are.
template <typename T>
void setOption(LogView &view, T ViewOptions::*field, std::type_identity_t<T> value)
{
    ViewOptions options = view.options();
    options.*field = std::move(value);
    view.setOptions(options);
}
