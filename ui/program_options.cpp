#include "ui/program_options.h"

#include <string_view>

#include "core/version.h"

namespace lirrevo::ui {
namespace {

constexpr std::string_view kHelp =
    "Usage: lirrevo [--help | --version]\n"
    "Opens the Lirrevo window: paste dead links into its box, one a line, and\n"
    "press \xE7\x94\x9F\xE6\x88\x90 to save their sitemap document. Nothing is kept "
    "between runs.\n"
    "Qt's own options, such as -platform NAME, are accepted. lirrevo-cli is the\n"
    "command-line tool.\n\n"
    "  -h, --help  show this help\n"
    "  --version   show the version\n";

}  // namespace

std::optional<std::string> TextInsteadOfWindow(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return std::string(kHelp);
    if (arg == "--version") return std::string("lirrevo " LIRREVO_VERSION "\n");
  }
  return std::nullopt;
}

}  // namespace lirrevo::ui
