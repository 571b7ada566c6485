// The installed data folders and the search through them: beside the program first, then the
// data folder of the prefix the program lies in, then the configured one; files and folders
// laid out in a temporary prefix.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/ProgramFolder.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(DataFolderTest, BesideTheProgramThenItsPrefixThenTheConfiguredFolder) {
  EXPECT_EQ(DataFoldersOf("/opt/tw/bin/", "/usr/share/tunwick"),
            (std::vector<std::string>{"/opt/tw/bin/", "/opt/tw/bin/../share/tunwick/",
                                      "/usr/share/tunwick/"}));
  EXPECT_EQ(DataFoldersOf("/opt/tw/bin", ""),
            (std::vector<std::string>{"/opt/tw/bin/", "/opt/tw/bin/../share/tunwick/"}));
  // A program folder that cannot be known leaves only the configured folder.
  EXPECT_EQ(DataFoldersOf("", "/usr/share/tunwick"),
            (std::vector<std::string>{"/usr/share/tunwick/"}));
  // This process's: the running executable's folder first.
  const std::vector<std::string> folders = DataFolders();
  ASSERT_EQ(folders.size(), 3u);
  EXPECT_EQ(folders[0], ExecutableFolder());
  EXPECT_EQ(folders[1], ExecutableFolder() + "../share/tunwick/");
  EXPECT_NE(folders[2].find("tunwick"), std::string::npos);
}

// A prefix with bin/, share/tunwick/ and a separately configured data folder; each case puts
// the data in some of them and says where the search finds it.
TEST(DataFolderTest, TheFirstFolderThatHoldsTheDataWins) {
  enum Place { kBeside = 1, kPrefix = 2, kConfigured = 4 };
  const struct Case {
    const char* name;
    int places;
    const char* expected;  // the folder found in, "" for none
  } cases[] = {
      {"beside the program only", kBeside, "prefix/bin/"},
      {"in the prefix's share only (another install prefix)", kPrefix,
       "prefix/bin/../share/tunwick/"},
      {"in the configured folder only", kConfigured, "configured/"},
      {"beside the program wins over the others", kBeside | kPrefix | kConfigured, "prefix/bin/"},
      {"the prefix wins over the configured folder", kPrefix | kConfigured,
       "prefix/bin/../share/tunwick/"},
      {"nowhere", 0, nullptr},
  };
  for (const DataKind kind : {DataKind::kReadableFile, DataKind::kFolder}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (kind == DataKind::kFolder ? " (folder)" : " (file)"));
      testsupport::TempFolder root;
      const std::string base = root.path() + "/";
      fs::create_directories(base + "prefix/bin");
      fs::create_directories(base + "prefix/share/tunwick");
      fs::create_directories(base + "configured");
      const std::pair<int, const char*> folders[] = {{kBeside, "prefix/bin/"},
                                                     {kPrefix, "prefix/share/tunwick/"},
                                                     {kConfigured, "configured/"}};
      for (const auto& [place, folder] : folders) {
        const std::string path = base + folder + "data";
        // The other kind in every folder the data is not in: it is never taken for the data.
        const bool here = (c.places & place) != 0;
        if ((kind == DataKind::kFolder) == here)
          fs::create_directory(path);
        else
          root.Write(std::string(folder) + "data", "bytes");
      }
      const std::vector<std::string> searched =
          DataFoldersOf(base + "prefix/bin", base + "configured");
      EXPECT_EQ(FindData("data", searched, kind),
                c.expected == nullptr ? std::string() : base + c.expected + "data");
      EXPECT_EQ(FindData("", searched, kind), "") << "no name is no data";
    }
  }
}

TEST(DataFolderTest, AnUnreadableFileIsPassedOver) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  testsupport::TempFolder root;
  fs::create_directories(root.File("a"));
  fs::create_directories(root.File("b"));
  const std::string locked = root.Write("a/lumo.wav", "bytes");
  fs::permissions(locked, fs::perms::none);
  root.Write("b/lumo.wav", "bytes");
  EXPECT_EQ(FindData("lumo.wav", {root.File("a"), root.File("b")}, DataKind::kReadableFile),
            root.File("b/lumo.wav"));
}

}  // namespace
