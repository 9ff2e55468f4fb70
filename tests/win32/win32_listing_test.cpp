#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "platform/win32/dir_listing.h"
#include "platform/win32/text_convert.h"
#include "platform/win32/win32_api.h"
#include "tests/clip_folder.h"

namespace tarnlight::win32 {
namespace {

// Ordinary files only unless the mask asks; names round-trip as UTF-8, the
// pattern's last part names the files, and a folder text without its
// separator names the folder, which mask 0 does not list.
TEST(Win32DirListing, TheMaskAndThePatternChooseTheNames) {
  test::ClipFolder dir;
  const std::string wide = "clip \xC3\xBC \xE6\x98\xA0.avi";  // "clip ü 映.avi"
  for (const std::string name : {"a.avi", "hidden.avi", "system.avi", "b.mpg"})
    dir.File(name);
  std::filesystem::create_directory(dir.path() / "x.avi");
  std::ofstream(dir.path() / Widen(wide)) << "x";
  for (auto [name, attributes] :
       {std::pair{L"hidden.avi", FILE_ATTRIBUTE_HIDDEN},
        {L"system.avi", FILE_ATTRIBUTE_SYSTEM}})
    ASSERT_TRUE(
        SetFileAttributesW((dir.path() / name).wstring().c_str(), attributes));
  struct Case {
    std::string pattern;
    int mask;
    std::set<std::string> names;
  };
  const std::string folder = dir.text();
  const Case cases[] = {
      {folder, attr::kNormal, {"a.avi", "b.mpg", wide}},
      {folder,
       attr::kHidden | attr::kSystem | attr::kDirectory,
       {"a.avi", "b.mpg", wide, "hidden.avi", "system.avi", "x.avi"}},
      {folder + "*.mpg", attr::kNormal, {"b.mpg"}},
      {folder.substr(0, folder.size() - 1), attr::kNormal, {}},
      {folder + "missing\\", attr::kNormal, {}},
  };
  Win32DirListing listing;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::vector<std::string> names = ListAll(listing, c.pattern, c.mask);
    std::set<std::string> found(names.begin(), names.end());
    found.erase(".");
    found.erase("..");
    EXPECT_EQ(found, c.names);
  }
  EXPECT_EQ(listing.Next(), "");
}

}  // namespace
}  // namespace tarnlight::win32
