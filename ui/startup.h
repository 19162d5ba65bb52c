// The program's life: start-up, the event loop, closing and shutdown.
#pragma once

#include <functional>
#include <memory>

namespace lirrevo::ui {

class EventTable;
class MainWindow;
struct WindowTemplate;

// Builds the window from the template, hands it to `built` (so that the
// handlers can reach it), raises its created, moved and resized events and
// shows it. A window that cannot be built is a fatal error ("载入启动窗口失败"):
// nothing is shown and the process ends with -1.
std::unique_ptr<MainWindow> LoadStartupWindow(const WindowTemplate& window, EventTable& events,
                                              const std::function<void(MainWindow&)>& built = {});

// Runs the whole program; the exit code (0 after the window is closed). Qt
// reads its own options from the arguments; the program takes none. The web
// engine is started before the window and released after it.
int RunProgram(int argc, char** argv);

}  // namespace lirrevo::ui
