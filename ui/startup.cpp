#include "ui/startup.h"

#include <QApplication>
#include <QDir>
#include <algorithm>
#include <new>

#include "ui/allocation_failure.h"
#include "ui/event_handlers.h"
#include "ui/event_table.h"
#include "ui/fatal_error.h"
#include "ui/main_window.h"

namespace lirrevo::ui {
namespace {

class Program {
 public:
  Program() : events_(StartupBindings([this] { return window_.get(); })) {}

  int Run() {
    window_ = LoadStartupWindow(StartupWindowTemplate(), events_);
    QObject::connect(
        window_.get(), &MainWindow::Closed, qApp, [this] { OnWindowClosed(); },
        Qt::QueuedConnection);
    loop_running_ = true;
    const int code = QApplication::exec();
    Shutdown();
    return code;
  }

 private:
  // The window has accepted closing: it goes away (raising its destroyed
  // event), and with no other window left the loop ends with 0.
  void OnWindowClosed() {
    window_.reset();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool last = std::none_of(windows.begin(), windows.end(),
                                   [](const QWidget* w) { return w->isVisible(); });
    if (loop_running_ && last) QApplication::exit(0);
  }

  void Shutdown() {
    events_.Suspend();
    window_.reset();
  }

  EventTable events_;
  std::unique_ptr<MainWindow> window_;
  bool loop_running_ = false;
};

}  // namespace

void MakeProgramFolderCurrent() { QDir::setCurrent(QCoreApplication::applicationDirPath()); }

std::unique_ptr<MainWindow> LoadStartupWindow(const WindowTemplate& window, EventTable& events) {
  auto main_window = std::make_unique<MainWindow>(events);
  bool built = false;
  ResetFailedAllocationSize();
  try {
    built = main_window->Build(window);
  } catch (const std::bad_alloc&) {
    main_window.reset();
    ReportFatalError(AllocationFailureMessage(FailedAllocationSize()), 0, &events);
  }
  if (!built) {
    main_window.reset();
    ReportFatalError(WindowLoadFailedMessage, 0, &events);
  }
  events.RaiseEvent(WindowSource, EventKind::kCreated);
  events.RaiseEvent(WindowSource, EventKind::kMoved);
  events.RaiseEvent(WindowSource, EventKind::kResized);
  main_window->ShowFirstTime();
  return main_window;
}

int RunProgram(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  MakeProgramFolderCurrent();
  Program program;
  return program.Run();
}

}  // namespace lirrevo::ui
