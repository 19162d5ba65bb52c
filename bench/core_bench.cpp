// Speed of the core on large lists: split and count, build and encode, the
// streamed build of the command line, a plain iconv pass over the same document as the floor to
// compare with, and the file write.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/link_generator.h"
#include "core/file_output.h"
#include "core/link_list.h"
#include "core/output_encoding.h"
#include "core/sitemap_document.h"
#include "core/urlset_stream.h"

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

void BM_CountLinks(benchmark::State& state) {
  const std::string& text = LinkText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(CountLinks(text));
  SetBytes(state, text.size());
}
BENCHMARK(BM_CountLinks)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_BuildAndEncode(benchmark::State& state) {
  const std::string& text = LinkText(static_cast<std::size_t>(state.range(0)));
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string bytes = BuildSitemapDocument([&] { return std::optional<std::string>(text); },
                                                   [] {
                                                     return DateTime{2026, 12, 8};
                                                   });
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

void BM_StreamUrlset(benchmark::State& state) {
  const std::string& text = LinkText(static_cast<std::size_t>(state.range(0)));
  std::size_t size = 0;
  for (auto _ : state) {
    CountingSink sink;
    const UrlsetResult result =
        StreamUrlset(text, ListEncoding::kGbk, DateTime{2026, 12, 8}, UrlsetOptions{}, sink);
    if (!result.ok) std::abort();
    size = sink.bytes;
  }
  state.counters["output_MB"] = static_cast<double>(size) / 1e6;
  SetBytes(state, size);
}
BENCHMARK(BM_StreamUrlset)->Arg(50000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One iconv call from GBK to UTF-8 over the finished 1,000,000-link document:
// what any encoder must at least spend. The plain pass writes into a freshly
// allocated buffer, as a program converting a document once does; the warm
// variant reuses one buffer whose pages are already mapped.
void IconvPass(benchmark::State& state, bool fresh_buffer) {
  const std::string document =
      BuildSitemapText(SplitLinks(LinkText(1000000)), FormatDate({2026, 12, 8}, LastmodDateFormat));
  const std::size_t capacity = document.size() * 3 / 2 + 128;
  char* warm = static_cast<char*>(std::malloc(capacity));
  std::memset(warm, 0, capacity);
  iconv_t cd = iconv_open("UTF-8", "GBK");
  std::size_t produced = 0;
  for (auto _ : state) {
    char* out = fresh_buffer ? static_cast<char*>(std::malloc(capacity)) : warm;
    char* in = const_cast<char*>(document.data());
    std::size_t in_left = document.size();
    char* o = out;
    std::size_t out_left = capacity;
    if (iconv(cd, &in, &in_left, &o, &out_left) == static_cast<std::size_t>(-1)) std::abort();
    produced = capacity - out_left;
    benchmark::DoNotOptimize(out);
    if (fresh_buffer) std::free(out);
  }
  iconv_close(cd);
  std::free(warm);
  SetBytes(state, produced);
}

void BM_IconvFloor(benchmark::State& state) { IconvPass(state, true); }
BENCHMARK(BM_IconvFloor)->Unit(benchmark::kMillisecond);

void BM_IconvFloorWarmBuffer(benchmark::State& state) { IconvPass(state, false); }
BENCHMARK(BM_IconvFloorWarmBuffer)->Unit(benchmark::kMillisecond);

// WriteBytesToFile over an existing file with a 50,000-link document: range 0
// replaces the file atomically, range 1 writes it in place (the file has a
// second name). Both end with fsync, which dominates on most disks.
void BM_WriteBytesToFile(benchmark::State& state) {
  const std::string bytes =
      BuildSitemapDocument([] { return std::optional<std::string>(LinkText(50000)); },
                           [] {
                             return DateTime{2026, 12, 8};
                           });
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
