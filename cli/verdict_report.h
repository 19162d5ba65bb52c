// The lines that check and crawl print for their verdicts, and the summary
// with the counts of each class on standard error.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "check/link_check.h"
#include "cli/arguments.h"

namespace lirrevo::cli {

// Prints the verdicts, one line each, and a progress line on a terminal.
// Keeps four bytes per link, and the details of the verdicts that wait for
// their turn.
class Report {
 public:
  // link: a link's text by index; total: the links known so far; format:
  // how lines are printed (none: no lines); in_order: each verdict's line in
  // the links' order as soon as its turn comes, else only counted, and the
  // lines printed by Line.
  Report(std::function<std::string_view(std::size_t)> link, std::function<std::size_t()> total,
         std::optional<LineFormat> format, bool in_order);

  void Take(std::size_t index, check::LinkVerdict verdict);

  // Prints the line of a link's verdict.
  void Line(std::size_t index, const check::LinkVerdict& verdict);

  // "N links checked in T s: the counts per class", on standard error.
  void Summarise() const;

 private:
  struct Settled {
    std::uint16_t code = 0;
    check::LinkClass link_class = check::LinkClass::kError;
    bool known = false;
  };

  void Print(std::string_view link, const Settled& verdict, std::string detail);
  void ShowProgress();

  std::function<std::string_view(std::size_t)> link_;
  std::function<std::size_t()> total_;
  std::vector<Settled> verdicts_;
  std::unordered_map<std::size_t, std::string> details_;  // of verdicts not yet printed
  std::optional<LineFormat> format_;
  bool in_order_;
  std::array<std::size_t, 6> counts_{};  // by LinkClass
  std::size_t settled_ = 0;
  std::size_t next_ = 0;
  bool progress_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point shown_{};
};

}  // namespace lirrevo::cli
