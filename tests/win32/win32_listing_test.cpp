#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/win32/dir_listing.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"
#include "tests/clip_folder.h"

namespace tarnlight::win32 {
namespace {

std::set<std::string> Names(DirListing& listing, const std::string& pattern,
                            int mask = attr::kNormal) {
  std::vector<std::string> names = tarnlight::ListAll(listing, pattern, mask);
  return {names.begin(), names.end()};
}

void SetAttributes(const std::filesystem::path& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesW(path.wstring().c_str(), attributes));
}

TEST(Win32DirListing, OrdinaryFilesOnlyUnlessTheMaskAsks) {
  test::ClipFolder dir;
  dir.File("a.avi");
  dir.File("hidden.avi");
  dir.File("system.avi");
  dir.Folder("x.avi");
  SetAttributes(dir.path() / "hidden.avi", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(dir.path() / "system.avi", FILE_ATTRIBUTE_SYSTEM);
  Win32DirListing listing;
  EXPECT_EQ(Names(listing, dir.text()), (std::set<std::string>{"a.avi"}));
  std::set<std::string> all = Names(
      listing, dir.text(), attr::kHidden | attr::kSystem | attr::kDirectory);
  for (const char* name : {"a.avi", "hidden.avi", "system.avi", "x.avi"})
    EXPECT_EQ(all.count(name), 1u) << name;
  // A folder text without its separator names the folder, which mask 0
  // does not list.
  std::string noSeparator = dir.text();
  noSeparator.pop_back();
  EXPECT_TRUE(Names(listing, noSeparator).empty());
  EXPECT_TRUE(Names(listing, dir.text() + "missing\\").empty());
  EXPECT_EQ(listing.Next(), "");
}

TEST(Win32DirListing, NamesRoundTripAsUtf8AndPatternsFilter) {
  test::ClipFolder dir;
  const std::string name = "clip \xC3\xBC \xE6\x98\xA0.avi";  // "clip ü 映.avi"
  std::filesystem::path wide = dir.path() / Widen(name);
  HANDLE file = CreateFileW(wide.wstring().c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  dir.File("b.mpg");
  Win32DirListing listing;
  EXPECT_EQ(Names(listing, dir.text()), (std::set<std::string>{name, "b.mpg"}));
  EXPECT_EQ(Names(listing, dir.text() + "*.mpg"),
            (std::set<std::string>{"b.mpg"}));
  EXPECT_EQ(Narrow(Widen(name)), name);
}

}  // namespace
}  // namespace tarnlight::win32
