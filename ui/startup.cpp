#include "ui/startup.h"

#include <QDir>
#include <QIcon>
#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string>

#include "ui/allocation_failure.h"
#include "ui/event_handlers.h"
#include "ui/event_table.h"
#include "ui/fatal_error.h"
#include "ui/main_window.h"
#include "ui/panel/panel_engine.h"
#include "ui/program_application.h"
#include "ui/program_options.h"
#include "ui/toolkit_language.h"

namespace lirrevo::ui {
namespace {

class Program {
 public:
  // Memory that runs out in any event handler ends the program as it does
  // in the system's handlers.
  explicit Program(ProgramApplication& app)
      : events_(StartupBindings([this] { return current_; }), ReportFatalError) {
    app.SetOutOfMemoryHandler([this] { events_.ReportOutOfMemory(); });
  }

  int Run() {
    window_ = LoadStartupWindow(StartupWindowTemplate(), events_,
                                [this](MainWindow& built) { current_ = &built; });
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
    current_ = nullptr;
    window_.reset();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool last = std::none_of(windows.begin(), windows.end(),
                                   [](const QWidget* w) { return w->isVisible(); });
    if (loop_running_ && last) QApplication::exit(0);
  }

  void Shutdown() {
    events_.Suspend();
    current_ = nullptr;
    window_.reset();
  }

  EventTable events_;
  std::unique_ptr<MainWindow> window_;
  MainWindow* current_ = nullptr;  // the window from the moment it is built
  bool loop_running_ = false;
};

}  // namespace

std::unique_ptr<MainWindow> LoadStartupWindow(const WindowTemplate& window, EventTable& events,
                                              const std::function<void(MainWindow&)>& built) {
  auto main_window = std::make_unique<MainWindow>(events);
  bool complete = false;
  ResetFailedAllocationSize();
  try {
    complete = main_window->Build(window);
  } catch (const std::bad_alloc&) {
    main_window.reset();
    events.Suspend();
    ReportFatalError(AllocationFailureMessage(FailedAllocationSize()), 0);
  }
  if (!complete) {
    main_window.reset();
    events.Suspend();
    ReportFatalError(WindowLoadFailedMessage, 0);
  }
  if (built) built(*main_window);
  events.RaiseEvent(WindowSource, EventKind::kCreated);
  events.RaiseEvent(WindowSource, EventKind::kMoved);
  events.RaiseEvent(WindowSource, EventKind::kResized);
  main_window->ShowFirstTime();
  return main_window;
}

int RunProgram(int argc, char** argv) {
  if (const std::optional<std::string> text = TextInsteadOfWindow(argc, argv)) {
    return std::fputs(text->c_str(), stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
  }
  // Nothing is kept between runs: Qt and the OpenGL driver (Mesa) would keep
  // compiled shaders in the home folder's cache.
  qputenv("QT_DISABLE_SHADER_DISK_CACHE", "1");
  qputenv("MESA_SHADER_CACHE_DISABLE", "true");
  qputenv("MESA_GLSL_CACHE_DISABLE", "true");
  PreparePanelEngine();
  int code = 0;
  {
    ProgramApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The installed desktop entry and icon, so that the desktop shows the
    // window under the menu entry's name and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.lirrevo.Lirrevo"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("lirrevo")));
    InstallToolkitLanguage(app);
    // The program's folder is the current directory.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    StartPanelEngine();
    {
      Program program(app);
      code = program.Run();
    }
    StopPanelEngine();
  }
  // The engine has shut down with the application; its helper processes
  // would linger a while longer on their own.
  EndHelperProcesses();
  return code;
}

}  // namespace lirrevo::ui
