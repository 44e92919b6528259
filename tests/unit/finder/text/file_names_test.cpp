#include "finder/text/file_names.h"

#include <gtest/gtest.h>

namespace {

// Whatever a hostile server or page names, the name is one harmless path component.
TEST(SaveFileNameTest, HostileNamesStayOnePathComponent) {
  const struct {
    const char* url;
    const char* disposition;
    const char* mimeType;
    const char* name;
  } cases[] = {
      {"http://h/a/.bash_profile", "", "text/plain", "bash_profile.txt"},
      {"http://h/x", "attachment; filename=\"../../.bashrc\"", "", "_.._.bashrc"},
      {"http://h/x", "attachment; filename=\"/etc/passwd\"", "", "_etc_passwd"},
      {"http://h/x", "attachment; filename=\"evil.desktop\"", "", "evil.desktop"},
      {"http://h/a%2F..%2Fb.txt", "", "", "a_.._b.txt"},
      {"http://h/nul%00byte.ts", "", "", "nul_byte.ts"},
      {"http://h/line%0Abreak.jpg", "", "", "line_break.jpg"},
      {"http://h/dots...", "", "", "dots"},
      {"http://h/%20%20spaced%20.png", "", "", "spaced .png"},
      {"http://h/CON.txt", "", "", "_CON.txt"},
      {"http://h/lpt1", "", "", "_lpt1"},
      {"http://h/..", "", "text/html", "index.html"},
      // The whole last segment, decoded from UTF-8.
      {"http://h/a,b.jpg", "", "image/jpeg", "a,b.jpg"},
      {"http://h/caf%C3%A9.jpg", "", "image/jpeg", "caf\u00e9.jpg"},
      {"http://h/bad%FF.jpg", "", "", "bad_.jpg"},
      // A page, and names without an extension, get their type's.
      {"http://h/", "", "text/html; charset=utf-8", "index.html"},
      {"http://h/watch?v=1", "", "video/mp4", "watch.mp4"},
      {"http://h/", "", "", "download"},
      {"data:image/png;base64,AAAA", "", "image/png", "download.png"},
      // RFC 6266: filename* first, in UTF-8 or ISO-8859-1; a quoted name may hold ";".
      {"http://h/x", "attachment; filename=\"plain.txt\"; filename*=UTF-8''na%C3%AFve.txt", "",
       "na\u00efve.txt"},
      {"http://h/x", "attachment; filename*=iso-8859-1'en'%E9t%E9.txt", "", "\u00e9t\u00e9.txt"},
      {"http://h/x", "inline; filename=\"a;b \\\"q\\\".txt\"", "", "a;b \"q\".txt"},
      {"http://h/x.bin", "attachment", "", "x.bin"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SaveFileName(c.url, c.disposition, c.mimeType), c.name)
        << c.url << " " << c.disposition;
  }
}

TEST(SaveFileNameTest, ALongNameKeepsItsExtensionAndWholeCharacters) {
  std::string stem;
  for (int i = 0; i < 200; ++i) stem += "\u00e9";  // two bytes each
  const std::string name = SafeFileName(stem + ".mp4");
  EXPECT_LE(name.size(), 255u);
  EXPECT_EQ(name.substr(name.size() - 4), ".mp4");
  EXPECT_EQ(name.size() % 2, 0u) << "a character was cut in two";
  EXPECT_EQ(SafeFileName(std::string(300, 'a')).size(), 255u);
  EXPECT_EQ(SafeFileName("..."), "");
  EXPECT_EQ(SafeFileName(std::string("a\0b", 3)), "a_b");
}

TEST(SaveFileNameTest, TypesHaveTheirExtensions) {
  EXPECT_EQ(ExtensionForType("Video/MP2T"), ".ts");
  EXPECT_EQ(ExtensionForType("application/vnd.apple.mpegurl"), ".m3u8");
  EXPECT_EQ(ExtensionForType("application/x-nothing"), "");
}

}  // namespace
