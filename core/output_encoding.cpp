#include "core/output_encoding.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>
#include <stdexcept>

#include "core/xml_characters.h"

namespace lirrevo {
namespace {

constexpr std::size_t kMaxGrowths = 11;
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

class Converter {
 public:
  Converter(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// One iconv call over all of the input, growing the work buffer on E2BIG. The
// work buffer becomes the result: its size is cut to the bytes produced. Room
// for the first growth is reserved at once, so that growth copies nothing.
std::string Convert(iconv_t cd, std::string_view input, ConversionReport& report) {
  const std::size_t n = input.size();
  const std::size_t growth = n / 2 + 128;
  std::string buffer;
  buffer.reserve(n + growth);
  buffer.resize(n);
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = n;
  std::size_t produced = 0;
  for (;;) {
    char* out = buffer.data() + produced;
    std::size_t out_left = buffer.size() - produced;
    const std::size_t result = iconv(cd, &in, &in_left, &out, &out_left);
    const int error = errno;
    produced = buffer.size() - out_left;
    report.buffer_size = buffer.size();
    if (result != static_cast<std::size_t>(-1)) break;
    if (error != E2BIG) return {};
    if (report.growths == kMaxGrowths) return {};
    buffer.resize(buffer.size() + growth);
    ++report.growths;
  }
  buffer.resize(produced);
  report.ok = true;
  return buffer;
}

std::optional<std::string> Converted(std::string_view input, const char* from, const char* to) {
  ConversionReport report;
  std::string output = ConvertEncoding(input, from, to, &report);
  if (!report.ok) return std::nullopt;
  return output;
}

// What stands in the output for a sequence that the source encoding does not
// allow, and how many input bytes it takes; a skip of 0 fails the conversion.
struct Resolution {
  std::size_t skip = 0;
  std::string_view replacement;
};

// Converts input to UTF-8 in one pass with one descriptor. At each sequence
// that `from` does not allow, resolve(rest, truncated) decides what happens;
// `rest` starts at that sequence, `truncated` tells that the input ends inside
// a character there.
template <typename Resolve>
std::optional<std::string> ConvertResolving(std::string_view input, const char* from,
                                            Resolve&& resolve) {
  Converter converter(from, "UTF-8");
  if (!converter.valid()) return std::nullopt;
  std::string output(input.size() + input.size() / 2 + 16, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = input.size();
  std::size_t produced = 0;
  while (in_left > 0) {
    char* out = output.data() + produced;
    std::size_t out_left = output.size() - produced;
    const std::size_t result = iconv(converter.get(), &in, &in_left, &out, &out_left);
    const int error = errno;
    produced = output.size() - out_left;
    if (result != static_cast<std::size_t>(-1)) break;
    const Resolution resolution =
        error == E2BIG ? Resolution{} : resolve(std::string_view(in, in_left), error == EINVAL);
    if (error != E2BIG && resolution.skip == 0) return std::nullopt;
    if (error == E2BIG || output.size() - produced < resolution.replacement.size()) {
      output.resize(output.size() + resolution.replacement.size() + in_left * 2 + 16);
    }
    resolution.replacement.copy(output.data() + produced, resolution.replacement.size());
    produced += resolution.replacement.size();
    in += resolution.skip;
    in_left -= resolution.skip;
  }
  output.resize(produced);
  return output;
}

}  // namespace

std::string ConvertEncoding(std::string_view input, const char* from, const char* to,
                            ConversionReport* report) {
  ConversionReport local;
  ConversionReport& r = report ? *report : local;
  r = ConversionReport{};
  Converter converter(from, to);
  if (!converter.valid()) return {};
  if (input.empty()) {
    r.ok = true;
    return {};
  }
  try {
    return Convert(converter.get(), input, r);
  } catch (const std::bad_alloc&) {
    return {};  // no room for the work buffer
  } catch (const std::length_error&) {
    return {};
  }
}

std::optional<std::string> TextToUtf8(std::string_view text) {
  std::optional<std::string> utf8 = Converted(text, kTextEncoding, "UTF-8");
  if (utf8 || text.find(kEuroByte) == std::string_view::npos) return utf8;
  // GBK's one-byte euro sign, which GB18030 lacks. The converter stops where a
  // character begins, so a 0x80 there is never the second byte of another.
  return ConvertResolving(text, kTextEncoding, [](std::string_view rest, bool truncated) {
    return !truncated && rest[0] == kEuroByte ? Resolution{1, kEuroUtf8} : Resolution{};
  });
}

std::optional<std::string> Utf8ToText(std::string_view utf8) {
  return Converted(utf8, "UTF-8", kTextEncoding);
}

bool TextCanHold(char32_t code_point) {
  if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point < 0xE000)) return false;
  if (code_point < kWithoutCode.front().first || code_point > kWithoutCode.back().last) return true;
  return std::none_of(kWithoutCode.begin(), kWithoutCode.end(), [code_point](const CodeRun& run) {
    return code_point >= run.first && code_point <= run.last;
  });
}

std::string ToUtf8MarkingInvalid(std::string_view input, const char* from, std::size_t step) {
  return ConvertResolving(input, from,
                          [step](std::string_view rest, bool truncated) {
                            if (truncated) return Resolution{rest.size(), kTruncatedMark};
                            return Resolution{std::min(step, rest.size()), kInvalidMark};
                          })
      .value_or(std::string());
}

}  // namespace lirrevo
