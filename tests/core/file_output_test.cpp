#include "core/files/file_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::ModeOf;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

TEST(WriteBytesToFile, RefusesWithoutChangingAnything) {
  TempFolder dir;
  WriteFile(dir / "readonly.xml", "keep");
  test::SetMode(dir / "readonly.xml", 0444);
  test::MakeFolder(dir / "folder");

  EXPECT_FALSE(WriteBytesToFile("", "x"));
  EXPECT_FALSE(WriteBytesToFile(dir / "readonly.xml", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / "folder", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / "folder/", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / "missing/out.xml", "new"));
  EXPECT_FALSE(WriteBytesToFile(dir / std::string(300, 'n'), "new"));

  EXPECT_EQ(ReadFile(dir / "readonly.xml"), "keep");
  EXPECT_EQ(ModeOf(dir / "readonly.xml"), 0444u);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
  EXPECT_EQ(test::NamesIn(dir).size(), 2u);
}

TEST(WriteBytesToFile, KeepsPermissionBitsOfAReplacedFile) {
  TempFolder dir;
  for (const mode_t mode : {0600, 0640, 0604}) {
    const std::string path = dir / ("m" + std::to_string(mode));
    WriteFile(path, "old", mode);
    ASSERT_TRUE(WriteBytesToFile(path, "new"));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ModeOf(path), mode);
  }
}

TEST(WriteBytesToFile, NewFileGetsTheUsualModeUnderTheUmask) {
  TempFolder dir;
  const mode_t old_mask = umask(027);
  const bool written = WriteBytesToFile(dir / "new.xml", "");
  umask(old_mask);
  ASSERT_TRUE(written);
  EXPECT_EQ(ReadFile(dir / "new.xml"), "");
  EXPECT_EQ(ModeOf(dir / "new.xml"), 0640u);
}

TEST(WriteBytesToFile, FollowsSymbolicLinksAndKeepsThem) {
  TempFolder dir;
  test::MakeFolder(dir / "real");
  WriteFile(dir / "real/target.xml", "old");
  test::MakeLink("real/target.xml", dir / "link.xml");
  test::MakeLink("real/absent.xml", dir / "dangling.xml");

  ASSERT_TRUE(WriteBytesToFile(dir / "link.xml", "new"));
  ASSERT_TRUE(WriteBytesToFile(dir / "dangling.xml", "made"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.xml"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.xml"));
  EXPECT_EQ(ReadFile(dir / "real/target.xml"), "new");
  EXPECT_EQ(ReadFile(dir / "real/absent.xml"), "made");
}

TEST(WriteBytesToFile, HoldsExactlyTheBytes) {
  TempFolder dir;
  const std::string bytes("\xEF\xBB\xBF\0\r\n\xFF", 7);
  ASSERT_TRUE(WriteBytesToFile(dir / "b", bytes));
  EXPECT_EQ(ReadFile(dir / "b"), bytes);
}

// A file-size limit in a child makes the write stop short, as a full disk does.
TEST(WriteBytesToFile, ShortWriteLeavesTheOldFileAndNoTemporary) {
  TempFolder dir;
  const std::string path = dir / "out.xml";
  WriteFile(path, "precious old content");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteBytesToFile(path, std::string(100000, 'n')) ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the short write was reported as success";
  EXPECT_EQ(ReadFile(path), "precious old content");
  EXPECT_EQ(test::NamesIn(dir), std::vector<std::string>{"out.xml"});
}

// Written in place (the file has two names), a shorter document leaves none
// of the old bytes behind, under either name.
TEST(WriteBytesToFile, InPlaceShorterDocumentCutsTheRest) {
  TempFolder dir;
  WriteFile(dir / "out.xml", std::string(10000, 'o'));
  ASSERT_EQ(link((dir / "out.xml").c_str(), (dir / "other.xml").c_str()), 0);
  for (const std::string bytes : {"shorter", "", "a little longer"}) {
    ASSERT_TRUE(WriteBytesToFile(dir / "out.xml", bytes));
    EXPECT_EQ(ReadFile(dir / "out.xml"), bytes);
    EXPECT_EQ(ReadFile(dir / "other.xml"), bytes);
  }
}

// A FIFO whose reader goes away in the middle: EPIPE, and the writer lives on.
TEST(WriteBytesToFile, FifoWhoseReaderLeavesGivesBrokenPipe) {
  TempFolder dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(reader);
    const bool ok = WriteBytesToFile(fifo, std::string(1 << 20, 'x'));
    _exit(!ok && errno == EPIPE ? 0 : 1);
  }
  pollfd started{reader, POLLIN, 0};
  EXPECT_EQ(poll(&started, 1, 60000), 1) << "the writer never began";
  close(reader);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "no EPIPE";
}

// A file written in chunks: the target keeps its old bytes until Commit, which
// gives every name of it the new ones; Abandon leaves it as it was.
TEST(FileOutput, ChangesNothingBeforeCommit) {
  for (const bool exists : {false, true}) {
    for (const bool hard_link : {false, true}) {
      if (hard_link && !exists) continue;
      for (const bool commit : {false, true}) {
        SCOPED_TRACE(std::to_string(exists) + std::to_string(hard_link) + std::to_string(commit));
        TempFolder dir;
        const std::string out = dir / "out.xml";
        if (exists) WriteFile(out, "old bytes, longer than the new ones");
        if (hard_link) {
          ASSERT_EQ(link(out.c_str(), (dir / "other.xml").c_str()), 0);
        }
        {
          FileOutput file;
          ASSERT_TRUE(file.Open(out));
          ASSERT_TRUE(file.Write("new "));
          ASSERT_TRUE(file.Write("bytes"));
          ASSERT_TRUE(file.Finish());
          EXPECT_EQ(ReadFile(out),
                    exists ? std::optional<std::string>("old bytes, longer than the new ones")
                           : std::nullopt);
          if (commit) {
            EXPECT_TRUE(file.Commit());
          }
        }
        const std::optional<std::string> expected =
            commit   ? std::optional<std::string>("new bytes")
            : exists ? std::optional<std::string>("old bytes, longer than the new ones")
                     : std::nullopt;
        EXPECT_EQ(ReadFile(out), expected);
        if (hard_link) {
          EXPECT_EQ(ReadFile(dir / "other.xml"), expected);
        }
        EXPECT_TRUE(test::TemporaryFilesIn(dir.path()).empty());
      }
    }
  }
}

// Writing clears the set-id bits of a file whose writer may not keep them; a
// replacement gets them back once its last byte is in, in one piece or in chunks.
TEST(FileOutput, ReplacementKeepsSetIdBitsOfItsOwnersFile) {
  if (!test::CanSwitchUser()) GTEST_SKIP() << "needs root to write as an unprivileged owner";
  const test::UserIds user = test::UnprivilegedUser();
  for (const bool chunked : {false, true}) {
    SCOPED_TRACE(chunked ? "chunked" : "whole");
    TempFolder dir;
    const std::string path = dir / "mine/tool";
    test::MakeFolder(dir / "mine");
    test::SetOwner(dir / "mine", user.uid, user.gid);
    WriteFile(path, "old");
    test::SetOwner(path, user.uid, user.gid);
    test::SetMode(path, 06755);
    struct stat old {};
    ASSERT_EQ(stat(path.c_str(), &old), 0);
    test::ChildConditions as_owner;
    as_owner.user = user;
    const test::ChildOutcome outcome = test::RunInChild(as_owner, [&] {
      if (!chunked) return WriteBytesToFile(path, "new bytes");
      FileOutput file;
      return file.Open(path) && file.Write("new ") && file.Write("bytes") && file.Finish() &&
             file.Commit();
    });
    ASSERT_TRUE(outcome.ok) << std::strerror(outcome.error);
    struct stat now {};
    ASSERT_EQ(stat(path.c_str(), &now), 0);
    EXPECT_EQ(ReadFile(path), "new bytes");
    EXPECT_NE(now.st_ino, old.st_ino) << "not replaced atomically";
    EXPECT_EQ(now.st_mode & 07777, 06755u);
    EXPECT_EQ(now.st_uid, user.uid);
  }
}

// Names of the process's own descriptors are written through the descriptor:
// a file opened to append keeps what it had, and stays the same file.
TEST(WriteBytesToFile, OwnDescriptorNamesWriteThroughTheDescriptor) {
  TempFolder dir;
  WriteFile(dir / "log", "old\n");
  const int appending = open((dir / "log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  const int reading = open((dir / "log").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(appending, 0);
  const std::string fd = std::to_string(appending);
  test::MakeLink("/proc/self/fd/" + fd, dir / "link");
  const test::Snapshot before = test::TakeSnapshot(dir.path());
  for (const std::string& name : {"/proc/self/fd/" + fd, "/dev/fd/" + fd, dir / "link"}) {
    EXPECT_TRUE(WriteBytesToFile(name, "<" + name + ">")) << name;
  }
  errno = 0;
  EXPECT_FALSE(WriteBytesToFile("/dev/fd/" + std::to_string(reading), "x"));
  EXPECT_EQ(errno, EBADF);
  close(appending);
  close(reading);
  EXPECT_EQ(ReadFile(dir / "log"),
            "old\n</proc/self/fd/" + fd + "></dev/fd/" + fd + "><" + (dir / "link") + ">");
  EXPECT_EQ(test::TakeSnapshot(dir.path()).at("log").inode, before.at("log").inode);
}

// The scratch file of an in-place write goes beside the file: TMPDIR plays no part.
TEST(WriteBytesToFile, InPlaceScratchFileGoesBesideTheFile) {
  TempFolder dir;
  WriteFile(dir / "out.xml", "old");
  ASSERT_EQ(link((dir / "out.xml").c_str(), (dir / "other.xml").c_str()), 0);
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string saved = tmpdir ? tmpdir : "";
  setenv("TMPDIR", (dir / "missing").c_str(), 1);
  const bool written = WriteBytesToFile(dir / "out.xml", "new");
  tmpdir ? setenv("TMPDIR", saved.c_str(), 1) : unsetenv("TMPDIR");
  EXPECT_TRUE(written) << std::strerror(errno);
  EXPECT_EQ(ReadFile(dir / "other.xml"), "new");
}

struct Interruption {
  const char* name;
  bool exists;     // an old file is there
  bool hard_link;  // with a second name: written in place
  int files;       // written at once; past a quarter of open_files they are named
  int signal;
};

void PrintTo(const Interruption& c, std::ostream* out) { *out << c.name; }

class InterruptedWrite : public ::testing::TestWithParam<Interruption> {};

// A signal before Commit ends the process by that signal, with every old file
// as it was and no temporary file left, nameless or named.
TEST_P(InterruptedWrite, LeavesOldFilesAndNoTemporary) {
  const Interruption& c = GetParam();
  TempFolder dir;
  for (int i = 0; i < c.files; ++i) {
    const std::string out = dir / ("out" + std::to_string(i) + ".xml");
    if (c.exists) WriteFile(out, "old " + std::to_string(i));
    if (c.hard_link) {
      ASSERT_EQ(link(out.c_str(), (out + ".other").c_str()), 0);
    }
  }
  const test::Snapshot before = test::TakeSnapshot(dir.path());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{64, 64};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<FileOutput> files(static_cast<std::size_t>(c.files));
    for (int i = 0; i < c.files; ++i) {
      FileOutput& file = files[static_cast<std::size_t>(i)];
      if (!file.Open(dir / ("out" + std::to_string(i) + ".xml")) ||
          !file.Write(std::string(100000, 'n')) || !file.Finish()) {
        _exit(97);
      }
    }
    const bool named = !test::TemporaryFilesIn(dir.path()).empty();
    if (named != (c.files > 16)) _exit(98);
    raise(c.signal);
    _exit(99);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), c.signal);
  EXPECT_EQ(test::TakeSnapshot(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InterruptedWrite,
    ::testing::Values(Interruption{"NewFile", false, false, 1, SIGINT},
                      Interruption{"Replacement", true, false, 1, SIGTERM},
                      Interruption{"InPlace", true, true, 1, SIGHUP},
                      Interruption{"ManyNamedReplacements", true, false, 40, SIGINT},
                      Interruption{"ManyNamedInPlace", true, true, 40, SIGTERM}),
    [](const auto& info) { return std::string(info.param.name); });

// The folder goes away (moved or removed) between the writing and Commit:
// the commit fails and nothing of ours is left anywhere.
TEST(FileOutput, FolderThatVanishesLeavesNothingBehind) {
  for (const bool removed : {false, true}) {
    SCOPED_TRACE(removed ? "removed" : "moved");
    TempFolder dir;
    test::MakeFolder(dir / "site");
    WriteFile(dir / "site/out.xml", "old");
    FileOutput file;
    ASSERT_TRUE(file.Open(dir / "site/out.xml") && file.Write("new") && file.Finish());
    if (removed) {
      std::filesystem::remove_all(dir / "site");
    } else {
      std::filesystem::rename(dir / "site", dir / "moved");
    }
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(test::TemporaryFilesIn(dir.path()).empty());
    if (!removed) {
      EXPECT_EQ(ReadFile(dir / "moved/out.xml"), "old");
    }
  }
}

// A file that cannot be put in place after others were renamed: they are
// swapped back, the very old files under their names again, a new file goes
// and a file to remove stays.
TEST(FileOutput, CommitAllPutsBackWhatItRenamedWhenALaterFileFails) {
  TempFolder dir;
  WriteFile(dir / "a.xml", "old a");
  WriteFile(dir / "b.xml", "old b");
  WriteFile(dir / "gone.xml", "old");
  FileOutput a, created, gone, b;
  for (auto [file, name] : {std::pair{&a, "a.xml"}, {&created, "new.xml"}, {&b, "b.xml"}}) {
    ASSERT_TRUE(file->Open(dir / name) && file->Write("new") && file->Finish());
  }
  ASSERT_TRUE(gone.OpenToRemove(dir / "gone.xml"));
  const test::Snapshot before = test::TakeSnapshot(dir.path());
  // An immutable file can be neither renamed over nor opened to write.
  const int fd = open((dir / "b.xml").c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
      (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)) {
    if (fd >= 0) close(fd);
    GTEST_SKIP() << "cannot make a file immutable here: " << std::strerror(errno);
  }
  FileOutput* files[] = {&a, &created, &gone, &b};
  std::size_t failed = 0;
  const bool committed = FileOutput::CommitAll(files, failed);
  flags &= ~FS_IMMUTABLE_FL;
  ioctl(fd, FS_IOC_SETFLAGS, &flags);
  close(fd);
  EXPECT_FALSE(committed);
  EXPECT_EQ(failed, 3u);
  EXPECT_EQ(test::TakeSnapshot(dir.path()), before);
}

// A removal the folder would refuse fails the commit before the new file is
// put in place; one it allows goes. As an unprivileged user, for whom the
// folder's mode and sticky bit count.
TEST(FileOutput, CommitAllRemovesOnlyWhatTheFolderLetsGo) {
  if (!test::CanSwitchUser()) GTEST_SKIP() << "needs root to run as an unprivileged user";
  test::ChildConditions as_user;
  as_user.user = test::UnprivilegedUser();
  // The folder's mode, whether the old file is the user's, the cause (0: removed).
  for (const auto& [mode, own, error] : {std::tuple{0777, false, 0},
                                         {01777, true, 0},
                                         {01777, false, EPERM},
                                         {0755, true, EACCES}}) {
    SCOPED_TRACE(testing::Message() << std::oct << mode << (own ? " own" : ""));
    TempFolder dir;
    test::MakeFolder(dir / "out", 0777);
    test::MakeFolder(dir / "old", mode);
    WriteFile(dir / "old/dead-3.xml", "old");
    if (own) test::SetOwner(dir / "old/dead-3.xml", as_user.user->uid, as_user.user->gid);
    const test::ChildOutcome outcome = test::RunInChild(as_user, [&] {
      FileOutput made, gone;
      FileOutput* files[] = {&made, &gone};
      std::size_t failed = 0;
      return made.Open(dir / "out/dead-1.xml") && made.Finish() &&
             gone.OpenToRemove(dir / "old/dead-3.xml") && FileOutput::CommitAll(files, failed);
    });
    EXPECT_EQ(outcome.ok ? 0 : outcome.error, error);
    EXPECT_EQ(std::filesystem::exists(dir / "out/dead-1.xml"), error == 0);
    EXPECT_EQ(std::filesystem::exists(dir / "old/dead-3.xml"), error != 0);
  }
}

}  // namespace
}  // namespace lirrevo
