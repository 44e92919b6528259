#pragma once

// A stream whose video and sound come as tracks of their own (an HLS audio rendition, a DASH
// adaptation set), each joined from its segments into a file, copied into one container with
// FFmpeg's libraries: packets are remuxed, never decoded or encoded. The muxed file is then
// read back to its end before it counts as saved.

#include "finder/saves/partial_file.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// The container a file name's extension asks for, as FFmpeg names it: "mp4" (.mp4, .m4v,
// .mov), "matroska" (.mkv), "webm" (.webm) or "mpegts" (.ts); empty for any other.
std::string ContainerOfName(const std::string& name);
// The extension for streams of these codecs (RFC 6381 lists, such as "avc1.64001f,mp4a.40.2"):
// ".webm" when every codec named is WebM's (VP8, VP9, AV1, Opus, Vorbis), ".mkv" when one is
// neither WebM's nor MP4's, else ".mp4".
std::string MuxedExtension(const std::vector<std::string>& codecs);
// Copies the video and audio streams of the inputs (files FFmpeg reads by their content)
// into `output` as the container, in the order of their timestamps, counting the packets
// of each stream written. Why it failed, for a person, or empty; "Stopped" once `stop` is
// set.
std::string MuxTracks(const std::vector<std::string>& inputs, PartialFile& output,
                      const std::string& container, std::vector<int64_t>& packets,
                      const std::atomic<bool>* stop = nullptr);
// Reads the file at the path to its end: why it does not give back the packets written
// (another number of streams, or of packets in one), or empty.
std::string ReadBackError(const std::string& path, const std::vector<int64_t>& packets,
                          const std::atomic<bool>* stop = nullptr);

// The tracks muxed into the output and read back on a thread of its own, so that a long
// stream keeps nobody waiting; the output is the thread's until it is done.
class MuxWork {
 public:
  MuxWork() = default;
  MuxWork(const MuxWork&) = delete;
  MuxWork& operator=(const MuxWork&) = delete;
  // Stops the thread and waits for it (it looks at the stop between packets).
  ~MuxWork() { Stop(); }

  void Start(std::vector<std::string> inputs, PartialFile& output, std::string container);
  bool Running() const { return m_thread.joinable(); }
  bool Done() const { return m_done.load(); }
  // Once done: why it failed, or empty.
  std::string Result();
  void Stop();

 private:
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_done{false};
  std::string m_error;  // written by the thread before it is done
};
