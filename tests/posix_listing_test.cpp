#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <semaphore>
#include <set>
#include <tuple>

#include "platform/posix/dir_listing.h"
#include "platform/posix/folder_text.h"
#include "platform/posix/helper_files.h"
#include "tests/clip_folder.h"

namespace tarnlight {
namespace {

// Ordinary files are regular, visible files and links to them; the mask
// adds the rest. The pattern's last part names the files, with either
// separator, and a folder text without its separator names the folder.
TEST(PosixDirListing, TheMaskAndThePatternChooseTheNames) {
  test::ClipFolder dir;
  for (const char* name : {"a.avi", ".hidden.avi", "c.mpg"}) dir.File(name);
  std::filesystem::create_directory(dir.path() / "x.avi");
  ASSERT_EQ(mkfifo((dir.path() / "pipe.avi").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.path() / "a.avi", dir.path() / "l.avi");
  std::filesystem::create_symlink(dir.path() / "gone", dir.path() / "d.avi");
  std::filesystem::create_directory_symlink(dir.path() / "x.avi",
                                            dir.path() / "dl.avi");
  const std::string folder = dir.path().string();
  const std::tuple<std::string, int, std::set<std::string>> cases[] = {
      {folder + "\\", attr::kNormal, {"a.avi", "c.mpg", "l.avi"}},
      {folder + "/",
       attr::kHidden | attr::kDirectory,
       {".hidden.avi", "a.avi", "c.mpg", "dl.avi", "l.avi", "x.avi"}},
      {folder + "\\*.avi", attr::kNormal, {"a.avi", "l.avi"}},
      {folder + "/?.mpg", attr::kNormal, {"c.mpg"}},
      {folder, attr::kNormal, {}},
      {folder + "/missing/", attr::kNormal, {}},
  };
  posix::PosixDirListing listing;
  for (const auto& [pattern, mask, expected] : cases) {
    std::vector<std::string> names = ListAll(listing, pattern, mask);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected)
        << pattern;
  }
  // Next after the end, and without First, stays empty.
  EXPECT_EQ(listing.Next(), "");
  EXPECT_EQ(posix::PosixDirListing().Next(), "");
}

TEST(FolderText, MapsStoredSyntaxOntoPosixPaths) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\My Clips\\a.avi", "/My Clips/a.avi"},
      {"c:", "/"},
      {"c:clips\\", "/clips/"},
      {"/home/u/clips/", "/home/u/clips/"},
      {"c:/clips/\\", "/clips//"},
      {"clips\\", "clips/"},
      {"1:\\x", "1:/x"}};
  for (auto [stored, path] : cases)
    EXPECT_EQ(posix::MapFolderText(stored), path) << stored;
}

// Matching is the fuzz target's, against an oracle of its own and from a
// corpus that holds each rule; here, many stars against a long miss must
// still finish at once.
TEST(FolderText, WildcardMatchStaysLinearOnStars) {
  EXPECT_FALSE(
      posix::WildcardMatch(std::string(30, '*') + "x", std::string(5000, 'a')));
}

// The same answers from the forked helper and without it, posted to the
// caller's loop rather than given inside the call.
TEST(HelperFiles, AnswersThroughThePostWithAndWithoutAHelper) {
  test::ClipFolder dir;
  for (const char* name : {"b.avi", "a.avi"}) dir.File(name);
  std::filesystem::create_directory(dir.path() / "sub");
  for (bool fork : {true, false}) {
    SCOPED_TRACE(fork);
    posix::HelperFiles files(fork);
    std::array<std::function<void()>, 4> posts;
    std::atomic<std::size_t> count = 0;
    std::counting_semaphore<4> posted(0);
    files.SetPost([&](std::function<void()> work) {
      posts.at(count++) = std::move(work);
      posted.release();
    });
    std::vector<std::string> names;
    std::map<std::string, FileKind> kinds;
    files.List(dir.text(), attr::kNormal,
               [&](FolderListing found) { names = found.names; });
    for (std::string n : {"a.avi", "sub", "none"})
      files.Probe(dir.text() + n, [&, n](FileKind k) { kinds[n] = k; });
    EXPECT_TRUE(names.empty() && kinds.empty());
    for (int i = 0; i < 4; ++i)
      ASSERT_TRUE(posted.try_acquire_for(std::chrono::seconds(10)));
    for (auto& work : posts) work();
    EXPECT_EQ(names, (std::vector<std::string>{"a.avi", "b.avi"}));
    EXPECT_EQ(kinds,
              (std::map<std::string, FileKind>{{"a.avi", FileKind::Regular},
                                               {"sub", FileKind::Other},
                                               {"none", FileKind::Missing}}));
  }
}

}  // namespace
}  // namespace tarnlight
