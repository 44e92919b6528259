#include "finder/saves/stream_mux.h"

#include "finder/text/ascii_case.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cerrno>
#include <memory>

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
constexpr const char* kStopped = "Stopped";

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(); }

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

// The output context and the I/O context it writes through.
struct OutputCloser {
  void operator()(AVFormatContext* context) const {
    AVIOContext* io = context->pb;
    avformat_free_context(context);
    if (!io) return;
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;

struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

Input OpenInput(const std::string& path, std::string& error) {
  AVFormatContext* context = nullptr;
  int code = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (code < 0) {
    error = AvError(code);
    return nullptr;
  }
  Input input(context);
  if ((code = avformat_find_stream_info(context, nullptr)) < 0) {
    error = AvError(code);
    return nullptr;
  }
  return input;
}

int WriteBytes(void* opaque, uint8_t* bytes, int size) {
  auto* file = static_cast<PartialFile*>(opaque);
  const std::string_view written(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  return file->Write(written) ? size : AVERROR(errno);
}

// The muxer seeks back to write what it learns last (an MP4's sizes, a Matroska's cues).
int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
  auto* file = static_cast<PartialFile*>(opaque);
  whence &= ~AVSEEK_FORCE;
  int64_t at = offset;
  if (whence == SEEK_CUR) {
    at += file->Position();
  } else if (whence != SEEK_SET) {
    return AVERROR(ENOSYS);  // its size (AVSEEK_SIZE) and its end are not asked for
  }
  return file->Seek(at) ? at : AVERROR(errno);
}

bool IsTrackStream(const AVStream* stream) {
  const AVMediaType type = stream->codecpar->codec_type;
  return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_AUDIO;
}

// Each input's streams and the output stream each goes to (-1: left out).
using StreamMap = std::vector<std::vector<int>>;

std::string AddStreams(const std::vector<Input>& inputs, AVFormatContext* output, StreamMap& map) {
  for (const Input& input : inputs) {
    std::vector<int>& streams = map.emplace_back(input->nb_streams, -1);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      const AVStream* from = input->streams[i];
      if (!IsTrackStream(from)) continue;
      AVStream* to = avformat_new_stream(output, nullptr);
      if (!to || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0) {
        return "Out of memory";
      }
      to->codecpar->codec_tag = 0;
      to->time_base = from->time_base;
      streams[i] = to->index;
    }
  }
  return output->nb_streams ? std::string() : "The tracks hold no video and no sound";
}

// One input as the muxer takes it: its next packet, read ahead, until it ends.
struct Reader {
  AVFormatContext* input = nullptr;
  Packet next{av_packet_alloc()};
  bool holding = false;
  bool ended = false;
};

// Reads the input's next packet of a stream that goes out; an error, or empty.
std::string ReadAhead(Reader& reader, const std::vector<int>& streams) {
  while (!reader.holding && !reader.ended) {
    const int code = av_read_frame(reader.input, reader.next.get());
    if (code == AVERROR_EOF) {
      reader.ended = true;
    } else if (code < 0) {
      return AvError(code);
    } else if (streams[static_cast<size_t>(reader.next->stream_index)] >= 0) {
      reader.holding = true;
    } else {
      av_packet_unref(reader.next.get());
    }
  }
  return std::string();
}

int64_t TimeOf(const Reader& reader) {
  const AVPacket* packet = reader.next.get();
  return packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
}

// The reader whose packet comes first in time; null when all have ended.
Reader* Earliest(std::vector<Reader>& readers) {
  Reader* earliest = nullptr;
  for (Reader& reader : readers) {
    if (!reader.holding) continue;
    if (!earliest) {
      earliest = &reader;
      continue;
    }
    const AVRational base = reader.input->streams[reader.next->stream_index]->time_base;
    const AVRational best = earliest->input->streams[earliest->next->stream_index]->time_base;
    if (TimeOf(reader) != AV_NOPTS_VALUE && TimeOf(*earliest) != AV_NOPTS_VALUE &&
        av_compare_ts(TimeOf(reader), base, TimeOf(*earliest), best) < 0) {
      earliest = &reader;
    }
  }
  return earliest;
}

// The earliest start of the inputs (AV_TIME_BASE units): the muxed file starts there at 0,
// its tracks as far apart as they were (a transport stream's clock starts anywhere).
int64_t EarliestStart(const std::vector<Input>& inputs) {
  int64_t earliest = AV_NOPTS_VALUE;
  for (const Input& input : inputs) {
    if (input->start_time != AV_NOPTS_VALUE &&
        (earliest == AV_NOPTS_VALUE || input->start_time < earliest)) {
      earliest = input->start_time;
    }
  }
  return earliest == AV_NOPTS_VALUE ? 0 : earliest;
}

void Shift(AVPacket* packet, int64_t start, AVRational base) {
  const int64_t by = av_rescale_q(start, AV_TIME_BASE_Q, base);
  if (packet->pts != AV_NOPTS_VALUE) packet->pts -= by;
  if (packet->dts != AV_NOPTS_VALUE) packet->dts -= by;
}

// Writes every packet of the inputs, the earliest first; an error, or empty.
std::string CopyPackets(const std::vector<Input>& inputs, AVFormatContext* output,
                        const StreamMap& map, std::vector<int64_t>& packets,
                        const std::atomic<bool>* stop) {
  packets.assign(output->nb_streams, 0);
  const int64_t start = EarliestStart(inputs);
  std::vector<Reader> readers(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) readers[i].input = inputs[i].get();
  for (;;) {
    if (Stopped(stop)) return kStopped;
    for (size_t i = 0; i < readers.size(); ++i) {
      if (std::string error = ReadAhead(readers[i], map[i]); !error.empty()) {
        return "Track " + std::to_string(i + 1) + " cannot be read: " + error;
      }
    }
    Reader* reader = Earliest(readers);
    if (!reader) return std::string();
    AVPacket* packet = reader->next.get();
    const AVStream* from = reader->input->streams[packet->stream_index];
    const size_t input = static_cast<size_t>(reader - readers.data());
    packet->stream_index = map[input][static_cast<size_t>(packet->stream_index)];
    Shift(packet, start, from->time_base);
    av_packet_rescale_ts(packet, from->time_base, output->streams[packet->stream_index]->time_base);
    packet->pos = -1;
    reader->holding = false;
    ++packets[static_cast<size_t>(packet->stream_index)];
    // The muxer takes the packet's data (and leaves the packet blank).
    if (const int code = av_interleaved_write_frame(output, packet); code < 0) {
      return "The stream cannot be written: " + AvError(code);
    }
  }
}

}  // namespace

std::string ContainerOfName(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  const std::string extension = AsciiLower(name.substr(dot));
  if (extension == ".mp4" || extension == ".m4v" || extension == ".mov") return "mp4";
  if (extension == ".mkv") return "matroska";
  if (extension == ".webm") return "webm";
  if (extension == ".ts") return "mpegts";
  return std::string();
}

std::string MuxedExtension(const std::vector<std::string>& codecs) {
  bool webm = false;
  bool other = false;
  for (const std::string& list : codecs) {
    size_t at = 0;
    while (at < list.size()) {
      const size_t end = std::min(list.find(',', at), list.size());
      std::string codec = AsciiLower(list.substr(at, end - at));
      codec.erase(0, codec.find_first_not_of(' '));
      codec = codec.substr(0, codec.find('.'));
      at = end + 1;
      if (codec.empty()) continue;
      const bool mp4 = codec == "avc1" || codec == "avc3" || codec == "hvc1" || codec == "hev1" ||
                       codec == "mp4a" || codec == "ac-3" || codec == "ec-3";
      const bool inWebm = codec == "vp8" || codec == "vp09" || codec == "vp9" || codec == "av01" ||
                          codec == "opus" || codec == "vorbis";
      (inWebm ? webm : other) = true;
      if (!mp4 && !inWebm) return ".mkv";
    }
  }
  if (!webm) return ".mp4";
  return other ? ".mkv" : ".webm";
}

std::string MuxTracks(const std::vector<std::string>& inputs, PartialFile& output,
                      const std::string& container, std::vector<int64_t>& packets,
                      const std::atomic<bool>* stop) {
  std::vector<Input> opened;
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string error;
    opened.push_back(OpenInput(inputs[i], error));
    if (!opened.back()) return "Track " + std::to_string(i + 1) + " cannot be read: " + error;
  }
  AVFormatContext* made = nullptr;
  if (avformat_alloc_output_context2(&made, nullptr, container.c_str(), nullptr) < 0) {
    return "FFmpeg cannot write " + container;
  }
  Output muxed(made);
  StreamMap map;
  if (std::string error = AddStreams(opened, made, map); !error.empty()) return error;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  made->pb = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, &output, nullptr, WriteBytes,
                                         SeekBytes)
                    : nullptr;
  if (!made->pb) {
    av_free(buffer);
    return "Out of memory";
  }
  if (const int code = avformat_write_header(made, nullptr); code < 0) {
    return "These streams cannot go into " + container + ": " + AvError(code);
  }
  if (std::string error = CopyPackets(opened, made, map, packets, stop); !error.empty())
    return error;
  const int code = av_write_trailer(made);
  avio_flush(made->pb);
  if (code < 0 || made->pb->error < 0) {
    return "The stream cannot be written: " + AvError(code < 0 ? code : made->pb->error);
  }
  return output.Flush() ? std::string()
                        : "The stream cannot be written: " + AvError(AVERROR(errno));
}

std::string ReadBackError(const std::string& path, const std::vector<int64_t>& packets,
                          const std::atomic<bool>* stop) {
  std::string error;
  const Input input = OpenInput(path, error);
  if (!input) return "The saved file cannot be read: " + error;
  if (input->nb_streams != packets.size()) {
    return "The saved file holds " + std::to_string(input->nb_streams) + " streams, not " +
           std::to_string(packets.size());
  }
  std::vector<int64_t> read(packets.size(), 0);
  const Packet packet(av_packet_alloc());
  int code = 0;
  while ((code = av_read_frame(input.get(), packet.get())) >= 0) {
    ++read[static_cast<size_t>(packet->stream_index)];
    av_packet_unref(packet.get());
    if (Stopped(stop)) return kStopped;
  }
  if (code != AVERROR_EOF) return "The saved file cannot be read to its end: " + AvError(code);
  for (size_t i = 0; i < read.size(); ++i) {
    if (read[i] != packets[i]) {
      return "Stream " + std::to_string(i + 1) + " of the saved file gives back " +
             std::to_string(read[i]) + " of its " + std::to_string(packets[i]) + " packets";
    }
  }
  return std::string();
}

void MuxWork::Start(std::vector<std::string> inputs, PartialFile& output, std::string container) {
  Stop();
  m_stop = false;
  m_done = false;
  m_thread =
      std::thread([this, inputs = std::move(inputs), &output, container = std::move(container)] {
        std::vector<int64_t> packets;
        std::string error = MuxTracks(inputs, output, container, packets, &m_stop);
        if (error.empty()) error = ReadBackError(output.Path(), packets, &m_stop);
        m_error = std::move(error);
        m_done = true;
      });
}

std::string MuxWork::Result() {
  if (m_thread.joinable()) m_thread.join();
  return m_error;
}

void MuxWork::Stop() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
}
