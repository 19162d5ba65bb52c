#include "cli/verdict_report.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

#include "cli/messages.h"

namespace lirrevo::cli {

using check::ClassName;
using check::LinkClass;
using check::LinkVerdict;

Report::Report(std::function<std::string_view(std::size_t)> link,
               std::function<std::size_t()> total, std::optional<LineFormat> format, bool in_order)
    : link_(std::move(link)),
      total_(std::move(total)),
      format_(format),
      in_order_(in_order),
      progress_(isatty(STDERR_FILENO) == 1) {}

void Report::Take(std::size_t index, LinkVerdict verdict) {
  ++counts_[static_cast<std::size_t>(verdict.link_class)];
  ++settled_;
  if (!in_order_) {
    ShowProgress();
    return;
  }
  if (verdicts_.size() <= index) verdicts_.resize(total_());
  verdicts_[index] = {static_cast<std::uint16_t>(verdict.code), verdict.link_class, true};
  if (!verdict.detail.empty() && format_) details_[index] = std::move(verdict.detail);
  const std::size_t printed = next_;
  for (; next_ < verdicts_.size() && verdicts_[next_].known; ++next_) {
    auto detail = details_.extract(next_);
    Print(link_(next_), verdicts_[next_],
          detail.empty() ? std::string() : std::move(detail.mapped()));
  }
  if (next_ != printed) std::fflush(stdout);
  ShowProgress();
}

void Report::Summarise() const {
  if (progress_) std::fputs("\r\033[K", stderr);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::fprintf(stderr, "%zu %s checked in %.1f s:", settled_, settled_ == 1 ? "link" : "links",
               seconds);
  for (std::size_t c = 0; c < counts_.size(); ++c) {
    std::fprintf(stderr, "%s %zu %s", c == 0 ? "" : ",", counts_[c],
                 ClassName(static_cast<LinkClass>(c)).data());
  }
  std::fputc('\n', stderr);
  if (const std::size_t soft = counts_[static_cast<std::size_t>(LinkClass::kSoft404)]; soft > 0) {
    std::fprintf(stderr,
                 "%zu %s 200 with a not-found page (soft 404): make the server answer 404 or "
                 "410 for them\n",
                 soft, soft == 1 ? "link answers" : "links answer");
  }
}

void Report::Line(std::size_t index, const LinkVerdict& verdict) {
  Print(link_(index), {static_cast<std::uint16_t>(verdict.code), verdict.link_class, true},
        verdict.detail);
}

void Report::Print(std::string_view link, const Settled& v, std::string detail) {
  if (!format_) return;
  const std::string_view name = ClassName(v.link_class);
  if (format_ == LineFormat::kJson) {
    const std::string line =
        "{\"class\":\"" + std::string(name) + "\",\"code\":" + std::to_string(v.code) +
        ",\"link\":" + JsonString(link) + ",\"detail\":" + JsonString(detail) + "}\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    return;
  }
  // A tab or line break in a server's text or in a link would shift the
  // columns: the link's are percent-encoded, as in a URL.
  for (char& c : detail) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  std::printf("%s\t%u\t", name.data(), unsigned{v.code});
  std::string_view rest = link;
  for (std::size_t at; (at = rest.find_first_of("\t\r\n")) != std::string_view::npos;) {
    std::fwrite(rest.data(), 1, at, stdout);
    std::printf("%%%02X", static_cast<unsigned>(rest[at]));
    rest.remove_prefix(at + 1);
  }
  std::fwrite(rest.data(), 1, rest.size(), stdout);
  std::putchar('\t');
  std::fwrite(detail.data(), 1, detail.size(), stdout);
  std::putchar('\n');
}

void Report::ShowProgress() {
  const auto now = std::chrono::steady_clock::now();
  const std::size_t total = total_();
  if (!progress_ || (settled_ != total && now - shown_ < std::chrono::milliseconds(200))) return;
  shown_ = now;
  std::fprintf(stderr, "\r\033[Kchecked %zu of %zu, %zu dead", settled_, total, counts_[0]);
}

}  // namespace lirrevo::cli
