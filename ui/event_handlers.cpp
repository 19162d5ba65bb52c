#include "ui/event_handlers.h"

#include "core/link_list.h"
#include "ui/main_window.h"
#include "ui/property_numbers.h"

namespace lirrevo::ui {
namespace {

std::optional<std::string> ReadContent(const MainWindow& window, bool* exact) {
  std::optional<PropertyValue> value = window.GetProperty(EditBoxName, edit_box::Content, exact);
  auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
  if (text == nullptr) return std::nullopt;
  return std::move(*text);
}

}  // namespace

std::string ReadContentForCount(const MainWindow& window) {
  return ReadContent(window, nullptr).value_or(std::string());
}

ReadContentFn ExactContentReader(const MainWindow& window) {
  return [&window]() -> std::optional<std::string> {
    bool exact = false;
    std::optional<std::string> text = ReadContent(window, &exact);
    if (!exact) return std::nullopt;
    return text;
  };
}

void OnLinksChanged(MainWindow& window) {
  UpdateLinkCount([&window] { return ReadContentForCount(window); },
                  [&window](const std::string& caption) {
                    window.SetProperty(LabelName, label::Caption, caption);
                  });
}

std::vector<EventBinding> StartupBindings(std::function<MainWindow*()> window) {
  auto links_changed = [window] {
    if (MainWindow* w = window()) OnLinksChanged(*w);
  };
  return {{std::string(WindowSource), EventKind::kCreated, {}},
          {std::string(EditBoxName), EventKind::kContentChanged, links_changed},
          {std::string(ButtonName), EventKind::kClicked, {}}};
}

}  // namespace lirrevo::ui
