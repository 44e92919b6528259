// The script connection's decoder on arbitrary bytes: frames are taken one after another,
// and each payload is read as a list of values. A frame that decodes must encode back to
// the same bytes, and a decoded list of values must write back to what was read.

#include "engine/remote_script/protocol/protocol.h"

#include <cstdlib>

using remote_script::DecodeFrame;
using remote_script::DecodeResult;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  for (;;) {
    remote_script::Frame frame;
    size_t used = 0;
    if (DecodeFrame(bytes, frame, used) != DecodeResult::kFrame) break;
    if (used == 0 || used > bytes.size()) std::abort();
    if (remote_script::EncodeFrame(frame) != bytes.substr(0, used)) std::abort();
    remote_script::Reader reader(frame.payload);
    std::vector<remote_script::WireValue> values;
    if (reader.Values(values)) {
      std::string written;
      remote_script::Writer(written).Values(values);
      if (frame.payload.compare(0, written.size(), written) != 0) std::abort();
    }
    bytes.erase(0, used);
  }
  return 0;
}
