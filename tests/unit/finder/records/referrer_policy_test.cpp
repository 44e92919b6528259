#include "finder/records/referrer_policy.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kPage = "https://a.test/watch?v=secret#t=1";

TEST(ReferrerPolicyTest, EachPolicyGivesWhatABrowserSends) {
  const char* const targets[] = {"https://a.test/seg.ts", "https://b.test/seg.ts",
                                 "http://b.test/seg.ts"};
  const struct {
    const char* header;
    const char* sent[3];  // same origin, another origin, http
  } cases[] = {
      {"", {"https://a.test/watch?v=secret", "https://a.test/", ""}},
      {"no-referrer", {"", "", ""}},
      {"no-referrer-when-downgrade",
       {"https://a.test/watch?v=secret", "https://a.test/watch?v=secret", ""}},
      {"same-origin", {"https://a.test/watch?v=secret", "", ""}},
      {"origin", {"https://a.test/", "https://a.test/", "https://a.test/"}},
      {"strict-origin", {"https://a.test/", "https://a.test/", ""}},
      {"origin-when-cross-origin",
       {"https://a.test/watch?v=secret", "https://a.test/", "https://a.test/"}},
      {"unsafe-url",
       {"https://a.test/watch?v=secret", "https://a.test/watch?v=secret",
        "https://a.test/watch?v=secret"}},
      // The last token a browser knows wins; unknown ones are passed over.
      {"unsafe-url, no-referrer, made-up", {"", "", ""}},
  };
  for (const auto& c : cases) {
    const ReferrerPolicy policy = ParseReferrerPolicy(c.header, kDefaultReferrerPolicy);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(ReferrerFor(policy, kPage, targets[i]), c.sent[i]) << c.header << " " << targets[i];
    }
  }
  EXPECT_EQ(ReferrerFor(ReferrerPolicy::kUnsafeUrl, "data:text/html,x", targets[0]), "");
}

TEST(ReferrerPolicyTest, ThePageOwnRequestsShowAPolicyItsHeadersDoNot) {
  // What a <meta name="referrer" content="origin"> page sent.
  const std::vector<std::pair<std::string, std::string>> sent = {
      {"https://a.test/a.js", "https://a.test/"}, {"https://c.test/b.png", "https://a.test/"}};
  EXPECT_EQ(PolicyOfRequests(kDefaultReferrerPolicy, kPage, sent), ReferrerPolicy::kOrigin);
  // What the declared policy explains stays.
  EXPECT_EQ(PolicyOfRequests(kDefaultReferrerPolicy, kPage,
                             {{"https://c.test/b.png", "https://a.test/"}}),
            kDefaultReferrerPolicy);
  EXPECT_EQ(PolicyOfRequests(ReferrerPolicy::kNoReferrer, kPage, {}), ReferrerPolicy::kNoReferrer);
}

}  // namespace
