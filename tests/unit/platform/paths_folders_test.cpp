#include "platform/layer_records.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::u16string Wide(const std::string& text) {
  std::u16string wide(text.size(), u'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  return wide;
}

std::u16string UrlOf(const std::u16string& path, HRESULT expected = S_OK) {
  WCHAR url[2084];
  DWORD length = 2084;
  EXPECT_EQ(UrlCreateFromPathW(path.c_str(), url, &length, 0), expected);
  EXPECT_EQ(length, std::u16string(url).size());
  return url;
}

TEST(PathsTest, RemoveFileSpec) {
  const std::pair<std::u16string, std::pair<std::u16string, BOOL>> cases[] = {
      {u"/opt/trawler/trawler", {u"/opt/trawler", TRUE}},
      {u"/trawler", {u"/", TRUE}},
      {u"/", {u"/", FALSE}},
      {u"trawler", {u"", TRUE}},
      {u"", {u"", FALSE}},
  };
  for (const auto& [path, expected] : cases) {
    std::u16string buffer = path + u'\0';
    EXPECT_EQ(PathRemoveFileSpecW(buffer.data()), expected.second) << buffer.size();
    EXPECT_EQ(std::u16string(buffer.c_str()), expected.first);
  }
}

TEST(PathsTest, CombineJoinsAndCanonicalises) {
  const std::pair<std::pair<const char16_t*, const char16_t*>, std::u16string> cases[] = {
      {{u"/opt/trawler", u"Html/index.html"}, u"/opt/trawler/Html/index.html"},
      {{u"/opt/trawler/", u"Html/index.html"}, u"/opt/trawler/Html/index.html"},
      {{u"/opt/trawler", u"/etc/x"}, u"/etc/x"},
      {{u"/opt/./trawler/bin", u"../Html"}, u"/opt/trawler/Html"},
      {{u"/opt", nullptr}, u"/opt"},
  };
  for (const auto& [arguments, expected] : cases) {
    WCHAR buffer[MAX_PATH];
    ASSERT_EQ(PathCombineW(buffer, arguments.first, arguments.second), buffer);
    EXPECT_EQ(std::u16string(buffer), expected);
  }
  WCHAR buffer[MAX_PATH];
  const std::u16string tooLong(MAX_PATH, u'a');
  EXPECT_EQ(PathCombineW(buffer, u"/", tooLong.c_str()), nullptr);
}

TEST(PathsTest, UncPathsAreRecognised) {
  EXPECT_TRUE(PathIsUNCW(u"\\\\server\\share\\a.txt"));
  EXPECT_FALSE(PathIsUNCW(u"/server/share"));
  EXPECT_FALSE(PathIsUNCW(u"\\single"));
  EXPECT_FALSE(PathIsUNCW(nullptr));
}

TEST(PathsTest, FileUrlsEscapeWhatAUrlCannotHold) {
  EXPECT_EQ(UrlOf(u"/opt/My Apps/Html/index.html"), u"file:///opt/My%20Apps/Html/index.html");
  EXPECT_EQ(UrlOf(u"/d/100%/a#b?c.html"), u"file:///d/100%25/a%23b%3Fc.html");
  EXPECT_EQ(UrlOf(u"/d/caf\u00E9/\U0001F3B5"), u"file:///d/caf%C3%A9/%F0%9F%8E%B5");
  EXPECT_EQ(UrlOf(u"\\\\server\\share\\a b.txt"), u"file://server/share/a%20b.txt");
  EXPECT_EQ(UrlOf(u"http://h.test/x", S_FALSE), u"http://h.test/x");

  WCHAR small[8];
  DWORD length = 8;
  EXPECT_EQ(UrlCreateFromPathW(u"/opt/trawler", small, &length, 0), E_POINTER);
  EXPECT_EQ(length, std::u16string(u"file:///opt/trawler").size() + 1);
  EXPECT_EQ(UrlCreateFromPathW(nullptr, small, &length, 0), E_INVALIDARG);
}

// A scratch folder per test, with XDG_DATA_HOME pointing into it.
class FoldersTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trawler-folders-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = pattern;
    const char* old = std::getenv("XDG_DATA_HOME");
    m_oldDataHome = old ? old : "";
    setenv("XDG_DATA_HOME", (m_root + "/data home").c_str(), 1);
  }
  void TearDown() override {
    if (m_oldDataHome.empty()) {
      unsetenv("XDG_DATA_HOME");
    } else {
      setenv("XDG_DATA_HOME", m_oldDataHome.c_str(), 1);
    }
    std::system(("rm -rf '" + m_root + "'").c_str());
  }

  std::string m_root;
  std::string m_oldDataHome;
};

TEST_F(FoldersTest, AppDataIsTheXdgDataFolder) {
  WCHAR path[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
  EXPECT_EQ(std::u16string(path), Wide(m_root + "/data home"));
  EXPECT_TRUE(PathFileExistsW(path));

  PIDLIST_ABSOLUTE list = nullptr;
  ASSERT_EQ(SHGetFolderLocation(nullptr, CSIDL_APPDATA, nullptr, 0, &list), S_OK);
  SHFILEINFOW info{};
  EXPECT_NE(SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                           SHGFI_PIDL | SHGFI_DISPLAYNAME),
            0u);
  EXPECT_EQ(std::u16string(info.szDisplayName), u"data home");
  ILFree(list);
  EXPECT_EQ(SHGetFolderPathW(nullptr, 0x0005, nullptr, 0, path), E_FAIL);
}

TEST_F(FoldersTest, RelativeDataHomeIsIgnored) {
  setenv("XDG_DATA_HOME", "relative", 1);
  WCHAR path[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
  EXPECT_NE(std::u16string(path), u"relative");
  EXPECT_EQ(path[0], u'/');
}

TEST_F(FoldersTest, CreateDirectoryReportsWhatIsInTheWay) {
  const std::u16string folder = Wide(m_root + "/Web \u00E9");
  EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_TRUE(PathFileExistsW(folder.c_str()));
  EXPECT_FALSE(CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW((folder + u"/missing/deeper").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(PathFileExistsW((folder + u"/missing").c_str()));
}

TEST(ModuleTest, FileNameIsTheExecutableAndTruncatesToTheBuffer) {
  WCHAR path[512];
  const DWORD length = GetModuleFileNameW(nullptr, path, 512);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, 512u);
  EXPECT_TRUE(PathFileExistsW(path));
  WCHAR small[5];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(small), std::u16string(path, 4));
}

TEST(ModuleTest, MissingIconResourceLoadsNothing) {
  EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(999), IMAGE_ICON, 32, 32, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
}

TEST(ModuleTest, AMissingIconSizeLoadsTheNearestImage) {
  // res/ holds the 16, 24, 32, 48, 64, 128 and 256 pixel images of icon 101; of two as
  // near, the larger.
  const std::pair<int, const char16_t*> cases[] = {
      {16, u"/res/icon-101-16.png"},   {20, u"/res/icon-101-24.png"},
      {40, u"/res/icon-101-48.png"},   {90, u"/res/icon-101-64.png"},
      {100, u"/res/icon-101-128.png"}, {1000, u"/res/icon-101-256.png"},
  };
  for (const auto& [size, file] : cases) {
    const HANDLE icon = LoadImageW(nullptr, MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0);
    const std::u16string path = platform::IconImageOf(static_cast<HICON>(icon)).path;
    EXPECT_EQ(path.substr(path.size() - std::u16string(file).size()), file) << size;
  }
}

}  // namespace
