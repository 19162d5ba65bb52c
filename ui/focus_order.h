// The order in which Tab visits the controls.
#pragma once

#include <cstddef>
#include <vector>

#include "ui/window_template.h"

namespace lirrevo::ui {

// Indices into `controls` of the controls that Tab visits, in order: those
// shown, enabled, of a type that takes the focus and marked as Tab stops,
// by ascending focus key; of equal keys the one listed later comes first.
std::vector<std::size_t> FocusOrder(const std::vector<ControlTemplate>& controls);

}  // namespace lirrevo::ui
