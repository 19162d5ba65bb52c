// Speed of the core on large lists: split and count, the window's build, the
// command line's one pass over the list and streamed build, and the file write.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/link_generator.h"
#include "core/document/link_list.h"
#include "core/document/list_input.h"
#include "core/document/output_encoding.h"
#include "core/document/sitemap_document.h"
#include "core/files/file_output.h"
#include "tests/support/document_text.h"

namespace {

using namespace lirrevo;

const std::string& LinkText(std::size_t count) {
  static std::string text_100k = bench::GenerateLinkText(100000);
  static std::string text_50k = bench::GenerateLinkText(50000);
  static std::string text_1m = bench::GenerateLinkText(1000000);
  return count == 100000 ? text_100k : count == 50000 ? text_50k : text_1m;
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_SplitLinks(benchmark::State& state) {
  const std::string& text = LinkText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> links = SplitLinks(text);
    benchmark::DoNotOptimize(links.size());
  }
  SetBytes(state, text.size());
}
BENCHMARK(BM_SplitLinks)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_BuildAndEncode(benchmark::State& state) {
  const std::string& text = LinkText(static_cast<std::size_t>(state.range(0)));
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string bytes = test::DocumentOfText(text, DateTime{2026, 12, 8});
    size = bytes.size();
  }
  state.counters["output_MB"] = static_cast<double>(size) / 1e6;
  SetBytes(state, size);
}
BENCHMARK(BM_BuildAndEncode)->Arg(50000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The command line's path: the list (GBK, as the generator writes it) checked,
// built and converted in chunks that a sink takes and drops. Only the runs of
// non-ASCII bytes pass through iconv; memory holds one chunk, not the document.
class CountingSink : public PartSink {
 public:
  bool BeginPart(std::size_t) override { return true; }
  bool Write(std::string_view chunk) override {
    bytes += chunk.size();
    benchmark::DoNotOptimize(chunk.data());
    return true;
  }
  bool EndPart() override { return true; }
  std::size_t bytes = 0;
};

void BM_BuildSitemapDocument(benchmark::State& state) {
  const std::string& text = LinkText(static_cast<std::size_t>(state.range(0)));
  std::size_t size = 0;
  for (auto _ : state) {
    CountingSink sink;
    const DecodedList list = DecodeList(text, ListEncoding::kGbk);
    if (!list.Ok()) std::abort();
    const UrlsetResult result = BuildSitemapDocument(list.Utf8(), LineBreaks::kAny,
                                                     DateTime{2026, 12, 8}, UrlsetOptions{}, sink);
    if (!result.ok) std::abort();
    size = sink.bytes;
  }
  state.counters["output_MB"] = static_cast<double>(size) / 1e6;
  SetBytes(state, size);
}
BENCHMARK(BM_BuildSitemapDocument)->Arg(50000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// WriteBytesToFile over an existing file with a 50,000-link document: range 0
// replaces the file atomically, range 1 writes it in place (the file has a
// second name). Both end with fsync, which dominates on most disks.
void BM_WriteBytesToFile(benchmark::State& state) {
  const std::string bytes = test::DocumentOfText(LinkText(50000), DateTime{2026, 12, 8});
  std::string folder = "/tmp/lirrevo-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) std::abort();
  const std::string path = folder + "/out.xml";
  const std::string second_name = folder + "/other.xml";
  if (!WriteBytesToFile(path, bytes)) std::abort();
  if (state.range(0) == 1 && link(path.c_str(), second_name.c_str()) != 0) std::abort();
  for (auto _ : state) {
    if (!WriteBytesToFile(path, bytes)) std::abort();
  }
  unlink(second_name.c_str());
  unlink(path.c_str());
  rmdir(folder.c_str());
  SetBytes(state, bytes.size());
}
BENCHMARK(BM_WriteBytesToFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
