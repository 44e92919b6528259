#pragma once

// Which Referer a browser sends: the referrer policies of the web (a page's
// Referrer-Policy header or <meta name="referrer">, strict-origin-when-cross-origin when it
// names none), applied to a request from a document to an address.

#include <string>
#include <utility>
#include <vector>

enum class ReferrerPolicy {
  kNoReferrer,
  kNoReferrerWhenDowngrade,
  kSameOrigin,
  kOrigin,
  kStrictOrigin,
  kOriginWhenCrossOrigin,
  kStrictOriginWhenCrossOrigin,
  kUnsafeUrl,
};

inline constexpr ReferrerPolicy kDefaultReferrerPolicy =
    ReferrerPolicy::kStrictOriginWhenCrossOrigin;

// The policy a Referrer-Policy header sets: its last token that names one (tokens are
// split at commas), or `otherwise` when none does.
ReferrerPolicy ParseReferrerPolicy(const std::string& header, ReferrerPolicy otherwise);
// The Referer a request from the document at `document` to `target` carries under the
// policy: the document's address (without fragment and user information), its origin
// with a "/", or empty for none.
std::string ReferrerFor(ReferrerPolicy policy, const std::string& document,
                        const std::string& target);
// The policy that explains what the document's own requests sent (pairs of an address and
// the Referer its request carried): `declared` when it does, else the first policy that
// explains every pair (a <meta> tag the headers do not show), else `declared`.
ReferrerPolicy PolicyOfRequests(ReferrerPolicy declared, const std::string& document,
                                const std::vector<std::pair<std::string, std::string>>& sent);
