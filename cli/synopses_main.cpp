// lirrevo_synopses [--write] README MAN_PAGE: tells which synopses of the
// README and the man page differ from the option table (exit status 1), or,
// with --write, writes them in.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#include "cli/doc_synopses.h"

namespace {

using lirrevo::cli::SynopsesInDocument;

// Checks or writes one file; whether it is in step with the table.
bool Sync(const std::string& path, bool write, SynopsesInDocument (*with)(std::string_view)) {
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  if (!in.good() && !in.eof()) {
    std::cerr << "lirrevo_synopses: cannot read '" << path << "'\n";
    return false;
  }
  const SynopsesInDocument synced = with(text);
  if (!synced.problem.empty()) {
    std::cerr << "lirrevo_synopses: '" << path << "': " << synced.problem << "\n";
    return false;
  }
  if (synced.changed.empty()) return true;
  if (write) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << synced.text;
    out.close();
    if (out.good()) return true;
    std::cerr << "lirrevo_synopses: cannot write '" << path << "'\n";
    return false;
  }
  std::cerr << "lirrevo_synopses: '" << path << "' differs from the option table:";
  for (const std::string& name : synced.changed) std::cerr << " " << name;
  std::cerr << " (cmake --build BUILD --target synopses writes it in)\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const bool write = argc == 4 && std::string_view(argv[1]) == "--write";
  if (argc != 3 + (write ? 1 : 0)) {
    std::cerr << "usage: lirrevo_synopses [--write] README MAN_PAGE\n";
    return 2;
  }
  const bool readme = Sync(argv[argc - 2], write, lirrevo::cli::ReadmeWithSynopses);
  const bool page = Sync(argv[argc - 1], write, lirrevo::cli::ManPageWithSynopsis);
  return readme && page ? 0 : 1;
}
