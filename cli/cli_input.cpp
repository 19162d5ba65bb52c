#include "cli/cli_input.h"

#include <cstdio>
#include <optional>

#include "core/output_encoding.h"
#include "core/xml_characters.h"

namespace lirrevo::cli {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
// What ToUtf8MarkingInvalid writes where the input ends inside a character.
constexpr unsigned char kTruncatedMark = 0xFE;

// The input as UTF-8: a view of the bytes themselves, or their conversion
// with marks where they were invalid.
struct DecodedInput {
  std::string_view utf8;
  std::string converted;
  const char* name = "UTF-8";  // the encoding the input came in
  bool from_utf8 = true;
};

DecodedInput Converted(std::string_view bytes, const char* from, std::size_t step,
                       const char* name) {
  DecodedInput input;
  input.converted = ToUtf8MarkingInvalid(bytes, from, step);
  input.utf8 = input.converted;
  input.name = name;
  input.from_utf8 = false;
  return input;
}

DecodedInput Decode(std::string_view bytes, InputEncoding encoding) {
  const bool be_mark = bytes.starts_with(kUtf16BeMark);
  if ((encoding == InputEncoding::kUtf8 || encoding == InputEncoding::kUtf16) &&
      (be_mark || bytes.starts_with(kUtf16LeMark))) {
    return Converted(bytes.substr(2), be_mark ? "UTF-16BE" : "UTF-16LE", 2, "UTF-16");
  }
  switch (encoding) {
    case InputEncoding::kGbk:
      return Converted(bytes, "GBK", 1, "GBK");
    case InputEncoding::kGb18030:
      return Converted(bytes, "GB18030", 1, "GB18030");
    case InputEncoding::kUtf16:
      // Without a mark: little-endian, as the files that Windows writes.
      return Converted(bytes, "UTF-16LE", 2, "UTF-16");
    case InputEncoding::kUtf8:
      break;
  }
  DecodedInput input;
  input.utf8 = bytes.starts_with(kUtf8Mark) ? bytes.substr(kUtf8Mark.size()) : bytes;
  return input;
}

// Why a character is refused, or nothing when it is taken.
std::optional<std::string> Refusal(char32_t code_point) {
  if (code_point == 0) return "NUL byte in the input";
  if (IsForbiddenInXml(code_point)) return DescribeForbidden(code_point);
  if (TextCanHold(code_point)) return std::nullopt;
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code_point));
  return std::string("character ") + name + " has no code in GB18030";
}

// Walks the input line by line, gathering the bad lines and, while there are
// none, the text with CR LF breaks.
class LineScan {
 public:
  LineScan(const DecodedInput& input, std::string_view raw) : input_(input), raw_(raw) {
    text_.reserve(input.utf8.size() + input.utf8.size() / 16);
  }

  void Run() {
    const std::string_view utf8 = input_.utf8;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
      const auto b = static_cast<unsigned char>(utf8[pos]);
      if ((b >= 0x20 && b < 0x80) || b == '\t') {
        ++pos;
      } else if (b == '\r' || b == '\n') {
        EndLine(pos, true);
        pos += b == '\r' && pos + 1 < utf8.size() && utf8[pos + 1] == '\n' ? 2 : 1;
        line_start_ = pos;
      } else {
        const Utf8Character c = DecodeUtf8(utf8, pos);
        if (c.length == 0) {
          Note(InvalidBytes(b));
          ++pos;
        } else {
          if (!problem_) problem_ = Refusal(c.code_point);
          pos += c.length;
        }
      }
    }
    // A final line break leaves nothing here and adds no line.
    if (line_start_ < utf8.size()) EndLine(utf8.size(), false);
  }

  PreparedInput Result() && {
    if (bad_lines_ == 0) {
      std::optional<std::string> text = Utf8ToText(text_);
      if (text) return {true, *std::move(text), {}};
      return {false, {}, {"the input could not be converted"}};
    }
    if (bad_lines_ > kMaxNamedLines) {
      const std::size_t more = bad_lines_ - kMaxNamedLines;
      errors_.push_back(std::to_string(more) + (more == 1 ? " more bad line" : " more bad lines"));
    }
    return {false, {}, std::move(errors_)};
  }

 private:
  void Note(std::string what) {
    if (!problem_) problem_ = std::move(what);
  }

  std::string InvalidBytes(unsigned char b) {
    const std::string name = input_.name;
    if (!input_.from_utf8) {
      if (b == kTruncatedMark) return "input ends inside a " + name + " character";
      return "invalid " + name;
    }
    if (!gbk_hint_) {
      ConversionReport report;
      ConvertEncoding(raw_, "GBK", "UTF-8", &report);
      gbk_hint_ = report.ok ? "; is it GBK? try --input-encoding gbk" : "";
    }
    return "invalid UTF-8" + *gbk_hint_;
  }

  void EndLine(std::size_t end, bool with_break) {
    ++line_number_;
    if (problem_) {
      if (++bad_lines_ <= kMaxNamedLines) {
        errors_.push_back("line " + std::to_string(line_number_) + ": " + *problem_);
      }
      problem_.reset();
    }
    if (bad_lines_ != 0) return;
    text_.append(input_.utf8.substr(line_start_, end - line_start_));
    if (with_break) text_ += "\r\n";
  }

  const DecodedInput& input_;
  std::string_view raw_;
  std::string text_;
  std::size_t line_start_ = 0;
  std::size_t line_number_ = 0;
  std::size_t bad_lines_ = 0;
  std::optional<std::string> problem_;
  std::optional<std::string> gbk_hint_;
  std::vector<std::string> errors_;
};

}  // namespace

PreparedInput PrepareInput(std::string_view bytes, InputEncoding encoding) {
  const DecodedInput input = Decode(bytes, encoding);
  LineScan scan(input, bytes);
  scan.Run();
  return std::move(scan).Result();
}

}  // namespace lirrevo::cli
