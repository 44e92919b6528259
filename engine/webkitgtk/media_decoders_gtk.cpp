// What WebKitGTK cannot play on this machine: it plays media through GStreamer, whose
// registry lists the decoders installed. Most pages' video is H.264 with AAC sound, both
// decoded by GStreamer's FFmpeg plugin (Debian's gstreamer1.0-libav).

#include "engine/webkitgtk/media_decoders_gtk.h"

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct FeatureListFree {
  void operator()(GList* list) const { gst_plugin_feature_list_free(list); }
};
using FeatureList = std::unique_ptr<GList, FeatureListFree>;

struct CapsUnref {
  void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};

// Whether an installed decoder takes media of the caps.
bool Decodes(const char* caps) {
  const FeatureList decoders(
      gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_MARGINAL));
  const std::unique_ptr<GstCaps, CapsUnref> wanted(gst_caps_from_string(caps));
  const FeatureList fitting(
      gst_element_factory_list_filter(decoders.get(), wanted.get(), GST_PAD_SINK, FALSE));
  return fitting != nullptr;
}

}  // namespace

namespace webkitgtk {

std::string MissingDecoders() {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return std::string();
  std::vector<std::string> lacking;
  if (!Decodes("video/x-h264")) lacking.push_back("H.264 video");
  if (!Decodes("audio/mpeg, mpegversion=(int)4")) lacking.push_back("AAC sound");
  if (lacking.empty()) return std::string();
  const std::string what = lacking.size() == 1 ? lacking[0] : lacking[0] + " or " + lacking[1];
  return "This machine cannot play " + what +
         " (install gstreamer1.0-libav): a page's player may never ask for its stream";
}

}  // namespace webkitgtk
