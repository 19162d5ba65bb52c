#include "core/document/output_encoding.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <stdexcept>

#include "core/document/xml_characters.h"

namespace lirrevo {
namespace {

constexpr const char* kTextEncoding = "GB18030";
constexpr char kEuroByte = static_cast<char>(0x80);
constexpr std::string_view kEuroUtf8 = "\xE2\x82\xAC";
constexpr std::string_view kInvalidMark = "\xFF";
constexpr std::string_view kTruncatedMark = "\xFE";

struct CodeRun {
  char32_t first;
  char32_t last;
};

// The private-use characters that the desktop's GB18030 converter (glibc's)
// has no code for: it reads their old codes as the characters' later standard
// code points (U+FE10-U+FE19, U+20087, ...). Every other scalar value has a code.
constexpr std::array<CodeRun, 10> kWithoutCode{{{0xE78D, 0xE796},
                                                {0xE816, 0xE818},
                                                {0xE81E, 0xE81E},
                                                {0xE826, 0xE826},
                                                {0xE82B, 0xE82C},
                                                {0xE831, 0xE832},
                                                {0xE83B, 0xE83B},
                                                {0xE843, 0xE843},
                                                {0xE854, 0xE855},
                                                {0xE864, 0xE864}}};

// What stands in the output for a sequence that the source encoding does not
// allow, and how many input bytes it takes; a skip of 0 fails the conversion.
struct Resolution {
  std::size_t skip = 0;
  std::string_view replacement;
};

// Converts input in one pass with one descriptor, growing the output as it
// fills. At each sequence that `from` does not allow, resolve(rest, truncated)
// decides what happens; `rest` starts at that sequence, `truncated` tells
// that the input ends inside a character there.
template <typename Resolve>
std::optional<std::string> ConvertResolving(std::string_view input, const char* from,
                                            const char* to, Resolve&& resolve) {
  EncodingConverter converter(from, to);
  if (!converter.Valid()) return std::nullopt;
  std::string output(input.size() + input.size() / 2 + 16, '\0');
  std::size_t produced = 0;
  while (!input.empty()) {
    char* out = output.data() + produced;
    std::size_t out_left = output.size() - produced;
    const bool done = converter.Convert(input, out, out_left);
    const int error = errno;
    produced = output.size() - out_left;
    if (done) break;
    const Resolution resolution = error == E2BIG ? Resolution{} : resolve(input, error == EINVAL);
    if (error != E2BIG && resolution.skip == 0) return std::nullopt;
    if (error == E2BIG || output.size() - produced < resolution.replacement.size()) {
      output.resize(output.size() + resolution.replacement.size() + input.size() * 2 + 16);
    }
    resolution.replacement.copy(output.data() + produced, resolution.replacement.size());
    produced += resolution.replacement.size();
    input.remove_prefix(resolution.skip);
  }
  output.resize(produced);
  return output;
}

}  // namespace

EncodingConverter::EncodingConverter(const char* from, const char* to)
    : cd_(iconv_open(to, from)) {}

EncodingConverter::~EncodingConverter() {
  if (Valid()) iconv_close(cd_);
}

bool EncodingConverter::Convert(std::string_view& in, char*& out, std::size_t& room) {
  char* from = const_cast<char*>(in.data());
  std::size_t left = in.size();
  const bool done = iconv(cd_, &from, &left, &out, &room) != static_cast<std::size_t>(-1);
  const int error = errno;
  in.remove_prefix(in.size() - left);
  errno = error;
  return done;
}

void EncodingConverter::Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

std::optional<std::string> ConvertEncoding(std::string_view input, const char* from,
                                           const char* to) {
  try {
    return ConvertResolving(input, from, to, [](std::string_view, bool) { return Resolution{}; });
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // no room for the output
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

std::optional<std::string> TextToUtf8(std::string_view text) {
  std::optional<std::string> utf8 = ConvertEncoding(text, kTextEncoding, "UTF-8");
  if (utf8 || text.find(kEuroByte) == std::string_view::npos) return utf8;
  // GBK's one-byte euro sign, which GB18030 lacks. The converter stops where a
  // character begins, so a 0x80 there is never the second byte of another.
  return ConvertResolving(text, kTextEncoding, "UTF-8", [](std::string_view rest, bool truncated) {
    return !truncated && rest[0] == kEuroByte ? Resolution{1, kEuroUtf8} : Resolution{};
  });
}

std::optional<std::string> Utf8ToText(std::string_view utf8) {
  return ConvertEncoding(utf8, "UTF-8", kTextEncoding);
}

bool TextCanHold(char32_t code_point) {
  if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point < 0xE000)) return false;
  if (code_point < kWithoutCode.front().first || code_point > kWithoutCode.back().last) return true;
  return std::none_of(kWithoutCode.begin(), kWithoutCode.end(), [code_point](const CodeRun& run) {
    return code_point >= run.first && code_point <= run.last;
  });
}

std::string ToUtf8MarkingInvalid(std::string_view input, const char* from, std::size_t step) {
  return ConvertResolving(input, from, "UTF-8",
                          [step](std::string_view rest, bool truncated) {
                            if (truncated) return Resolution{rest.size(), kTruncatedMark};
                            return Resolution{std::min(step, rest.size()), kInvalidMark};
                          })
      .value_or(std::string());
}

}  // namespace lirrevo
