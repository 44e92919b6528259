#include "finder/records/dash_manifest.h"

#include "finder/records/xml_elements.h"
#include "finder/text/ascii_case.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr size_t kMostRepresentations = 1000;

// The segment element of one kind at each level (period, adaptation set, representation),
// outermost first; null where a level has none.
using Levels = std::vector<const XmlElement*>;

// The attribute of the innermost level that has it.
const std::string* Inherited(const Levels& levels, const std::string& key) {
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    if (!*level) continue;
    if (const std::string* value = (*level)->Attribute(key)) return value;
  }
  return nullptr;
}

const XmlElement* InheritedChild(const Levels& levels, const std::string& name) {
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    if (!*level) continue;
    if (const XmlElement* child = (*level)->Child(name)) return child;
  }
  return nullptr;
}

// A whole number of the whole text; the fallback for none or for anything else.
int64_t Whole(const std::string& text, int64_t fallback) {
  if (text.empty()) return fallback;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  return end && *end == '\0' ? value : fallback;
}

int64_t Whole(const std::string* text, int64_t fallback) {
  return text ? Whole(*text, fallback) : fallback;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The base address of an element: its first BaseURL resolved against its parent's.
std::string BaseOf(const XmlElement& element, const std::string& base) {
  const XmlElement* child = element.Child("BaseURL");
  const std::string reference = child ? Trimmed(child->text) : std::string();
  return reference.empty() ? base : ResolveUrl(base, reference);
}

// A segment of the address, or of its part "first-last" when a range is given.
PlaylistSegment Part(const std::string& url, const std::string* range) {
  PlaylistSegment segment{url, -1, -1};
  const size_t dash = range ? range->find('-') : std::string::npos;
  if (dash == std::string::npos) return segment;
  const int64_t first = Whole(range->substr(0, dash), -1);
  const int64_t last = Whole(range->substr(dash + 1), -1);
  if (first >= 0 && last >= first) {
    segment.first = first;
    segment.length = last - first + 1;
  }
  return segment;
}

// Where the segments of one representation go, bounded.
struct Listing {
  DashRepresentation& representation;
  std::string& note;

  bool Add(PlaylistSegment segment) {
    if (representation.segments.size() >= kMostSegments) {
      if (note.empty()) note = "A representation lists more segments than are kept";
      return false;
    }
    representation.segments.push_back(std::move(segment));
    return true;
  }
};

// A SegmentTemplate's segments: along its SegmentTimeline, else one per duration of the
// period.
void TemplateSegments(const Levels& templates, const std::string& base, double periodSeconds,
                      bool dynamic, Listing listing) {
  const DashRepresentation& representation = listing.representation;
  const auto address = [&](const std::string& pattern, int64_t number, int64_t time) {
    return ResolveUrl(
        base, FillTemplate(pattern, representation.id, number, time, representation.bandwidth));
  };
  if (const std::string* initialization = Inherited(templates, "initialization")) {
    listing.Add({address(*initialization, 0, 0), -1, -1});
  }
  const std::string* media = Inherited(templates, "media");
  if (!media) {
    listing.note = "A SegmentTemplate names no media";
    return;
  }
  const int64_t timescale = std::max<int64_t>(1, Whole(Inherited(templates, "timescale"), 1));
  int64_t number = Whole(Inherited(templates, "startNumber"), 1);
  const double periodEnd = periodSeconds * static_cast<double>(timescale);
  if (const XmlElement* timeline = InheritedChild(templates, "SegmentTimeline")) {
    int64_t time = 0;
    const std::vector<XmlElement>& entries = timeline->children;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].name != "S") continue;
      time = Whole(entries[i].Attribute("t"), time);
      const int64_t duration = Whole(entries[i].Attribute("d"), 0);
      int64_t repeats = Whole(entries[i].Attribute("r"), 0);
      if (duration <= 0) {
        listing.note = "A SegmentTimeline entry has no duration";
        return;
      }
      if (repeats < 0) {
        // Until the next entry's start, or the period's end.
        const std::string* next = i + 1 < entries.size() ? entries[i + 1].Attribute("t") : nullptr;
        const double end = next ? static_cast<double>(Whole(next, time)) : periodEnd;
        repeats = static_cast<int64_t>(std::ceil((end - static_cast<double>(time)) /
                                                 static_cast<double>(duration))) -
                  1;
      }
      for (int64_t k = 0; k <= repeats; ++k, ++number, time += duration) {
        if (!listing.Add({address(*media, number, time), -1, -1})) return;
      }
    }
    return;
  }
  const int64_t duration = Whole(Inherited(templates, "duration"), 0);
  if (duration <= 0 || periodSeconds <= 0) {
    listing.note = dynamic ? "A live manifest without a timeline: its segments are not listed"
                           : "A SegmentTemplate gives neither a timeline nor a duration";
    return;
  }
  const auto count =
      static_cast<int64_t>(std::ceil(periodEnd / static_cast<double>(duration) - 1e-9));
  for (int64_t n = 0; n < count; ++n) {
    if (!listing.Add({address(*media, number + n, n * duration), -1, -1})) return;
  }
}

// A SegmentList's initialization and segment addresses, with their ranges.
void ListSegments(const Levels& lists, const std::string& base, Listing listing) {
  if (const XmlElement* initialization = InheritedChild(lists, "Initialization")) {
    const std::string* source = initialization->Attribute("sourceURL");
    listing.Add(
        Part(source ? ResolveUrl(base, *source) : base, initialization->Attribute("range")));
  }
  for (auto level = lists.rbegin(); level != lists.rend(); ++level) {
    if (!*level || !(*level)->Child("SegmentURL")) continue;
    for (const XmlElement& child : (*level)->children) {
      if (child.name != "SegmentURL") continue;
      const std::string* media = child.Attribute("media");
      if (!listing.Add(
              Part(media ? ResolveUrl(base, *media) : base, child.Attribute("mediaRange"))))
        return;
    }
    return;
  }
}

// The segment elements of the kind the innermost level that has one uses.
Levels LevelsOf(const Levels& elements, std::string& kind) {
  kind.clear();
  for (auto element = elements.rbegin(); element != elements.rend() && kind.empty(); ++element) {
    for (const char* candidate : {"SegmentTemplate", "SegmentList", "SegmentBase"}) {
      if ((*element)->Child(candidate)) {
        kind = candidate;
        break;
      }
    }
  }
  Levels levels;
  for (const XmlElement* element : elements) {
    levels.push_back(kind.empty() ? nullptr : element->Child(kind));
  }
  return levels;
}

std::string ContentTypeOf(const std::string& declared, const std::string& mimeType) {
  if (!declared.empty()) return declared;
  for (const char* type : {"video", "audio", "text"}) {
    if (mimeType.rfind(std::string(type) + "/", 0) == 0) return type;
  }
  return mimeType.rfind("application/ttml", 0) == 0 ? "text" : "";
}

// The DRM system a ContentProtection element's scheme names.
std::string ProtectionName(const XmlElement& element) {
  const std::string scheme = AsciiLower(element.AttributeOr("schemeIdUri", ""));
  static const std::pair<const char*, const char*> kKnown[] = {
      {"edef8ba9-79d6-4ace-a3c8-27dcd51d21ed", "Widevine"},
      {"9a04f079-9840-4286-ab92-e65be0885f95", "PlayReady"},
      {"94ce86fb-07ff-4f43-adb8-93d2fa968ca2", "FairPlay"},
      {"e2719d58-a985-b3c9-781a-b030af78d30e", "ClearKey"},
      {"1077efec-c0b2-4d02-ace3-3c1e52e2fb4b", "ClearKey"},
      {"urn:mpeg:dash:mp4protection:2011", "Common Encryption"},
  };
  for (const auto& [uuid, name] : kKnown) {
    if (scheme.find(uuid) != std::string::npos) return name;
  }
  return scheme.empty() ? "ContentProtection" : scheme;
}

// Notes the first ContentProtection among the element's children.
void NoteProtection(const XmlElement& element, DashManifest& manifest) {
  for (const XmlElement& child : element.children) {
    if (child.name == "ContentProtection" && manifest.protection.empty()) {
      manifest.protection = ProtectionName(child);
    }
  }
}

struct Period {
  const XmlElement& element;
  std::string base;
  double seconds;
  const std::string& manifestUrl;
};

void ReadRepresentation(const Period& period, const XmlElement& set, const XmlElement& element,
                        const std::string& setBase, DashManifest& manifest) {
  NoteProtection(element, manifest);
  DashRepresentation representation;
  const auto either = [&](const char* key) {
    return element.AttributeOr(key, set.AttributeOr(key, ""));
  };
  representation.id = element.AttributeOr("id", "");
  representation.mimeType = either("mimeType");
  representation.codecs = either("codecs");
  representation.language = set.AttributeOr("lang", "");
  representation.contentType =
      ContentTypeOf(set.AttributeOr("contentType", ""), representation.mimeType);
  representation.bandwidth = Whole(element.Attribute("bandwidth"), 0);
  representation.width = static_cast<int>(Whole(either("width"), 0));
  representation.height = static_cast<int>(Whole(either("height"), 0));
  const std::string base = BaseOf(element, setBase);
  std::string kind;
  const Levels levels = LevelsOf({&period.element, &set, &element}, kind);
  Listing listing{representation, manifest.note};
  if (kind == "SegmentTemplate") {
    TemplateSegments(levels, base, period.seconds, manifest.dynamic, listing);
  } else if (kind == "SegmentList") {
    ListSegments(levels, base, listing);
  } else if (kind == "SegmentBase" || base != period.manifestUrl) {
    // The representation is its one file (its BaseURL); its init and index ranges lie
    // within it.
    listing.Add({base, -1, -1});
  }
  manifest.representations.push_back(std::move(representation));
}

// How long each period lasts: its duration, else up to the next one's start, else up to
// the presentation's end.
std::vector<double> PeriodSeconds(const std::vector<const XmlElement*>& periods, double total) {
  std::vector<double> seconds;
  for (size_t i = 0; i < periods.size(); ++i) {
    const double start = IsoSeconds(periods[i]->AttributeOr("start", ""));
    double length = IsoSeconds(periods[i]->AttributeOr("duration", ""));
    if (length <= 0 && i + 1 < periods.size() && periods[i + 1]->Attribute("start")) {
      length = IsoSeconds(*periods[i + 1]->Attribute("start")) - start;
    }
    if (length <= 0) length = total - start;
    seconds.push_back(std::max(0.0, length));
  }
  return seconds;
}

}  // namespace

std::string FillTemplate(const std::string& pattern, const std::string& id, int64_t number,
                         int64_t time, int64_t bandwidth) {
  std::string out;
  for (size_t at = 0; at < pattern.size();) {
    const size_t end = pattern[at] == '$' ? pattern.find('$', at + 1) : std::string::npos;
    if (end == std::string::npos) {
      out += pattern[at++];
      continue;
    }
    const std::string identifier = pattern.substr(at + 1, end - at - 1);
    const size_t percent = identifier.find('%');
    const std::string name = identifier.substr(0, percent);
    const std::string format = percent == std::string::npos ? "" : identifier.substr(percent);
    // A width such as %05d: digits only, so the text is never a format of its own.
    const bool widthOk =
        format.empty() || (format.size() >= 2 && format.back() == 'd' &&
                           format.find_first_not_of("0123456789", 1) == format.size() - 1);
    const auto numbered = [&](int64_t value) {
      char text[64];
      const int width = format.empty() ? 0 : std::atoi(format.c_str() + 1);
      std::snprintf(text, sizeof text, "%0*lld", std::min(width, 32),
                    static_cast<long long>(value));
      return std::string(text);
    };
    if (identifier.empty()) {
      out += '$';
    } else if (name == "RepresentationID" && format.empty()) {
      out += id;
    } else if (widthOk && name == "Number") {
      out += numbered(number);
    } else if (widthOk && name == "Time") {
      out += numbered(time);
    } else if (widthOk && name == "Bandwidth") {
      out += numbered(bandwidth);
    } else {
      out += pattern.substr(at, end - at + 1);
    }
    at = end + 1;
  }
  return out;
}

double IsoSeconds(const std::string& text) {
  if (text.empty() || text[0] != 'P') return 0;
  double seconds = 0;
  bool time = false;
  for (const char* at = text.c_str() + 1; *at;) {
    if (*at == 'T') {
      time = true;
      ++at;
      continue;
    }
    char* end = nullptr;
    const double value = std::strtod(at, &end);
    if (end == at || !*end || !std::isfinite(value) || value < 0) return 0;
    double unit = 0;
    switch (*end) {
      case 'D':
        unit = 86400;
        break;
      case 'H':
        unit = time ? 3600 : 0;
        break;
      case 'M':
        unit = time ? 60 : 0;
        break;
      case 'S':
        unit = time ? 1 : 0;
        break;
      default:
        return 0;
    }
    if (unit == 0) return 0;
    seconds += value * unit;
    at = end + 1;
  }
  return seconds;
}

DashManifest ReadDashManifest(std::string_view text, const std::string& url) {
  DashManifest manifest;
  XmlElement root;
  std::string error;
  if (!ReadXml(text, root, error) || root.name != "MPD") {
    manifest.note =
        error.empty() ? "The manifest is no MPD" : "The manifest cannot be read: " + error;
    return manifest;
  }
  manifest.dynamic = root.AttributeOr("type", "") == "dynamic";
  manifest.durationSeconds = IsoSeconds(root.AttributeOr("mediaPresentationDuration", ""));
  const std::string base = BaseOf(root, url);
  std::vector<const XmlElement*> periods;
  for (const XmlElement& child : root.children) {
    if (child.name == "Period") periods.push_back(&child);
  }
  manifest.periods = periods.size();
  const std::vector<double> seconds = PeriodSeconds(periods, manifest.durationSeconds);
  for (size_t i = 0; i < periods.size(); ++i) {
    const Period period{*periods[i], BaseOf(*periods[i], base), seconds[i], url};
    for (const XmlElement& set : period.element.children) {
      if (set.name != "AdaptationSet") continue;
      NoteProtection(set, manifest);
      const std::string setBase = BaseOf(set, period.base);
      for (const XmlElement& element : set.children) {
        if (element.name != "Representation") continue;
        if (manifest.representations.size() >= kMostRepresentations) {
          manifest.note = "The manifest lists more representations than are kept";
          return manifest;
        }
        ReadRepresentation(period, set, element, setBase, manifest);
      }
    }
  }
  if (manifest.representations.empty() && manifest.note.empty()) {
    manifest.note = "The manifest lists no representations";
  }
  return manifest;
}
