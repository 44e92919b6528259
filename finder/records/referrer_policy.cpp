#include "finder/records/referrer_policy.h"

#include "finder/text/ascii_case.h"
#include "finder/text/web_address.h"

#include <algorithm>

namespace {

struct Named {
  const char* name;
  ReferrerPolicy policy;
};

constexpr Named kPolicies[] = {
    {"no-referrer", ReferrerPolicy::kNoReferrer},
    {"no-referrer-when-downgrade", ReferrerPolicy::kNoReferrerWhenDowngrade},
    {"same-origin", ReferrerPolicy::kSameOrigin},
    {"origin", ReferrerPolicy::kOrigin},
    {"strict-origin", ReferrerPolicy::kStrictOrigin},
    {"origin-when-cross-origin", ReferrerPolicy::kOriginWhenCrossOrigin},
    {"strict-origin-when-cross-origin", ReferrerPolicy::kStrictOriginWhenCrossOrigin},
    {"unsafe-url", ReferrerPolicy::kUnsafeUrl},
};

std::string Token(std::string text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return AsciiLower(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool IsHttps(const std::string& url) { return url.rfind("https:", 0) == 0; }

}  // namespace

ReferrerPolicy ParseReferrerPolicy(const std::string& header, ReferrerPolicy otherwise) {
  ReferrerPolicy policy = otherwise;
  size_t start = 0;
  while (start <= header.size()) {
    size_t end = header.find(',', start);
    if (end == std::string::npos) end = header.size();
    const std::string token = Token(header.substr(start, end - start));
    for (const Named& named : kPolicies) {
      if (token == named.name) policy = named.policy;
    }
    start = end + 1;
  }
  return policy;
}

std::string ReferrerFor(ReferrerPolicy policy, const std::string& document,
                        const std::string& target) {
  const std::string full = ReferrerForm(document);
  if (full.empty()) return std::string();
  const std::string origin = OriginOf(document) + "/";
  const bool sameOrigin = OriginOf(document) == OriginOf(target);
  const bool downgrade = IsHttps(document) && !IsHttps(target);
  switch (policy) {
    case ReferrerPolicy::kNoReferrer:
      return std::string();
    case ReferrerPolicy::kNoReferrerWhenDowngrade:
      return downgrade ? std::string() : full;
    case ReferrerPolicy::kSameOrigin:
      return sameOrigin ? full : std::string();
    case ReferrerPolicy::kOrigin:
      return origin;
    case ReferrerPolicy::kStrictOrigin:
      return downgrade ? std::string() : origin;
    case ReferrerPolicy::kOriginWhenCrossOrigin:
      return sameOrigin ? full : origin;
    case ReferrerPolicy::kStrictOriginWhenCrossOrigin:
      return sameOrigin ? full : downgrade ? std::string() : origin;
    case ReferrerPolicy::kUnsafeUrl:
      return full;
  }
  return std::string();
}

ReferrerPolicy PolicyOfRequests(ReferrerPolicy declared, const std::string& document,
                                const std::vector<std::pair<std::string, std::string>>& sent) {
  const auto explains = [&](ReferrerPolicy policy) {
    return std::all_of(sent.begin(), sent.end(), [&](const auto& request) {
      return ReferrerFor(policy, document, request.first) == request.second;
    });
  };
  if (explains(declared)) return declared;
  for (const Named& named : kPolicies) {
    if (explains(named.policy)) return named.policy;
  }
  return declared;
}
