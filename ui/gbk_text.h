// Text across the Qt boundary: widget text (QString) to GBK bytes and back,
// through the core's conversion.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class QString;

namespace lirrevo::ui {

// GBK (or GB18030) bytes read from a widget. Each character that has no code
// is read as one '?', so it still counts as one character; `exact` is false then.
struct GbkText {
  std::string bytes;
  bool exact = true;
};

// The text in GBK with every line break (LF, CR, CR LF, U+2028, U+2029) as one
// CR LF pair. The empty text gives no bytes.
GbkText QStringToGbk(const QString& text);

// The same in GB18030, GBK's superset, the form in which the edit box's text
// reaches the core: every GBK character keeps its bytes (the euro sign aside,
// which GBK converters give the one byte 0x80), every other character takes
// four. Only a lone surrogate and a few private-use characters have no code.
GbkText QStringToGb18030(const QString& text);

// GBK or GB18030 bytes as widget text, each CR LF pair as one LF; nullopt
// when the bytes are not valid.
std::optional<QString> GbkToQString(std::string_view gbk);

// GBK bytes as text to show: GbkToQString, or where the bytes are not valid
// GBK each byte as one Latin-1 character, so that nothing is lost.
QString GbkToDisplayText(std::string_view gbk);

}  // namespace lirrevo::ui
