#include "tests/support/write_matrix.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lirrevo::test {
namespace {

std::string Existing(const TempFolder& f, mode_t mode) {
  WriteFile(f / "out.xml", kOldContent, mode);
  return f / "out.xml";
}

// A folder and a file in it, both the unprivileged user's.
std::string OwnFolderAndFile(const TempFolder& f, mode_t folder_mode, mode_t file_mode) {
  const UserIds user = UnprivilegedUser();
  MakeFolder(f / "mine");
  WriteFile(f / "mine/out.xml", kOldContent, file_mode);
  SetOwner(f / "mine/out.xml", user.uid, user.gid);
  SetOwner(f / "mine", user.uid, user.gid);
  SetMode(f / "mine", folder_mode);
  return f / "mine/out.xml";
}

std::string LongPath(const TempFolder& f) {
  std::string path = f.path();
  while (path.size() <= PATH_MAX) path += "/" + std::string(200, 'd');
  return path + "/out.xml";
}

const std::vector<WriteCase> kCases = {
    {"NewFile", [](const TempFolder& f) { return f / "out.xml"; }, Runner::kOwnUser, true, 0,
     nullptr, 0644},
    {"NewFileUnderStrictUmask", [](const TempFolder& f) { return f / "out.xml"; }, Runner::kOwnUser,
     true, 0, nullptr, 0600, 077},
    {"ExistingFileReplaced", [](const TempFolder& f) { return Existing(f, 0644); },
     Runner::kOwnUser, true, 0, nullptr, 0644},
    {"Mode0600Kept", [](const TempFolder& f) { return Existing(f, 0600); }, Runner::kOwnUser, true,
     0, nullptr, 0600},
    {"Mode0640Kept", [](const TempFolder& f) { return Existing(f, 0640); }, Runner::kOwnUser, true,
     0, nullptr, 0640},
    {"Mode0755KeptUnderStrictUmask", [](const TempFolder& f) { return Existing(f, 0755); },
     Runner::kOwnUser, true, 0, nullptr, 0755, 077},
    {"ReadOnlyFile0444", [](const TempFolder& f) { return Existing(f, 0444); }, Runner::kOwnUser,
     false, EACCES},
    {"ReadOnlyFile0400", [](const TempFolder& f) { return Existing(f, 0400); }, Runner::kOwnUser,
     false, EACCES},
    {"FileWithoutAnyBits", [](const TempFolder& f) { return Existing(f, 0); }, Runner::kOwnUser,
     false, EACCES},
    {"MissingFolder", [](const TempFolder& f) { return f / "missing/out.xml"; }, Runner::kOwnUser,
     false, ENOENT},
    {"TargetIsFolder",
     [](const TempFolder& f) {
       MakeFolder(f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, false, EISDIR},
    {"TargetEndsWithSlash",
     [](const TempFolder& f) {
       MakeFolder(f / "sub");
       return f / "sub/";
     },
     Runner::kOwnUser, false, EISDIR},
    {"FolderInPathIsFile", [](const TempFolder& f) { return Existing(f, 0644) + "/inner.xml"; },
     Runner::kOwnUser, false, ENOTDIR},
    {"NameLongerThanNameMax",
     [](const TempFolder& f) { return f / std::string(NAME_MAX + 1, 'n'); }, Runner::kOwnUser,
     false, ENAMETOOLONG},
    {"NameOfNameMax", [](const TempFolder& f) { return f / std::string(NAME_MAX, 'n'); },
     Runner::kOwnUser, true, 0,
     "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
     "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn"
     "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn",
     0644},
    {"PathLongerThanPathMax", LongPath, Runner::kOwnUser, false, ENAMETOOLONG},
    {"LinkToFileReplacesItsTarget",
     [](const TempFolder& f) {
       WriteFile(f / "real.xml", kOldContent, 0640);
       MakeLink("real.xml", f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, true, 0, "real.xml", 0640},
    {"ChainOfLinks",
     [](const TempFolder& f) {
       MakeFolder(f / "sub");
       WriteFile(f / "real.xml", kOldContent, 0600);
       MakeLink("../real.xml", f / "sub/hop.xml");
       MakeLink(f / "sub/hop.xml", f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, true, 0, "real.xml", 0600},
    {"DanglingLinkCreatesItsTarget",
     [](const TempFolder& f) {
       MakeLink("created.xml", f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, true, 0, "created.xml", 0644},
    {"LinkIntoMissingFolder",
     [](const TempFolder& f) {
       MakeLink("missing/created.xml", f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, false, ENOENT},
    {"LinkToFolder",
     [](const TempFolder& f) {
       MakeFolder(f / "sub");
       MakeLink("sub", f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, false, EISDIR},
    {"LinkToReadOnlyFile",
     [](const TempFolder& f) {
       WriteFile(f / "real.xml", kOldContent, 0444);
       MakeLink("real.xml", f / "out.xml");
       return f / "out.xml";
     },
     Runner::kOwnUser, false, EACCES},
    {"LoopOfLinks",
     [](const TempFolder& f) {
       MakeLink("b.xml", f / "a.xml");
       MakeLink("a.xml", f / "b.xml");
       return f / "a.xml";
     },
     Runner::kOwnUser, false, ELOOP},
    {"NotARegularFile",
     [](const TempFolder& f) {
       if (mkfifo((f / "out.xml").c_str(), 0644) != 0) throw std::runtime_error("mkfifo");
       return f / "out.xml";
     },
     Runner::kOwnUser, false, EINVAL},
    {"ReadOnlyFolderExistingFile",
     [](const TempFolder& f) { return OwnFolderAndFile(f, 0555, 0644); }, Runner::kUnprivileged,
     false, EACCES},
    {"ReadOnlyFolderNewFile",
     [](const TempFolder& f) {
       OwnFolderAndFile(f, 0555, 0644);
       return f / "mine/new.xml";
     },
     Runner::kUnprivileged, false, EACCES},
    {"FileOfAnotherUser",  // the folder would let a rename through; the writer must refuse
     [](const TempFolder& f) {
       const std::string path = OwnFolderAndFile(f, 0755, 0644);
       SetOwner(path, 0, 0);
       return path;
     },
     Runner::kUnprivileged, false, EACCES},
    {"OwnReadOnlyFileInOwnFolder",
     [](const TempFolder& f) { return OwnFolderAndFile(f, 0755, 0444); }, Runner::kUnprivileged,
     false, EACCES},
    {"FolderNotSearchable",
     [](const TempFolder& f) {
       MakeFolder(f / "closed", 0700);
       WriteFile(f / "closed/out.xml", kOldContent, 0666);
       return f / "closed/out.xml";
     },
     Runner::kUnprivileged, false, EACCES},
    {"WritableFileOfAnotherUserInStickyFolder",  // the rename is refused: the only late failure
     [](const TempFolder& f) {
       MakeFolder(f / "shared", 01777);
       WriteFile(f / "shared/out.xml", kOldContent, 0666);
       return f / "shared/out.xml";
     },
     Runner::kUnprivileged, false, EPERM},
    {"OwnFileMode0640Kept", [](const TempFolder& f) { return OwnFolderAndFile(f, 0755, 0640); },
     Runner::kUnprivileged, true, 0, nullptr, 0640},
    {"ShortWriteOverExistingFile", [](const TempFolder& f) { return Existing(f, 0644); },
     Runner::kFileSizeLimit, false, EFBIG},
    {"ShortWriteOfNewFile", [](const TempFolder& f) { return f / "out.xml"; },
     Runner::kFileSizeLimit, false, EFBIG},
};

}  // namespace

const std::vector<WriteCase>& WriteCases() { return kCases; }

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

ChildConditions ConditionsFor(const WriteCase& c) {
  ChildConditions conditions;
  conditions.umask = c.umask;
  if (c.runner == Runner::kUnprivileged) conditions.user = UnprivilegedUser();
  if (c.runner == Runner::kFileSizeLimit) conditions.file_size = kFileSizeLimit;
  return conditions;
}

void ExpectWriteOutcome(const WriteCase& c, const TempFolder& folder, const std::string& target,
                        const Snapshot& before, bool ok, std::string_view expected_bytes) {
  EXPECT_EQ(ok, c.writes);
  EXPECT_TRUE(TemporaryFilesIn(folder.path()).empty());
  Snapshot after = TakeSnapshot(folder.path());
  if (ok) {
    const std::string name = c.written ? c.written : target.substr(folder.path().size() + 1);
    EXPECT_EQ(ReadFile(folder / name), std::string(expected_bytes));
    EXPECT_EQ(ModeOf(folder / name), c.mode);
    Snapshot rest = before;
    rest.erase(name);
    after.erase(name);
    EXPECT_EQ(after, rest) << "only the written file may change";
  } else {
    EXPECT_EQ(after, before) << "a failed write must change nothing";
  }
}

}  // namespace lirrevo::test
