#include "ui/focus_order.h"

#include <algorithm>

namespace lirrevo::ui {

std::vector<std::size_t> FocusOrder(const std::vector<ControlTemplate>& controls) {
  std::vector<std::size_t> order;
  for (std::size_t i = controls.size(); i-- > 0;) {
    const ControlTemplate& c = controls[i];
    if (c.shown && !c.disabled && c.tab_stop && TypeTakesFocus(c.type)) order.push_back(i);
  }
  // Reverse control order is already there; a stable sort keeps it within a key.
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return controls[a].focus_key < controls[b].focus_key;
  });
  return order;
}

}  // namespace lirrevo::ui
