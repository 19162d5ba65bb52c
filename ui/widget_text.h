// Text across the Qt boundary: widget text (QString) to the system's text
// (GB18030, see core/output_encoding.h) and back, through the core's
// conversion.
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

// The system's text as widget text, each CR LF pair as one LF; nullopt when
// the bytes are not valid. The one byte 0x80 reads as the euro sign.
std::optional<QString> TextToQString(std::string_view text);

// The system's text to show: TextToQString, or where the bytes are not valid
// each byte as one Latin-1 character, so that nothing is lost.
QString TextToDisplayText(std::string_view text);

}  // namespace lirrevo::ui
