#include "finder/filters.h"

#include <gtest/gtest.h>

namespace {

using ExtensionSet = std::set<std::u16string>;

struct ExtensionListCase {
  const char* text;
  ExtensionSet expected;
};

class ParseExtensionFilterTest : public testing::TestWithParam<ExtensionListCase> {};

TEST_P(ParseExtensionFilterTest, ReplacesTheSet) {
  FinderState state;
  state.m_extensionSet = {u".old"};
  EXPECT_TRUE(ParseExtensionFilter(state, GetParam().text));
  EXPECT_EQ(state.m_extensionSet, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseExtensionFilterTest,
    testing::Values(ExtensionListCase{"*.mp3; *.FLV,*.mp3", {u".FLV", u".mp3"}},
                    ExtensionListCase{"mp3", {u"mp3"}}, ExtensionListCase{"*.mp3;", {u"", u".mp3"}},
                    ExtensionListCase{"*", {u""}},
                    ExtensionListCase{".mp3,,.ogg", {u"", u".mp3", u".ogg"}},
                    ExtensionListCase{"* . mp3", {u".mp3"}}, ExtensionListCase{";", {u""}},
                    ExtensionListCase{"\t.mp3", {u"\t.mp3"}}));

TEST(ParseExtensionFilterTest, EmptyTextKeepsPreviousSet) {
  FinderState state;
  state.m_extensionSet = {u".mp3"};
  EXPECT_FALSE(ParseExtensionFilter(state, ""));
  EXPECT_EQ(state.m_extensionSet, ExtensionSet{u".mp3"});
}

TEST(SetMimeFilterTest, StoresTextWholeAndKeepsItOnEmptyText) {
  FinderState state;
  EXPECT_TRUE(SetMimeFilter(state, " Video/mp4;audio "));
  EXPECT_EQ(state.m_mimeFilter, u" Video/mp4;audio ");
  EXPECT_FALSE(SetMimeFilter(state, ""));
  EXPECT_EQ(state.m_mimeFilter, u" Video/mp4;audio ");
}

TEST(ExtensionOfTest, FollowsThePathExtensionRule) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"http://h.test/a/song.mp3", u".mp3"},
      {u"http://h.test/song.mp3?x=1", u".mp3?x=1"},
      {u"http://h.test/page", u".test/page"},
      {u"http://localhost/page", u""},
      {u"http://h.test/a b", u""},
      {u"http://h.test/a\\b", u""},
      {u"http://h.test/x.tar.gz", u".gz"},
      {u"http://h.test/dir./", u"./"},
      {u"", u""},
  };
  for (const auto& [url, extension] : cases) EXPECT_EQ(ExtensionOf(url), extension);
}

struct MatchCase {
  const char* name;
  int32_t filterEnabled;
  int32_t useFileExtFilter;
  std::u16string mimeFilter;
  ExtensionSet extensions;
  std::u16string url;
  std::u16string mimeType;
  bool passes;
};

class MatchesFilterTest : public testing::TestWithParam<MatchCase> {};

TEST_P(MatchesFilterTest, Decides) {
  FinderState state;
  state.m_filterEnabled = GetParam().filterEnabled;
  state.m_useFileExtFilter = GetParam().useFileExtFilter;
  state.m_mimeFilter = GetParam().mimeFilter;
  state.m_extensionSet = GetParam().extensions;
  EXPECT_EQ(MatchesFilter(state, GetParam().url, GetParam().mimeType), GetParam().passes);
}

const ExtensionSet kMedia = {u".mp3", u".mp4"};

INSTANTIATE_TEST_SUITE_P(
    Table, MatchesFilterTest,
    testing::Values(
        MatchCase{"ExtensionMatches", 1, 1, u"", kMedia, u"http://h.test/x.mp4", u"", true},
        MatchCase{"ExtensionIsCaseSensitive", 1, 1, u"", kMedia, u"http://h.test/x.MP4", u"",
                  false},
        MatchCase{"QueryBelongsToExtension", 1, 1, u"", kMedia, u"http://h.test/x.mp4?dl=1", u"",
                  false},
        MatchCase{
            "EmptyTokenMatchesDotlessUrl", 1, 1, u"", {u""}, u"http://localhost/page", u"", true},
        MatchCase{"EmptySetPassesNothing", 1, 1, u"", {}, u"http://localhost/page", u"", false},
        MatchCase{"MimeSubstring", 1, 0, u"video", {}, u"u", u"video/x-flv", true},
        MatchCase{"MimeInsideTheType", 1, 0, u"flv", {}, u"u", u"video/x-flv", true},
        MatchCase{"MimeMismatch", 1, 0, u"video", {}, u"u", u"application/octet-stream", false},
        MatchCase{"MimeIsCaseSensitive", 1, 0, u"Video", {}, u"u", u"video/mp4", false},
        MatchCase{
            "MimeListIsOneText", 1, 0, u"video/mp4;audio/mpeg", {}, u"u", u"video/mp4", false},
        MatchCase{"EmptyMimeFilterPassesAll", 1, 0, u"", {}, u"u", u"", true},
        MatchCase{"EmptyMimeTypeFailsMimeFilter", 1, 0, u"a", {}, u"u", u"", false},
        MatchCase{"DisabledPassesAll", 0, 1, u"", {}, u"u", u"", true},
        MatchCase{"DisabledIgnoresMime", 0, 0, u"video", {}, u"u", u"text/html", true}),
    [](const testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

TEST(FiltersTest, EmptyTextKeepsPreviousMimeFilterInForce) {
  FinderState state;
  SetMimeFilter(state, "audio");
  SetMimeFilter(state, "");
  EXPECT_TRUE(MatchesFilter(state, u"http://h.test/a.mp3", u"audio/mpeg"));
  EXPECT_FALSE(MatchesFilter(state, u"http://h.test/a.mp4", u"video/mp4"));
}

}  // namespace
