// The web engine that the web panel needs: set up once at start-up, before
// the window, and released at exit. Where the program is built without Qt
// WebEngine these do nothing.
#pragma once

#include <string>
#include <string_view>

class QWebEngineProfile;

namespace lirrevo::ui {

// The engine's extra command-line flags: `flags` with --no-sandbox added
// when the process runs as root (the engine's sandbox refuses to run then),
// unchanged otherwise.
std::string EngineFlags(std::string_view flags, bool as_root);

// Before the application object exists: what the engine needs of Qt. The
// program also becomes the parent of every process that its helpers leave
// behind, so that EndHelperProcesses finds them all.
void PreparePanelEngine();
// Starts the engine (its first use would start it too).
void StartPanelEngine();
// Releases the engine; every panel must be gone by then.
void StopPanelEngine();
// Ends the engine's helper processes (every child process of the program is
// one) and waits until they are gone: asked to end, then forced after a
// second. At exit, so that none is left when the exit code is delivered.
void EndHelperProcesses();

#if LIRREVO_WEBENGINE
// The engine's profile for the panel: in memory only, so that nothing of a
// run is kept on disk. Starts the engine on first use.
QWebEngineProfile* PanelProfile();
#endif

}  // namespace lirrevo::ui
