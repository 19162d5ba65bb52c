// The count label on a box of many links: its handler alone, a keystroke
// until the new count shows, a paste and a dropped list file until their
// count shows; and the Generate command over the box, from its read to the
// written file, as one file and as parts.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QClipboard>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/document/link_list.h"
#include "core/document/output_encoding.h"
#include "core/generate_command.h"
#include "ui/controls/property_numbers.h"
#include "ui/event_handlers.h"
#include "ui/event_table.h"
#include "ui/main_window.h"

namespace {

using lirrevo::ui::MainWindow;

constexpr int kLines = 100000;
constexpr int kHugeLines = 1000000;

// The links as the system's text with CR LF breaks; `chinese` adds a Chinese path part.
std::string Links(bool chinese, int lines = kLines) {
  std::string text;
  char line[96];
  for (int i = 0; i < lines; ++i) {
    std::snprintf(line, sizeof line, "http://www.example.com/%s/page-%06d.html\r\n",
                  chinese ? "死链/页面" : "dead/page", i);
    text += line;
  }
  return lirrevo::Utf8ToText(text).value_or(std::string());
}

void OnLinksChanged(benchmark::State& state, bool chinese) {
  lirrevo::ui::EventTable events({});
  MainWindow window(events);
  if (!window.Build(lirrevo::ui::StartupWindowTemplate()) ||
      !window.SetProperty(lirrevo::ui::EditBoxName, lirrevo::ui::edit_box::Content,
                          Links(chinese))) {
    state.SkipWithError("the window could not be built");
    return;
  }
  for (auto _ : state) lirrevo::ui::OnLinksChanged(window);
  state.SetItemsProcessed(state.iterations() * kLines);
}

BENCHMARK_CAPTURE(OnLinksChanged, ascii_100000_lines, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OnLinksChanged, chinese_100000_lines, true)->Unit(benchmark::kMillisecond);

// The Generate command on a box of 100,000 links with the Save dialog and
// the message box stood in for: reading the box as the window does,
// checking it, building the document and writing it, with the user's own
// steps left out.
void GenerateClicked(benchmark::State& state) {
  lirrevo::ui::EventTable events({});
  MainWindow window(events);
  const QTemporaryDir folder(QStringLiteral("/tmp/lirrevo-generate-XXXXXX"));
  if (!folder.isValid() || !window.Build(lirrevo::ui::StartupWindowTemplate()) ||
      !window.SetProperty(lirrevo::ui::EditBoxName, lirrevo::ui::edit_box::Content, Links(false))) {
    state.SkipWithError("the window could not be built");
    return;
  }
  const std::string path = folder.filePath(QStringLiteral("sitemap.xml")).toStdString();
  const lirrevo::DateTime date{2024, 5, 6, 7, 8, 9};
  std::string message;
  for (auto _ : state) {
    message.clear();
    lirrevo::GenerateSitemapFile(
        lirrevo::ui::BoxUtf8Reader(window), [&path] { return std::optional<std::string>(path); },
        [&message](const std::string& text) { message = text; }, [&date] { return date; });
    if (message != lirrevo::GenerateSuccessMessage) {
      state.SkipWithError("the document was not written");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(GenerateClicked)->Unit(benchmark::kMillisecond);

// The Generate command on a box of N links past the engines' limits, with the
// question answered "是": counting the parts, then writing them.
void GenerateParts(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  lirrevo::ui::EventTable events({});
  MainWindow window(events);
  const QTemporaryDir folder(QStringLiteral("/tmp/lirrevo-parts-XXXXXX"));
  if (!folder.isValid() || !window.Build(lirrevo::ui::StartupWindowTemplate()) ||
      !window.SetProperty(lirrevo::ui::EditBoxName, lirrevo::ui::edit_box::Content,
                          Links(false, lines))) {
    state.SkipWithError("the window could not be built");
    return;
  }
  const std::string path = folder.filePath(QStringLiteral("dead.xml")).toStdString();
  const lirrevo::DateTime date{2024, 5, 6, 7, 8, 9};
  std::string message;
  for (auto _ : state) {
    lirrevo::GenerateSitemapFile(
        lirrevo::ui::BoxUtf8Reader(window), [&path] { return std::optional<std::string>(path); },
        [&message](const std::string& text) { message = text; }, [&date] { return date; },
        [](const std::string&) { return true; });
    if (message.rfind(lirrevo::GenerateSuccessMessage, 0) != 0) {
      state.SkipWithError("the parts were not written");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(GenerateParts)->Arg(kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(GenerateParts)->Arg(kHugeLines)->Iterations(1)->Unit(benchmark::kMillisecond);

// The window with the program's handler bound to the box's change, as the
// user meets it.
class BoundWindow {
 public:
  BoundWindow() : events_(Bindings()), window_(events_) {
    if (window_.Build(lirrevo::ui::StartupWindowTemplate())) {
      edit_ = window_.findChild<QPlainTextEdit*>(QString::fromUtf8(lirrevo::ui::EditBoxName));
    }
  }

  QPlainTextEdit* Edit() const { return edit_; }
  void Show() {
    window_.ShowFirstTime();
    QCoreApplication::processEvents();
  }
  int handled() const { return handled_; }
  // Whether the label shows the count of `lines` links.
  bool Shows(int lines) const {
    const auto caption = window_.GetProperty(lirrevo::ui::LabelName, lirrevo::ui::label::Caption);
    return caption && std::get<std::string>(*caption) == lirrevo::FormatLinkCount(lines);
  }
  // Changes that the handler does not see.
  template <typename Change>
  void Unbound(Change&& change) {
    bound_ = false;
    change();
    bound_ = true;
  }

 private:
  std::vector<lirrevo::ui::EventBinding> Bindings() {
    std::vector<lirrevo::ui::EventBinding> bindings =
        lirrevo::ui::StartupBindings([this] { return &window_; });
    for (auto& binding : bindings) {
      if (binding.event != lirrevo::ui::EventKind::kContentChanged) continue;
      binding.handler = [this] {
        if (!bound_) return;
        lirrevo::ui::OnLinksChanged(window_);
        ++handled_;
      };
    }
    return bindings;
  }

  lirrevo::ui::EventTable events_;
  MainWindow window_;
  QPlainTextEdit* edit_ = nullptr;
  bool bound_ = true;
  int handled_ = 0;
};

// A paste into the empty box, as the user does it: the edit box takes the
// text, raises its one change and the bound handler recounts. This is how
// long the window is busy before the count shows.
void PasteIntoBox(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  BoundWindow window;
  if (window.Edit() == nullptr) {
    state.SkipWithError("the window could not be built");
    return;
  }
  QGuiApplication::clipboard()->setText(
      QString::fromStdString(lirrevo::TextToUtf8(Links(true, lines)).value_or(std::string())));
  window.Show();
  for (auto _ : state) {
    state.PauseTiming();
    window.Unbound([&window] { window.Edit()->clear(); });
    QCoreApplication::processEvents();
    state.ResumeTiming();
    window.Edit()->paste();
    QCoreApplication::processEvents();  // the window paints the new count
  }
  if (!window.Shows(lines)) state.SkipWithError("the count is wrong");
  state.counters["handler_runs_per_paste"] =
      static_cast<double>(window.handled()) / static_cast<double>(state.iterations());
}
BENCHMARK(PasteIntoBox)->Arg(kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(PasteIntoBox)->Arg(kHugeLines)->Iterations(1)->Unit(benchmark::kMillisecond);

// A UTF-8 list file of 1,000,000 links dropped on the empty box, as a file
// manager drops it, until the label shows its count.
void DropHugeFile(benchmark::State& state) {
  BoundWindow window;
  const QTemporaryDir folder(QStringLiteral("/tmp/lirrevo-drop-XXXXXX"));
  QFile file(folder.filePath(QStringLiteral("links.txt")));
  const std::optional<std::string> links = lirrevo::TextToUtf8(Links(true, kHugeLines));
  if (window.Edit() == nullptr || !links || !file.open(QIODevice::WriteOnly) ||
      file.write(links->data(), static_cast<qint64>(links->size())) < 0) {
    state.SkipWithError("the window or the file could not be made");
    return;
  }
  file.close();
  window.Show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(file.fileName())});
  const QPoint point(10, 10);
  for (auto _ : state) {
    state.PauseTiming();
    window.Unbound([&window] { window.Edit()->clear(); });
    QCoreApplication::processEvents();
    state.ResumeTiming();
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.Edit()->viewport(), &enter);
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.Edit()->viewport(), &drop);
    QCoreApplication::processEvents();  // the window paints the new count
  }
  if (!window.Shows(kHugeLines)) state.SkipWithError("the count is wrong");
}
BENCHMARK(DropHugeFile)->Iterations(1)->Unit(benchmark::kMillisecond);

// One typed character at the end of a box of 1,000,000 links, until the
// label shows the count.
void KeystrokeInHugeBox(benchmark::State& state) {
  BoundWindow window;
  if (window.Edit() == nullptr) {
    state.SkipWithError("the window could not be built");
    return;
  }
  window.Unbound([&window] {
    window.Edit()->setPlainText(QString::fromStdString(
        lirrevo::TextToUtf8(Links(false, kHugeLines)).value_or(std::string())));
    window.Edit()->moveCursor(QTextCursor::End);
  });
  window.Show();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  for (auto _ : state) {
    QApplication::sendEvent(window.Edit(), &press);
    QCoreApplication::processEvents();  // the window paints what changed
  }
  if (!window.Shows(kHugeLines + 1)) state.SkipWithError("the count is wrong");
}
BENCHMARK(KeystrokeInHugeBox)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
