#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>

#include "platform/posix/dir_listing.h"
#include "platform/posix/folder_text.h"
#include "platform/posix/helper_files.h"
#include "tests/clip_folder.h"

namespace tarnlight {
namespace {

std::set<std::string> Names(DirListing& listing, const std::string& pattern,
                            int mask = attr::kNormal) {
  std::vector<std::string> names = ListAll(listing, pattern, mask);
  return {names.begin(), names.end()};
}

TEST(PosixDirListing, OnlyRegularVisibleFilesAndLinksToThem) {
  test::ClipFolder dir;
  dir.File("a.avi");
  dir.File(".hidden.avi");
  dir.Folder("x.avi");
  ASSERT_EQ(mkfifo((dir.path() / "pipe.avi").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.path() / "a.avi",
                                  dir.path() / "link.avi");
  std::filesystem::create_symlink(dir.path() / "gone.avi",
                                  dir.path() / "dangling.avi");
  std::filesystem::create_directory_symlink(dir.path() / "x.avi",
                                            dir.path() / "dirlink.avi");
  posix::PosixDirListing listing;
  EXPECT_EQ(Names(listing, dir.text()),
            (std::set<std::string>{"a.avi", "link.avi"}));
  EXPECT_EQ(Names(listing, dir.text(), attr::kHidden | attr::kDirectory),
            (std::set<std::string>{".hidden.avi", "a.avi", "dirlink.avi",
                                   "link.avi", "x.avi"}));
}

TEST(PosixDirListing, PatternNamesTheFilesAndForwardSlashesWorkToo) {
  test::ClipFolder dir;
  for (const char* name : {"a.avi", "b.avi", "c.mpg", "clips"}) dir.File(name);
  posix::PosixDirListing listing;
  std::string folder = dir.path().string();
  EXPECT_EQ(Names(listing, folder + "\\*.avi"),
            (std::set<std::string>{"a.avi", "b.avi"}));
  EXPECT_EQ(Names(listing, folder + "/?.mpg"),
            (std::set<std::string>{"c.mpg"}));
  EXPECT_EQ(Names(listing, folder + "/"),
            (std::set<std::string>{"a.avi", "b.avi", "c.mpg", "clips"}));
  // Next after the end, and without First, stays empty.
  EXPECT_EQ(listing.Next(), "");
  posix::PosixDirListing fresh;
  EXPECT_EQ(fresh.Next(), "");
}

TEST(FolderText, MapsStoredSyntaxOntoPosixPaths) {
  struct Case {
    const char* stored;
    const char* path;
  };
  const Case cases[] = {
      {"c:\\", "/"},
      {"d:\\clips\\", "/clips/"},
      {"C:\\My Clips\\a.avi", "/My Clips/a.avi"},
      {"c:", "/"},
      {"c:clips\\", "/clips/"},
      {"/home/u/clips/", "/home/u/clips/"},
      {"c:/clips/\\", "/clips//"},
      {"clips\\", "clips/"},
      {"1:\\x", "1:/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(posix::MapFolderText(c.stored), c.path);
  }
}

TEST(FolderText, WildcardMatch) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      // The wildcard fuzz target checks the rest against its own oracle.
      {"", "a.avi", true},        {"*.avi", "a.mpg", false},
      {"?.avi", "ab.avi", false}, {"a*b*c", "axxbyyc", true},
      {"a*", "*", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.name);
    EXPECT_EQ(posix::WildcardMatch(c.pattern, c.name), c.match);
  }
  // Many stars against a long miss must still finish at once.
  EXPECT_FALSE(
      posix::WildcardMatch(std::string(30, '*') + "x", std::string(5000, 'a')));
}

// The same answers from the forked helper and without it, posted to the
// caller's loop rather than given inside the call.
TEST(HelperFiles, AnswersThroughThePostWithAndWithoutAHelper) {
  test::ClipFolder dir;
  dir.File("b.avi");
  dir.File("a.avi");
  dir.Folder("sub");
  for (bool fork : {true, false}) {
    SCOPED_TRACE(fork);
    posix::HelperFiles files(fork);
    std::mutex mutex;
    std::condition_variable posted;
    std::vector<std::function<void()>> queue;
    files.SetPost([&](std::function<void()> work) {
      std::lock_guard<std::mutex> lock(mutex);
      queue.push_back(std::move(work));
      posted.notify_one();
    });
    std::vector<std::string> names;
    std::vector<FileKind> kinds;
    files.List(dir.text(), attr::kNormal,
               [&](FolderListing found) { names = found.names; });
    for (const char* name : {"a.avi", "sub", "none"})
      files.Probe(dir.text() + name, [&](FileKind k) { kinds.push_back(k); });
    EXPECT_TRUE(names.empty() && kinds.empty());
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(posted.wait_for(lock, std::chrono::seconds(10),
                                [&] { return queue.size() == 4; }));
    for (auto& work : queue) work();
    EXPECT_EQ(names, (std::vector<std::string>{"a.avi", "b.avi"}));
    std::multiset<FileKind> expected{FileKind::Regular, FileKind::Other,
                                     FileKind::Missing};
    EXPECT_EQ(std::multiset<FileKind>(kinds.begin(), kinds.end()), expected);
  }
}

}  // namespace
}  // namespace tarnlight
