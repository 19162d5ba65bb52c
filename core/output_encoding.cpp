#include "core/output_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <new>
#include <stdexcept>

namespace lirrevo {
namespace {

constexpr std::size_t kMaxGrowths = 11;

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
    if (error != E2BIG) {
      report.error_offset = n - in_left;
      report.truncated = error == EINVAL;
      return {};
    }
    if (report.growths == kMaxGrowths) return {};
    buffer.resize(buffer.size() + growth);
    ++report.growths;
  }
  buffer.resize(produced);
  report.ok = true;
  return buffer;
}

}  // namespace

std::string_view TextToBytes(std::string_view text) { return text.substr(0, text.find('\0')); }

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

std::string EncodeDocument(std::string_view document) {
  const std::string_view bytes = TextToBytes(document);
  // A NUL inside (a box holding one) would cut the document short: the part
  // before it is no document, so that is a failure too.
  if (bytes.size() != document.size()) return {};
  return ConvertEncoding(bytes, "GBK", "UTF-8");
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  ConversionReport report;
  std::string gbk = ConvertEncoding(utf8, "UTF-8", "GBK", &report);
  if (!report.ok) return std::nullopt;
  return gbk;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  ConversionReport report;
  std::string utf8 = ConvertEncoding(gbk, "GBK", "UTF-8", &report);
  if (!report.ok) return std::nullopt;
  return utf8;
}

}  // namespace lirrevo
