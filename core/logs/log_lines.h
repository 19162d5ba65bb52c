// A log read line by line, whole or not at all, fast: the reading (and
// inflating) on a thread of its own, a few blocks ahead of the lines.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lirrevo {

// Longer than any line a server logs: such a line is no log line.
inline constexpr std::size_t kMaxLogLine = std::size_t{1} << 20;

// Calls line(text, whole) for every line of the file name ("-" for standard
// input), plain or gzip, without its LF; a final line without one is a line
// too. A line longer than kMaxLogLine is handed on as whole = false, without
// its text being held. Nothing when every line was read; else why the log
// could not be read whole, after the lines before the failure.
std::optional<std::string> ForEachLogLine(const std::string& name,
                                          const std::function<void(std::string_view, bool)>& line);

}  // namespace lirrevo
