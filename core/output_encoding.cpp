#include "core/output_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace lirrevo {
namespace {

constexpr std::size_t kMaxGrowths = 11;

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<char, FreeDeleter>;

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

// One iconv call over all of the input, growing the work buffer on E2BIG.
std::string Convert(iconv_t cd, std::string_view input, ConversionReport& report) {
  const std::size_t n = input.size();
  std::size_t size = n;
  Buffer buffer(static_cast<char*>(std::malloc(size)));
  if (!buffer) return {};
  char* in = const_cast<char*>(input.data());
  std::size_t in_left = n;
  char* out = buffer.get();
  std::size_t out_left = size;
  while (iconv(cd, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
    if (errno != E2BIG) {
      report.error_offset = n - in_left;
      report.truncated = errno == EINVAL;
      report.buffer_size = size;
      return {};
    }
    if (report.growths == kMaxGrowths) return {};
    const std::size_t produced = size - out_left;
    const std::size_t growth = n / 2 + 128;
    char* grown = static_cast<char*>(std::realloc(buffer.get(), size + growth));
    if (!grown) return {};
    buffer.release();
    buffer.reset(grown);
    size += growth;
    ++report.growths;
    out = buffer.get() + produced;
    out_left += growth;
  }
  report.buffer_size = size;
  report.ok = true;
  return std::string(buffer.get(), size - out_left);
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
  return Convert(converter.get(), input, r);
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
