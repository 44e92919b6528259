#pragma once

// AES-128-CBC decryption of an HLS segment as it arrives (#EXT-X-KEY METHOD=AES-128): the
// key is the 16 bytes the playlist's key address holds, the IV the playlist's or the
// segment's media sequence number, and the last block's PKCS#7 padding goes at the end.

#include <cstdint>
#include <string>
#include <string_view>

class SegmentCipher {
 public:
  SegmentCipher() = default;
  SegmentCipher(const SegmentCipher&) = delete;
  SegmentCipher& operator=(const SegmentCipher&) = delete;
  ~SegmentCipher();

  // Starts a segment; false when the key or the IV is not 16 bytes.
  bool Start(const std::string& key, const std::string& iv);
  bool Running() const { return m_context != nullptr; }
  // The plain bytes of the next part of the segment; false when decryption fails.
  bool Update(std::string_view bytes, std::string& plain);
  // The last plain bytes; false when the segment does not end in whole, padded blocks (a
  // wrong key or a damaged segment). The cipher is free for the next segment either way.
  bool Finish(std::string& plain);
  void Stop();

 private:
  void* m_context = nullptr;  // the library's cipher context
};

// The IV of a segment whose key names none: its media sequence number, big-endian, in 16
// bytes.
std::string SequenceIv(int64_t sequence);
