// fatal_error_probe window|memory|engine|paste: meets a fatal error
// of that kind, prints what the error box shows, raises an event while the
// box is open and closes the box. The process must then end with exit code
// -1. "engine" runs out of memory once the window's web panel has loaded its
// page, so that the web engine's helper processes are running. "paste" runs
// out inside the toolkit's own handling of the edit box: a million links are
// pasted while every large block of the C library is refused. Under a
// sanitizer, whose runtime owns malloc, it ends with 77 at once.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#if LIRREVO_WEBENGINE
#include <QWebEngineView>
#endif

#include "ui/controls/web_panel_control.h"
#include "ui/event_handlers.h"
#include "ui/event_table.h"
#include "ui/fatal_error.h"
#include "ui/main_window.h"
#include "ui/panel/panel_engine.h"
#include "ui/program_application.h"
#include "ui/startup.h"
#include "ui/window_template.h"

using lirrevo::ui::ButtonName;
using lirrevo::ui::EditBoxName;
using lirrevo::ui::EventKind;
using lirrevo::ui::EventTable;

namespace {

void* volatile kept = nullptr;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kOwnMalloc = false;
bool refuse_large_blocks = false;
#else
constexpr bool kOwnMalloc = true;
bool refuse_large_blocks = false;  // from now on malloc and realloc give no block of 32 MiB or more
constexpr std::size_t kLargeBlock = std::size_t{32} << 20;
#endif

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
  // Room for the title beside the icon and the buttons; the close button alone.
  const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
  const int button = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
  Print("fits",
        box.width() >= title.horizontalAdvance(box.windowTitle()) + 4 * button ? "yes" : "no");
  const auto buttons =
      Qt::CustomizeWindowHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
  Print("frame", QString::number(int(box.windowFlags() & buttons), 16));
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

// A million links pasted into the box while large blocks are refused.
void RunOutInAPaste(lirrevo::ui::MainWindow& window) {
  auto* edit = window.findChild<QPlainTextEdit*>();
  QString links;
  for (int i = 0; i < 1000000; ++i) {
    links += QStringLiteral("http://www.example.com/dead/page-%1.html\n").arg(i);
  }
  QGuiApplication::clipboard()->setText(links);
  links.clear();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
  std::puts("pasting");
  std::fflush(stdout);
  refuse_large_blocks = true;
  QApplication::sendEvent(edit, &press);
  refuse_large_blocks = false;
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);

extern "C" void* malloc(std::size_t size) {
  return refuse_large_blocks && size >= kLargeBlock ? nullptr : __libc_malloc(size);
}

extern "C" void* realloc(void* block, std::size_t size) {
  return refuse_large_blocks && size >= kLargeBlock ? nullptr : __libc_realloc(block, size);
}
#endif

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "paste" && !kOwnMalloc) return 77;
  if (mode == "engine" || mode == "paste") lirrevo::ui::PreparePanelEngine();
  lirrevo::ui::ProgramApplication app(argc, argv);
  EventTable events(
      {{std::string(EditBoxName), EventKind::kContentChanged, [] { std::puts("handler ran"); }},
       {std::string(ButtonName), EventKind::kClicked,
        [] { kept = ::operator new (std::size_t{1} << 46); }}},
      [](std::string_view message, int error_number) {
        lirrevo::ui::ReportFatalError(message, error_number);
      });
  app.SetOutOfMemoryHandler([&events] { events.ReportOutOfMemory(); });
  CloseBoxWhenShown(events);
  if (mode == "window") {
    lirrevo::ui::WindowTemplate broken = lirrevo::ui::StartupWindowTemplate();
    broken.controls[4].parent = "nowhere";
    lirrevo::ui::LoadStartupWindow(broken, events);
  } else if (mode == "memory") {
    events.RaiseEvent(ButtonName, EventKind::kClicked);
  } else if (mode == "paste") {
    std::unique_ptr<lirrevo::ui::MainWindow> window =
        lirrevo::ui::LoadStartupWindow(lirrevo::ui::StartupWindowTemplate(), events);
    RunOutInAPaste(*window);
  } else if (mode == "engine") {
    lirrevo::ui::StartPanelEngine();
    std::unique_ptr<lirrevo::ui::MainWindow> window =
        lirrevo::ui::LoadStartupWindow(lirrevo::ui::StartupWindowTemplate(), events);
    const auto run_out = [&events] {
      std::puts("page loaded");
      events.RaiseEvent(ButtonName, EventKind::kClicked);
    };
#if LIRREVO_WEBENGINE
    auto& panel = dynamic_cast<lirrevo::ui::WebPanelControl&>(
        *window->FindControl(lirrevo::ui::WebPanelName));
    QObject::connect(static_cast<QWebEngineView*>(panel.View()), &QWebEngineView::loadFinished,
                     run_out);
    lirrevo::ui::OnWindowCreated(*window);
    return QApplication::exec();
#else
    lirrevo::ui::OnWindowCreated(*window);
    run_out();
#endif
  }
  std::puts("returned");
  return 0;
}
