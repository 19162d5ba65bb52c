#include "core/files/file_identity.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace lirrevo {
namespace {

using test::TempFolder;
using test::WriteFile;

// A path the writer gives, relative to the folder, or "-" for none.
std::string Relative(const TempFolder& dir, const std::optional<std::string>& path) {
  if (!path) return "-";
  return std::filesystem::path(*path).lexically_normal().lexically_relative(dir.path()).string();
}

TEST(FollowLinks, EndsAtTheFileTheLinksLeadTo) {
  TempFolder dir;
  test::MakeFolder(dir / "sub");
  WriteFile(dir / "real.xml", "old");
  test::MakeLink("../real.xml", dir / "sub/up.xml");
  test::MakeLink(dir / "real.xml", dir / "absolute.xml");
  test::MakeLink("sub/up.xml", dir / "chain.xml");
  test::MakeLink("sub/absent.xml", dir / "dangling.xml");
  test::MakeLink("loop-b.xml", dir / "loop-a.xml");
  test::MakeLink("loop-a.xml", dir / "loop-b.xml");
  test::MakeLink("self.xml", dir / "self.xml");
  const std::map<std::string, std::string> cases = {
      {"real.xml", "real.xml"},   {"absent.xml", "absent.xml"},
      {"sub/up.xml", "real.xml"}, {"absolute.xml", "real.xml"},
      {"chain.xml", "real.xml"},  {"dangling.xml", "sub/absent.xml"},
      {"loop-a.xml", "-"},        {"self.xml", "-"},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(Relative(dir, FollowLinks(dir / name)), expected) << name;
  }
}

// A replacement stands for a file only where it is the file's one name.
TEST(PlanReplacement, OnlyForAFileWithOneName) {
  TempFolder dir;
  WriteFile(dir / "single.xml", "old", 0640);
  test::MakeLink("single.xml", dir / "link.xml");
  WriteFile(dir / "twice.xml", "old", 0640);
  ASSERT_EQ(link((dir / "twice.xml").c_str(), (dir / "other.xml").c_str()), 0);
  test::MakeLink("twice.xml", dir / "link-to-twice.xml");
  const std::map<std::string, std::string> cases = {
      {"single.xml", "single.xml"},
      {"link.xml", "single.xml"},
      {"twice.xml", "-"},
      {"link-to-twice.xml", "-"},
  };
  for (const auto& [name, expected] : cases) {
    struct stat existing {};
    ASSERT_EQ(stat((dir / name).c_str(), &existing), 0);
    const std::optional<ReplacementPlan> plan = PlanReplacement(dir / name, existing);
    EXPECT_EQ(Relative(dir, plan ? std::optional(plan->target) : std::nullopt), expected) << name;
    if (plan) {
      EXPECT_EQ(plan->identity.mode, 0640u) << name;
    }
  }
}

int OpenFile(const std::string& path) { return open(path.c_str(), O_RDWR | O_CLOEXEC); }

// A new file takes the old one's owner, mode and attributes, and loses the
// attributes it was born with.
TEST(GiveIdentity, CarriesExactlyTheOldFilesIdentity) {
  TempFolder dir;
  WriteFile(dir / "old.xml", "old", 0640);
  WriteFile(dir / "new.xml", "new", 0600);
  if (setxattr((dir / "old.xml").c_str(), "user.origin", "kept", 4, 0) != 0 ||
      setxattr((dir / "new.xml").c_str(), "user.stray", "dropped", 7, 0) != 0) {
    GTEST_SKIP() << "extended attributes are refused here";
  }
  if (test::CanSwitchUser()) {
    test::SetOwner(dir / "old.xml", test::UnprivilegedUser().uid, test::UnprivilegedUser().gid);
  }
  const int old_fd = OpenFile(dir / "old.xml");
  const int new_fd = OpenFile(dir / "new.xml");
  ASSERT_GE(old_fd, 0);
  ASSERT_GE(new_fd, 0);
  const std::optional<FileIdentity> old = ReadIdentity(old_fd);
  ASSERT_TRUE(old);
  EXPECT_TRUE(GiveIdentity(new_fd, *old));
  const std::optional<FileIdentity> now = ReadIdentity(new_fd);
  close(old_fd);
  close(new_fd);
  ASSERT_TRUE(now);
  EXPECT_EQ(now->owner, old->owner);
  EXPECT_EQ(now->group, old->group);
  EXPECT_EQ(now->mode, 0640u);
  EXPECT_EQ(now->attributes, (std::map<std::string, std::string>{{"user.origin", "kept"}}));
}

// Another user's file cannot be carried by a file we make: its owner is refused.
TEST(GiveIdentity, RefusesAnOwnerWeCannotGive) {
  if (!test::CanSwitchUser()) GTEST_SKIP() << "needs root to run as an unprivileged user";
  TempFolder dir;
  const test::UserIds user = test::UnprivilegedUser();
  WriteFile(dir / "new.xml", "new", 0644);
  test::SetOwner(dir / "new.xml", user.uid, user.gid);
  test::ChildConditions as_user;
  as_user.user = user;
  const test::ChildOutcome outcome = test::RunInChild(as_user, [&] {
    const int fd = OpenFile(dir / "new.xml");
    const bool given = fd >= 0 && GiveIdentity(fd, FileIdentity{0, 0, 0644, {}});
    if (fd >= 0) close(fd);
    return given;
  });
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, EPERM);
  EXPECT_EQ(test::OwnerOf(dir / "new.xml"), user.uid);
}

}  // namespace
}  // namespace lirrevo
