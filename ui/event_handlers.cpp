#include "ui/event_handlers.h"

#include "core/document/link_list.h"
#include "core/generate_command.h"
#include "ui/controls/common_dialog_control.h"
#include "ui/controls/edit_box_control.h"
#include "ui/controls/property_numbers.h"
#include "ui/controls/web_panel_control.h"
#include "ui/dialogs/message_box.h"
#include "ui/main_window.h"

namespace lirrevo::ui {
ReadBoxUtf8Fn BoxUtf8Reader(const MainWindow& window) {
  return [&window]() -> std::optional<BoxUtf8> {
    const auto* box = dynamic_cast<const EditBoxControl*>(window.FindControl(EditBoxName));
    std::optional<std::string> utf8 = box != nullptr ? box->ContentUtf8() : std::nullopt;
    if (!utf8) return std::nullopt;
    return BoxUtf8(*std::move(utf8));
  };
}

void OnLinksChanged(MainWindow& window) {
  // The box keeps the count of its text as it changes, so a keystroke in a
  // box of a million lines does not read and convert all of them again.
  const auto* box = dynamic_cast<const EditBoxControl*>(window.FindControl(EditBoxName));
  UpdateLinkCount([box]() -> std::int32_t { return box != nullptr ? box->LinkCountNow() : 0; },
                  [&window](const std::string& caption) {
                    window.SetProperty(LabelName, label::Caption, caption);
                  });
}

std::optional<std::string> AskOutputFile(MainWindow& window) {
  auto* dialog = dynamic_cast<CommonDialogControl*>(window.FindControl(DialogName));
  if (dialog == nullptr || !dialog->ShowDialog()) return std::nullopt;
  return dialog->FileNameBytes();
}

void OnGenerateClicked(MainWindow& window, const std::function<DateTime()>& now) {
  const auto show_message = [&window](const std::string& text) {
    ShowMessage(text);
    // The box has no owner; the window takes the input again once it is closed.
    window.activateWindow();
  };
  GenerateSitemapFile(
      BoxUtf8Reader(window), [&window] { return AskOutputFile(window); }, show_message, now,
      [](const std::string& question) { return AskQuestion(question); });
}

void OnWindowCreated(MainWindow& window) {
  auto* panel = dynamic_cast<WebPanelControl*>(window.FindControl(WebPanelName));
  if (panel != nullptr) panel->NavigateTo(InfoPageAddress);
}

std::vector<EventBinding> StartupBindings(std::function<MainWindow*()> window) {
  const auto on = [window](void (*handler)(MainWindow&)) {
    return [window, handler] {
      if (MainWindow* w = window()) handler(*w);
    };
  };
  return {{std::string(WindowSource), EventKind::kCreated, on(OnWindowCreated)},
          {std::string(EditBoxName), EventKind::kContentChanged, on(OnLinksChanged)},
          {std::string(ButtonName), EventKind::kClicked,
           on([](MainWindow& w) { OnGenerateClicked(w); })}};
}

}  // namespace lirrevo::ui
