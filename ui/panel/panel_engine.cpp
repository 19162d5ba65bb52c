#include "ui/panel/panel_engine.h"

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

#if LIRREVO_WEBENGINE
#include <QWebEngineProfile>
#endif

namespace lirrevo::ui {
namespace {

constexpr std::string_view kNoSandbox = "--no-sandbox";
constexpr char kFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";

#if LIRREVO_WEBENGINE
QWebEngineProfile*& Profile() {
  static QWebEngineProfile* profile = nullptr;
  return profile;
}
#endif

}  // namespace

std::string EngineFlags(std::string_view flags, bool as_root) {
  std::string result(flags);
  if (!as_root) return result;
  for (std::size_t at = result.find(kNoSandbox); at != std::string::npos;
       at = result.find(kNoSandbox, at + 1)) {
    const std::size_t end = at + kNoSandbox.size();
    const bool starts_word = at == 0 || result[at - 1] == ' ';
    const bool ends_word = end == result.size() || result[end] == ' ';
    if (starts_word && ends_word) return result;
  }
  if (!result.empty()) result += ' ';
  return result.append(kNoSandbox);
}

void PreparePanelEngine() {
#if LIRREVO_WEBENGINE
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
}

void StartPanelEngine() {
#if LIRREVO_WEBENGINE
  PanelProfile();
#endif
}

void StopPanelEngine() {
#if LIRREVO_WEBENGINE
  delete Profile();
  Profile() = nullptr;
#endif
}

#if LIRREVO_WEBENGINE
QWebEngineProfile* PanelProfile() {
  QWebEngineProfile*& profile = Profile();
  if (profile == nullptr) {
    // The engine reads its flags once, when it starts with the first profile.
    const QByteArray flags = qgetenv(kFlagsVariable);
    qputenv(kFlagsVariable,
            QByteArray::fromStdString(EngineFlags(flags.toStdString(), geteuid() == 0)));
    profile = new QWebEngineProfile(QCoreApplication::instance());
  }
  return profile;
}
#endif

}  // namespace lirrevo::ui
