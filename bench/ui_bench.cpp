// The count label's handler on a box of 100,000 links: read the box, convert,
// split, count and set the caption, as every keystroke does.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QClipboard>
#include <QPlainTextEdit>
#include <cstdio>
#include <string>
#include <vector>

#include "core/output_encoding.h"
#include "ui/controls/property_numbers.h"
#include "ui/event_handlers.h"
#include "ui/event_table.h"
#include "ui/main_window.h"
#include "ui/window_template.h"

using lirrevo::ui::EditBoxName;

namespace {

using lirrevo::ui::MainWindow;

constexpr int kLines = 100000;

// The links as GBK text with CR LF breaks; `chinese` adds a Chinese path part.
std::string Links(bool chinese) {
  std::string text;
  char line[96];
  for (int i = 0; i < kLines; ++i) {
    std::snprintf(line, sizeof line, "http://www.example.com/%s/page-%06d.html\r\n",
                  chinese ? "死链/页面" : "dead/page", i);
    text += line;
  }
  return lirrevo::Utf8ToGbk(text).value_or(std::string());
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

// A paste of 100,000 lines into the empty box, as the user does it: the edit
// box takes the text, raises its one change and the bound handler recounts.
// This is how long the window is busy before it answers the user again.
void PasteIntoBox(benchmark::State& state) {
  MainWindow* bound = nullptr;
  int handled = 0;
  std::vector<lirrevo::ui::EventBinding> bindings =
      lirrevo::ui::StartupBindings([&bound] { return bound; });
  for (auto& binding : bindings) {
    if (binding.event != lirrevo::ui::EventKind::kContentChanged) continue;
    binding.handler = [&bound, &handled] {
      if (bound == nullptr) return;
      lirrevo::ui::OnLinksChanged(*bound);
      ++handled;
    };
  }
  lirrevo::ui::EventTable events(std::move(bindings));
  MainWindow window(events);
  QPlainTextEdit* edit = nullptr;
  if (!window.Build(lirrevo::ui::StartupWindowTemplate()) ||
      (edit = window.findChild<QPlainTextEdit*>(QString::fromUtf8(EditBoxName))) == nullptr) {
    state.SkipWithError("the window could not be built");
    return;
  }
  QGuiApplication::clipboard()->setText(
      QString::fromStdString(lirrevo::GbkToUtf8(Links(true)).value_or(std::string())));
  for (auto _ : state) {
    state.PauseTiming();
    bound = nullptr;
    edit->clear();
    bound = &window;
    state.ResumeTiming();
    edit->paste();
  }
  state.counters["handler_runs_per_paste"] =
      static_cast<double>(handled) / static_cast<double>(state.iterations());
}
BENCHMARK(PasteIntoBox)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
