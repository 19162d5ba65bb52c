// ConvertEncoding against one plain iconv call with a generous buffer: same
// bytes, same failure, same place of failure. To UTF-8, the conversion that marks invalid
// input gives the same bytes up to the first failure, then its mark; and the
// system's text (GB18030) converts as plain iconv does.
#include <fuzzer/FuzzedDataProvider.h>
#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "core/document/output_encoding.h"
#include "fuzz/fuzz_support.h"

namespace {

using lirrevo::fuzz::Require;

struct Direction {
  const char* from;
  const char* to;
};
// UTF-32 output needs several growths of the output; the others one at most.
constexpr Direction kDirections[] = {
    {"GBK", "UTF-8"},     {"UTF-8", "GBK"},     {"GBK", "UTF-16LE"},  {"UTF-8", "UTF-32LE"},
    {"GB18030", "UTF-8"}, {"UTF-8", "GB18030"}, {"UTF-16LE", "UTF-8"}};

struct Outcome {
  bool ok = false;
  std::string bytes;
  int error = 0;
};

Outcome PlainIconv(std::string_view input, const Direction& direction) {
  Outcome outcome;
  const iconv_t cd = iconv_open(direction.to, direction.from);
  Require(cd != reinterpret_cast<iconv_t>(-1), "iconv knows the encoding names");
  std::string out(input.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  char* out_pos = out.data();
  std::size_t out_left = out.size();
  outcome.ok = iconv(cd, &in, &in_left, &out_pos, &out_left) != static_cast<std::size_t>(-1);
  outcome.error = errno;
  iconv_close(cd);
  out.resize(out.size() - out_left);
  outcome.bytes = std::move(out);
  return outcome;
}

// Mostly well-formed GBK: ASCII kept, other bytes become a lead byte
// 0x81-0xFE with a trail byte from the next input byte (0x40-0xFE, so now and
// then the undefined 0x7F or a pair that maps to nothing).
std::string ShapeAsGbk(std::string_view raw) {
  std::string gbk;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto b = static_cast<unsigned char>(raw[i]);
    if (b < 0x80) {
      gbk += static_cast<char>(b);
      continue;
    }
    gbk += static_cast<char>(0x81 + b % 0x7E);
    if (i + 1 < raw.size())
      gbk += static_cast<char>(0x40 + static_cast<unsigned char>(raw[++i]) % 0xBF);
  }
  return gbk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const Direction& direction =
      kDirections[provider.ConsumeIntegralInRange<std::size_t>(0, std::size(kDirections) - 1)];
  const bool shaped = provider.ConsumeBool();
  std::string input = provider.ConsumeRemainingBytesAsString();
  const std::string_view from = direction.from;
  if (shaped && from.starts_with("GB")) input = ShapeAsGbk(input);

  const std::optional<std::string> result =
      lirrevo::ConvertEncoding(input, direction.from, direction.to);
  const Outcome expected = PlainIconv(input, direction);

  Require(result.has_value() == expected.ok, "same success as plain iconv");
  if (expected.ok) Require(*result == expected.bytes, "same bytes as plain iconv");
  if (std::string_view(direction.to) == "UTF-8") {
    const std::string marked =
        lirrevo::ToUtf8MarkingInvalid(input, direction.from, from == "UTF-16LE" ? 2 : 1);
    Require(marked.starts_with(expected.bytes), "marked conversion agrees up to the failure");
    if (!expected.ok) {
      const char mark = static_cast<char>(expected.error == EINVAL ? 0xFE : 0xFF);
      Require(marked.size() > expected.bytes.size() && marked[expected.bytes.size()] == mark,
              "the failure is marked");
    }
  }
  if (from == "GB18030") {
    const std::optional<std::string> text = lirrevo::TextToUtf8(input);
    if (expected.ok) Require(text == expected.bytes, "the text converts as plain iconv does");
    if (input.find('\x80') == std::string::npos) {
      Require(text.has_value() == expected.ok, "without a 0x80 the text is plain GB18030");
    }
  }
  return 0;
}
