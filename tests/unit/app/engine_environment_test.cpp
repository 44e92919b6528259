#include "app/engine_environment.h"

#include "tests/unit/system_test_support.h"
#include "webview/com_ptr.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

class EngineEnvironmentTest : public SystemTest {
 protected:
  std::u16string StorageFolder() {
    const std::string path = m_folder + "/data/WebKitUtil/LocalStorage";
    return std::u16string(path.begin(), path.end());
  }
  static bool Exists(const std::u16string& path) { return PathFileExistsW(path.c_str()); }
};

TEST_F(EngineEnvironmentTest, FirstRunTurnsSecurityOffStorageOnAndCreatesTheFolders) {
  ApplyEnginePreferences();
  const sim::PreferenceState& preferences = sim::GetRecords().preferences;
  EXPECT_FALSE(preferences.webSecurityEnabled);
  EXPECT_TRUE(preferences.localStorageEnabled);
  EXPECT_EQ(preferences.localStorageDatabasePath, StorageFolder());
  EXPECT_TRUE(Exists(StorageFolder()));
  EXPECT_EQ(preferences.writes,
            (std::vector<std::string>{"setWebSecurityEnabled", "setLocalStorageEnabled",
                                      "setLocalStorageDatabasePath"}));
}

TEST_F(EngineEnvironmentTest, SettingsAlreadyRightAreNotWrittenAgain) {
  ApplyEnginePreferences();
  const size_t writes = sim::GetRecords().preferences.writes.size();
  std::system(("rm -rf '" + m_folder + "/data/WebKitUtil'").c_str());
  ApplyEnginePreferences();
  EXPECT_EQ(sim::GetRecords().preferences.writes.size(), writes);
  // An engine that has a storage path already gets no folders.
  EXPECT_FALSE(Exists(StorageFolder()));
}

TEST_F(EngineEnvironmentTest, NoApplicationDataFolderSkipsTheStorageStep) {
  setenv("XDG_DATA_HOME", "/proc/no-such-folder/data", 1);
  std::u16string folder = u"stale";
  EXPECT_FALSE(GetAppDataFolder(folder));
  EXPECT_EQ(folder, u"");
  ApplyEnginePreferences();
  EXPECT_EQ(sim::GetRecords().preferences.localStorageDatabasePath, u"");
  EXPECT_TRUE(sim::GetRecords().preferences.localStorageEnabled);
}

TEST_F(EngineEnvironmentTest, TheUiPageLiesBesideTheExecutable) {
  std::u16string module;
  ASSERT_TRUE(GetModuleFolder(module));
  std::u16string path;
  ASSERT_TRUE(GetUiPagePath(path));
  EXPECT_EQ(path, module + u"/Html/index.html");
  std::u16string url;
  ASSERT_TRUE(GetUiPageUrl(url));
  EXPECT_EQ(url.rfind(u"file:///", 0), 0u);
  EXPECT_NE(url.find(u"/Html/index.html"), std::u16string::npos);
}

TEST_F(EngineEnvironmentTest, UiPageUrlEscapesTheExecutablesFolder) {
  const std::string folder = m_folder + "/My Tools \xC3\xA9";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(std::system(("cp '" UI_PAGE_URL_PROBE "' '" + folder + "/probe'").c_str()), 0);
  FILE* output = popen(("'" + folder + "/probe'").c_str(), "r");
  ASSERT_NE(output, nullptr);
  char line[4096] = {};
  const bool read = std::fgets(line, sizeof line, output) != nullptr;
  EXPECT_EQ(pclose(output), 0);
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(line), "file://" + m_folder + "/My%20Tools%20%C3%A9/Html/index.html\n");
}

TEST_F(EngineEnvironmentTest, StandardPreferencesComeWithOneReference) {
  ComPtr<IWebPreferences> preferences;
  ASSERT_TRUE(GetStandardPreferences(preferences.Receive()));
  EXPECT_NE(preferences.Get(), nullptr);
  sim::FailCreationOf(&CLSID_WebPreferences);
  IWebPreferences* none = reinterpret_cast<IWebPreferences*>(uintptr_t{1});
  EXPECT_FALSE(GetStandardPreferences(&none));
  EXPECT_EQ(none, nullptr);
  sim::FailCreationOf(nullptr);
}

}  // namespace
