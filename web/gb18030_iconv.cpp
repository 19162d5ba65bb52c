// The page's iconv: GB18030 to UTF-8 and back, with the tables the build
// reads from the desktop's C library, so that the page codes every character
// as the desktop program does. The browser's C library would convert GB18030
// only one way, and GBK differently at its edges. Only these two directions
// exist here; every other pair of names is refused as an unknown one.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

struct FourByteRun {
  std::uint32_t index;  // of the run's first code among all four-byte codes
  std::uint32_t code_point;
  std::uint32_t length;
};

struct CodeException {
  std::uint32_t code_point;
  const char* code;
  std::size_t size;  // 0: the code point has no code
};

#include "gb18030_tables.inc"

enum Direction : std::uintptr_t { kToText = 1, kToUtf8 = 2 };

bool IsName(const char* name, std::string_view expected) {
  return std::string_view(name).size() == expected.size() &&
         std::equal(expected.begin(), expected.end(), name,
                    [](char a, char b) { return a == (b >= 'a' && b <= 'z' ? b - 32 : b); });
}

bool IsUtf8(const char* name) { return IsName(name, "UTF-8") || IsName(name, "UTF8"); }

// A code packed in 32 bits: 0 none, below 0x10000 two bytes, else four.
using PackedCode = std::uint32_t;

class Encoder {
 public:
  Encoder() : bmp_(0x10000, 0) {
    for (std::uint32_t i = 0; i < kTwoByteToUnicode.size(); ++i) {
      const std::uint32_t c = kTwoByteToUnicode[i];
      const std::uint32_t trail = i % 190;
      Remember(c, ((0x81 + i / 190) << 8) | (trail < 0x3F ? 0x40 + trail : 0x41 + trail));
    }
    for (const FourByteRun& run : kFourByteRuns) {
      for (std::uint32_t k = 0; k < run.length && run.code_point + k < 0x10000; ++k) {
        Remember(run.code_point + k, FourByteCode(run.index + k));
      }
      if (run.code_point + run.length > 0x10000) wide_runs_.push_back(run);
    }
    std::sort(wide_runs_.begin(), wide_runs_.end(), [](const FourByteRun& a, const FourByteRun& b) {
      return a.code_point < b.code_point;
    });
  }

  // The code of c (at or above 0x80), 0 when it has none.
  PackedCode Find(std::uint32_t c) const {
    for (const CodeException& e : kCodeExceptions) {
      if (e.code_point == c) return Pack(e.code, e.size);
    }
    if (c < 0x10000) return bmp_[c];
    if (const PackedCode code = FindWideTwoByte(c); code != 0) return code;
    auto run = std::upper_bound(
        wide_runs_.begin(), wide_runs_.end(), c,
        [](std::uint32_t value, const FourByteRun& r) { return value < r.code_point; });
    if (run == wide_runs_.begin()) return 0;
    --run;
    if (c < run->code_point || c >= run->code_point + run->length) return 0;
    return FourByteCode(run->index + (c - run->code_point));
  }

 private:
  PackedCode FindWideTwoByte(std::uint32_t c) const {
    for (const auto& [code_point, code] : wide_two_byte_) {
      if (code_point == c) return code;
    }
    return 0;
  }

  static PackedCode FourByteCode(std::uint32_t index) {
    const std::uint32_t b4 = 0x30 + index % 10;
    index /= 10;
    const std::uint32_t b3 = 0x81 + index % 126;
    index /= 126;
    const std::uint32_t b2 = 0x30 + index % 10;
    const std::uint32_t b1 = 0x81 + index / 10;
    return (b1 << 24) | (b2 << 16) | (b3 << 8) | b4;
  }

  static PackedCode Pack(const char* code, std::size_t size) {
    PackedCode packed = 0;
    for (std::size_t i = 0; i < size; ++i)
      packed = (packed << 8) | static_cast<unsigned char>(code[i]);
    return packed;
  }

  // The first code that decodes to c is its code, as decoding leads back.
  void Remember(std::uint32_t c, PackedCode code) {
    if (c == 0) return;
    if (c < 0x10000) {
      if (bmp_[c] == 0) bmp_[c] = code;
    } else if (FindWideTwoByte(c) == 0) {
      wide_two_byte_.emplace_back(c, code);
    }
  }

  std::vector<PackedCode> bmp_;
  // The few supplementary code points that have a two-byte code.
  std::vector<std::pair<std::uint32_t, PackedCode>> wide_two_byte_;
  std::vector<FourByteRun> wide_runs_;
};

const Encoder& TheEncoder() {
  static const Encoder encoder;
  return encoder;
}

// The code point of four-byte code `index`, 0 when it has none.
std::uint32_t DecodeFourByte(std::uint32_t index) {
  auto run =
      std::upper_bound(kFourByteRuns.begin(), kFourByteRuns.end(), index,
                       [](std::uint32_t value, const FourByteRun& r) { return value < r.index; });
  if (run == kFourByteRuns.begin()) return 0;
  --run;
  return index < run->index + run->length ? run->code_point + (index - run->index) : 0;
}

std::size_t Utf8Length(std::uint32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

void PutUtf8(std::uint32_t c, unsigned char* out) {
  switch (Utf8Length(c)) {
    case 1:
      out[0] = static_cast<unsigned char>(c);
      return;
    case 2:
      out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      break;
    case 3:
      out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      break;
    default:
      out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
      out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  }
  out[Utf8Length(c) - 1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
}

// One character read: its code point and length, or an error number.
struct Read {
  std::uint32_t code_point = 0;
  std::size_t length = 0;
  int error = 0;
};

Read ReadGb18030(const unsigned char* p, std::size_t n) {
  const unsigned b1 = p[0];
  if (b1 < 0x80) return {b1, 1, 0};
  if (b1 == 0x80 || b1 == 0xFF) return {0, 0, EILSEQ};
  if (n < 2) return {0, 0, EINVAL};
  const unsigned b2 = p[1];
  if (b2 >= 0x30 && b2 <= 0x39) {
    if (n < 4) return {0, 0, EINVAL};
    const unsigned b3 = p[2];
    const unsigned b4 = p[3];
    if (b3 < 0x81 || b3 > 0xFE || b4 < 0x30 || b4 > 0x39) return {0, 0, EILSEQ};
    const std::uint32_t c =
        DecodeFourByte((((b1 - 0x81) * 10 + (b2 - 0x30)) * 126 + (b3 - 0x81)) * 10 + (b4 - 0x30));
    return c == 0 ? Read{0, 0, EILSEQ} : Read{c, 4, 0};
  }
  if (b2 < 0x40 || b2 == 0x7F || b2 == 0xFF) return {0, 0, EILSEQ};
  const std::uint32_t c =
      kTwoByteToUnicode[(b1 - 0x81) * 190 + (b2 < 0x7F ? b2 - 0x40 : b2 - 0x41)];
  return c == 0 ? Read{0, 0, EILSEQ} : Read{c, 2, 0};
}

Read ReadUtf8(const unsigned char* p, std::size_t n) {
  const unsigned b1 = p[0];
  if (b1 < 0x80) return {b1, 1, 0};
  std::size_t length;
  std::uint32_t c;
  std::uint32_t least;
  if (b1 >= 0xC2 && b1 <= 0xDF) {
    length = 2, c = b1 & 0x1F, least = 0x80;
  } else if (b1 >= 0xE0 && b1 <= 0xEF) {
    length = 3, c = b1 & 0x0F, least = 0x800;
  } else if (b1 >= 0xF0 && b1 <= 0xF4) {
    length = 4, c = b1 & 0x07, least = 0x10000;
  } else {
    return {0, 0, EILSEQ};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= n) return {0, 0, EINVAL};
    if ((p[i] & 0xC0) != 0x80) return {0, 0, EILSEQ};
    c = (c << 6) | (p[i] & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return {0, 0, EILSEQ};
  return {c, length, 0};
}

std::size_t CodeLength(PackedCode code) { return code < 0x10000 ? 2 : 4; }

void PutCode(PackedCode code, unsigned char* out) {
  const std::size_t n = CodeLength(code);
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<unsigned char>(code >> (8 * (n - 1 - i)));
}

std::size_t Fail(int error) {
  errno = error;
  return static_cast<std::size_t>(-1);
}

}  // namespace

extern "C" {

iconv_t iconv_open(const char* to, const char* from) {
  if (IsName(to, "GB18030") && IsUtf8(from)) return reinterpret_cast<iconv_t>(kToText);
  if (IsUtf8(to) && IsName(from, "GB18030")) return reinterpret_cast<iconv_t>(kToUtf8);
  errno = EINVAL;
  return reinterpret_cast<iconv_t>(-1);
}

int iconv_close(iconv_t) { return 0; }

std::size_t iconv(iconv_t cd, char** in, std::size_t* in_left, char** out, std::size_t* out_left) {
  if (in == nullptr || *in == nullptr) return 0;  // no shift state to reset
  const bool to_text = reinterpret_cast<std::uintptr_t>(cd) == kToText;
  const Encoder* encoder = to_text ? &TheEncoder() : nullptr;
  auto* p = reinterpret_cast<const unsigned char*>(*in);
  auto* q = reinterpret_cast<unsigned char*>(*out);
  std::size_t n = *in_left;
  std::size_t room = *out_left;
  int error = 0;
  while (n > 0) {
    // Plain ASCII is the same bytes in both encodings.
    std::size_t plain = 0;
    const std::size_t most = std::min(n, room);
    while (plain < most && p[plain] < 0x80) ++plain;
    std::memcpy(q, p, plain);
    p += plain, q += plain, n -= plain, room -= plain;
    if (n == 0) break;
    if (p[0] < 0x80) {
      error = E2BIG;
      break;
    }
    const Read read = to_text ? ReadUtf8(p, n) : ReadGb18030(p, n);
    if (read.error != 0) {
      error = read.error;
      break;
    }
    std::size_t written;
    if (to_text) {
      const PackedCode code = encoder->Find(read.code_point);
      if (code == 0) {
        error = EILSEQ;
        break;
      }
      written = CodeLength(code);
      if (written > room) {
        error = E2BIG;
        break;
      }
      PutCode(code, q);
    } else {
      written = Utf8Length(read.code_point);
      if (written > room) {
        error = E2BIG;
        break;
      }
      PutUtf8(read.code_point, q);
    }
    p += read.length, n -= read.length, q += written, room -= written;
  }
  *in = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
  *in_left = n;
  *out = reinterpret_cast<char*>(q);
  *out_left = room;
  return error == 0 ? 0 : Fail(error);
}

}  // extern "C"
