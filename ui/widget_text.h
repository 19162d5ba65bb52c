// Text across the Qt boundary: widget text (QString) to the system's text
// (GB18030, see core/output_encoding.h) and back, through the core's
// conversion; and to UTF-8 for the document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class QString;

namespace lirrevo::ui {

// The system's text read from a widget. Each character that has no code is
// read as one '?', so it still counts as one character; `exact` is false then.
struct WidgetText {
  std::string bytes;
  bool exact = true;
};

// The text with every line break (LF, CR, CR LF, U+2028, U+2029) as one CR LF
// pair. Every GBK character keeps its GBK bytes (the euro sign aside, which
// GBK converters give the one byte 0x80), every other character takes four.
// Only a lone surrogate and a few private-use characters have no code. The
// empty text gives no bytes.
WidgetText QStringToText(const QString& text);

// The text as UTF-8, its line breaks as QStringToText makes them, for the
// core's UTF-8 route, which then needs no conversion of its own. Only a lone
// surrogate has no UTF-8; it is read as one '?' and `exact` is false then.
WidgetText QStringToUtf8(const QString& text);

// The system's text as widget text, each CR LF pair as one LF; nullopt when
// the bytes are not valid. The one byte 0x80 reads as the euro sign.
std::optional<QString> TextToQString(std::string_view text);

// The system's text to show: TextToQString, or where the bytes are not valid
// each byte as one Latin-1 character, so that nothing is lost.
QString TextToDisplayText(std::string_view text);

}  // namespace lirrevo::ui
