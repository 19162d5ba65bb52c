// fatal_error_probe window|memory: meets a fatal error of that kind, prints
// what the error box shows, raises an event while the box is open and
// closes the box. The process must then end with exit code -1.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <string>

#include "ui/event_table.h"
#include "ui/fatal_error.h"
#include "ui/main_window.h"
#include "ui/startup.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::EditBoxName;

using lirrevo::ui::EventKind;
using lirrevo::ui::EventTable;

namespace {

void* volatile kept = nullptr;

void Print(const char* key, const QString& value) {
  QString shown = value;
  shown.replace(QStringLiteral("\r"), QStringLiteral("\\r"));
  shown.replace(QStringLiteral("\n"), QStringLiteral("\\n"));
  std::printf("%s=%s\n", key, shown.toUtf8().constData());
}

void Describe(QMessageBox& box, EventTable& events) {
  Print("title", box.windowTitle());
  Print("text", box.text());
  Print("icon", QString::number(box.icon()));
  Print("buttons", QString::number(box.buttons().size()));
  Print("ok", box.button(QMessageBox::Ok) ? "yes" : "no");
  Print("owner", box.parentWidget() ? "yes" : "no");
  Print("modal", box.isModal() ? "yes" : "no");
  events.RaiseEvent(EditBoxName, EventKind::kContentChanged);
  std::fflush(stdout);
}

// Waits for the error box, describes it and presses its OK button.
void CloseBoxWhenShown(EventTable& events) {
  QTimer::singleShot(10, [&events] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return CloseBoxWhenShown(events);
    Describe(*box, events);
    box->button(QMessageBox::Ok)->click();
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  EventTable events(
      {{std::string(EditBoxName), EventKind::kContentChanged, [] { std::puts("handler ran"); }},
       {std::string(ButtonName), EventKind::kClicked,
        [] { kept = ::operator new (std::size_t{1} << 46); }}},
      [](std::string_view message, int error_number) {
        lirrevo::ui::ReportFatalError(message, error_number);
      });
  CloseBoxWhenShown(events);
  if (mode == "window") {
    lirrevo::ui::WindowTemplate broken = lirrevo::ui::StartupWindowTemplate();
    broken.controls[4].parent = "nowhere";
    lirrevo::ui::LoadStartupWindow(broken, events);
  } else if (mode == "memory") {
    events.RaiseEvent(ButtonName, EventKind::kClicked);
  }
  std::puts("returned");
  return 0;
}
