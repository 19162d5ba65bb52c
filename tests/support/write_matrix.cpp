#include "tests/support/write_matrix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

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

// out.xml in folder with a second name, other.xml.
std::string HardLinked(const std::string& folder) {
  WriteFile(folder + "/out.xml", kOldContent);
  if (link((folder + "/out.xml").c_str(), (folder + "/other.xml").c_str()) != 0) {
    throw std::runtime_error("link " + folder + "/other.xml: " + std::strerror(errno));
  }
  return folder + "/out.xml";
}

void SetAttribute(const std::string& path, const char* name, std::string_view value) {
  if (setxattr(path.c_str(), name, value.data(), value.size(), 0) != 0) {
    throw SetupRefused(std::string("extended attributes are refused here: ") +
                       std::strerror(errno));
  }
}

void SetAcl(const std::string& path, const std::string& entry) {
  const ProgramOutcome set = RunProgram({"/usr/bin/setfacl", "-m", entry, path}, "");
  if (set.exit_code != 0) throw SetupRefused("setfacl failed (is acl installed?): " + set.err);
}

std::string MakeSocket(const TempFolder& f) {
  const std::string path = f / "out.xml";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound =
      fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  if (!bound) throw std::runtime_error("bind " + path + ": " + std::strerror(errno));
  return path;
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
    {.name = "FolderDefaultAclNotTaken",  // the temporary file is born with it; the old had none
     .setup =
         [](const TempFolder& f) {
           MakeFolder(f / "acl");
           WriteFile(f / "acl/out.xml", kOldContent, 0640);
           SetAcl(f / "acl", "d:u:1:rw");
           return f / "acl/out.xml";
         },
     .runner = Runner::kOwnUser,
     .writes = true,
     .mode = 0640,
     .route = Route::kAtomic},
    {.name = "HardLink",  // the other name must see the new content too
     .setup = [](const TempFolder& f) { return HardLinked(f.path()); },
     .runner = Runner::kOwnUser,
     .writes = true,
     .mode = 0644,
     .route = Route::kInPlace},
    {.name = "NullDevice",
     .setup = [](const TempFolder&) { return std::string("/dev/null"); },
     .runner = Runner::kOwnUser,
     .writes = true,
     .route = Route::kDevice},
    {.name = "FullDevice",
     .setup = [](const TempFolder&) { return std::string("/dev/full"); },
     .runner = Runner::kOwnUser,
     .writes = false,
     .error = ENOSPC,
     .route = Route::kDevice},
    {.name = "StandardOutputPipe",
     .setup = [](const TempFolder&) { return std::string("/dev/stdout"); },
     .runner = Runner::kOwnUser,
     .writes = true,
     .route = Route::kStandardOutput},
    {.name = "Fifo",
     .setup =
         [](const TempFolder& f) {
           if (mkfifo((f / "out.xml").c_str(), 0644) != 0) throw std::runtime_error("mkfifo");
           return f / "out.xml";
         },
     .runner = Runner::kOwnUser,
     .writes = true,
     .route = Route::kFifo},
    {"Socket", MakeSocket, Runner::kOwnUser, false, EOPNOTSUPP},
    {.name = "FullDisk",  // the temporary file does not fit
     .setup =
         [](const TempFolder& f) {
           MountSmallFilesystem(f / "small", 8);
           WriteFile(f / "small/out.xml", kOldContent);
           return f / "small/out.xml";
         },
     .runner = Runner::kOwnUser,
     .writes = false,
     .error = ENOSPC},
    {.name = "FullDiskInPlace",  // the reservation fails before the old content changes
     .setup =
         [](const TempFolder& f) {
           MountSmallFilesystem(f / "small", 8);
           return HardLinked(f / "small");
         },
     .runner = Runner::kOwnUser,
     .writes = false,
     .error = ENOSPC,
     .route = Route::kInPlace},
    {.name = "FileSizeLimitInPlace",
     .setup = [](const TempFolder& f) { return HardLinked(f.path()); },
     .runner = Runner::kFileSizeLimit,
     .writes = false,
     .error = EFBIG,
     .route = Route::kInPlace},
    {.name = "ReadOnlyFileSystem",
     .setup =
         [](const TempFolder& f) {
           MountSmallFilesystem(f / "ro", 64);
           WriteFile(f / "ro/out.xml", kOldContent);
           RemountReadOnly(f / "ro");
           return f / "ro/out.xml";
         },
     .runner = Runner::kOwnUser,
     .writes = false,
     .error = EROFS},
    {.name = "WritableFileInReadOnlyFolder",  // no temporary file can be made beside it
     .setup = [](const TempFolder& f) { return OwnFolderAndFile(f, 0555, 0644); },
     .runner = Runner::kUnprivileged,
     .writes = true,
     .mode = 0644,
     .route = Route::kInPlace},
    {.name = "GroupWritableFileInRootsFolder",  // a web root: the file is root's, the group ours
     .setup =
         [](const TempFolder& f) {
           MakeFolder(f / "www", 0755);
           WriteFile(f / "www/out.xml", kOldContent, 0664);
           SetOwner(f / "www/out.xml", 0, UnprivilegedUser().gid);
           return f / "www/out.xml";
         },
     .runner = Runner::kUnprivileged,
     .writes = true,
     .mode = 0664,
     .route = Route::kInPlace},
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
    {.name = "WritableFileOfAnotherUserInStickyFolder",  // a new file would be ours, not root's
     .setup =
         [](const TempFolder& f) {
           MakeFolder(f / "shared", 01777);
           WriteFile(f / "shared/out.xml", kOldContent, 0666);
           return f / "shared/out.xml";
         },
     .runner = Runner::kUnprivileged,
     .writes = true,
     .mode = 0666,
     .route = Route::kInPlace},
    {.name = "OwnFileWithAttributesAndAcl",  // the new file can carry them: replaced atomically
     .setup =
         [](const TempFolder& f) {
           const std::string path = OwnFolderAndFile(f, 0755, 0640);
           SetAttribute(path, "user.origin", "lirrevo test");
           SetAcl(path, "u:1:rw");
           return path;
         },
     .runner = Runner::kUnprivileged,
     .writes = true,
     .mode = 0660,  // the ACL's mask is the group's bits
     .route = Route::kAtomic},
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

Receiver::Receiver(const WriteCase& c, const std::string& target) {
  if (c.route == Route::kFifo) {
    read_ = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (read_ < 0) throw std::runtime_error("open " + target + ": " + std::strerror(errno));
  } else if (c.route == Route::kStandardOutput) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
    read_ = ends[0];
    write_ = ends[1];
  }
}

Receiver::~Receiver() {
  if (read_ >= 0) close(read_);
  if (write_ >= 0) close(write_);
}

std::optional<int> Receiver::standard_output() const {
  return write_ >= 0 ? std::optional<int>(write_) : std::nullopt;
}

std::string Receiver::Take() {
  if (write_ >= 0) close(write_);
  write_ = -1;
  std::string bytes;
  char chunk[1 << 16];
  ssize_t got;
  while (read_ >= 0 && (got = read(read_, chunk, sizeof chunk)) > 0) {
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

void ExpectWriteOutcome(const WriteCase& c, const TempFolder& folder, const std::string& target,
                        const Snapshot& before, bool ok, std::string_view expected_bytes,
                        std::string_view received) {
  EXPECT_EQ(ok, c.writes);
  EXPECT_TRUE(TemporaryFilesIn(folder.path()).empty());
  const bool to_reader = c.route == Route::kFifo || c.route == Route::kStandardOutput;
  EXPECT_EQ(received, ok && to_reader ? expected_bytes : "") << "what reached the reader";
  if (c.route == Route::kDevice) {
    struct stat st {};
    EXPECT_TRUE(stat(target.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
        << target << " is no device now";
  }
  const Snapshot after = TakeSnapshot(folder.path());
  if (!ok || c.route == Route::kDevice || to_reader) {
    EXPECT_EQ(after, before) << "no file may change";
    return;
  }
  const std::string name = c.written ? c.written : target.substr(folder.path().size() + 1);
  ASSERT_TRUE(after.contains(name)) << name;
  const Entry& written = after.at(name);
  EXPECT_EQ(written.content, expected_bytes);
  EXPECT_EQ(written.mode, c.mode);
  Snapshot expected = before;
  const auto old = before.find(name);
  if (old == before.end()) {
    expected[name] = written;  // a new file: its bytes and mode are checked above
  } else {
    if (c.route == Route::kInPlace) {
      EXPECT_EQ(written.inode, old->second.inode) << "not written in place";
    } else {
      EXPECT_NE(written.inode, old->second.inode) << "not replaced atomically";
    }
    // Every name of the old file shows the new bytes; nothing else of it changed.
    for (auto& [other, entry] : expected) {
      if (entry.type == 'f' && entry.inode == old->second.inode) {
        entry.content = expected_bytes;
        entry.inode = written.inode;
      }
    }
  }
  EXPECT_EQ(after, expected) << "only the written file's content may change";
}

}  // namespace lirrevo::test
