// What lirrevo-cli says on standard error, in one form: "lirrevo-cli: " and
// the message; a file named in quotes, standard input by name.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

namespace lirrevo::cli {

// The exit status of trouble: a usage error, an input not read whole, an
// output not written.
inline constexpr int kTrouble = 2;

// Prints "lirrevo-cli: message" and gives exit_code.
int Fail(const std::string& message, int exit_code = kTrouble);

// Prints "lirrevo-cli: warning: message".
void Warn(const std::string& message);

// Prints "lirrevo-cli: message", which is news, neither failure nor warning.
void Say(const std::string& message);

// "standard input" for "-", else "'NAME'".
std::string Named(const std::string& source);

// "cannot read NAMED: why", the one form of a read failure.
std::string CannotRead(const std::string& source, const std::string& why);

// "cannot write standard output: why", the cause from error.
std::string CannotWriteStandardOutput(int error = errno);

// "1 link", "3,456 links": the count, its thousands grouped, and the noun.
std::string Counted(std::size_t count, const char* one, const char* many);

// The text as a JSON string: quotes and backslashes escaped, control
// characters as \u00XX, each byte that is not part of valid UTF-8 as U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace lirrevo::cli
