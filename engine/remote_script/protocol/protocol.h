#pragma once

// The wire protocol between Trawler and the page agent in a web process. A frame is a
// 32-bit length (of what follows), then its kind, sequence number and operation, then the
// operation's arguments. Numbers are little-endian; a string is its count of UTF-16 code
// units and the units. A value is a tag and what the tag needs. Either side may send
// requests; each is answered by a reply with the same sequence number. A release is a
// one-way notice.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace remote_script {

inline constexpr uint32_t kProtocolVersion = 1;
// No frame is longer; a longer length is malformed. Both sides send nothing longer, so a
// string of up to half a billion UTF-16 units (a URL of 100 million characters, the copy of
// a long list) crosses in one piece, and anything longer fails where it would be sent.
inline constexpr uint32_t kMaxFrameLength = 1u << 30;
inline constexpr size_t kFrameHeaderLength = 4 + 1 + 4 + 2;

enum class Kind : uint8_t { kRequest = 1, kReply = 2, kRelease = 3 };

enum class Operation : uint16_t {
  // Agent to Trawler.
  kHello = 1,                // token, version -> version
  kWindowObjectCleared = 2,  // page, frame, main, context, global -> nothing
  kCallStatic = 3,           // context, class, index, function, this, arguments -> result
  kCallCallback = 4,         // context, callback, function, this, arguments -> result
  kContextGone = 5,          // release: context
  kPostedCallFailed = 6,     // release: context, reporter, the exception's text
  // Trawler to agent.
  kCreateContext = 20,   // -> context, global
  kReleaseContext = 21,  // release: context
  kEvaluate = 22,        // context, script, this, source URL, line -> result
  kGetProperty = 23,     // context, object, name -> result
  kSetProperty = 24,     // context, object, name, value, attributes -> result
  kCallFunction = 25,    // context, function, this, arguments -> result
  kToString = 26,        // context, value -> string result
  kToNumber = 27,        // context, value -> number result
  kToObject = 28,        // context, value -> result
  kMakeObject = 29,      // context, class (id, name, function names) or none -> result
  kMakeFunction = 30,    // context, name, callback -> result
  kReleaseHandles = 31,  // release: handle numbers
  // release: count, then per call: context, object, property name, reporter, arguments.
  // The agent calls each function in order once no call of its own waits.
  kPostCalls = 32,
};

bool IsKnownOperation(uint16_t operation);

// How a reply begins: the operation's result follows, or the exception it raised.
enum class Status : uint8_t { kOk = 0, kException = 1 };

// A script value on the wire. Primitives travel as themselves; anything else is a handle
// the agent numbered, with its type, whether it is a function, and the class it was made
// with (0: none). References name a handle by number only (Trawler to agent).
struct WireValue {
  enum class Tag : uint8_t {
    kUndefined = 0,
    kNull = 1,
    kBoolean = 2,
    kNumber = 3,
    kString = 4,
    kHandle = 5,
    kReference = 6,
  };
  Tag tag = Tag::kUndefined;
  bool boolean = false;
  double number = 0.0;
  std::u16string string;
  uint64_t handle = 0;
  uint8_t type = 0;  // JSType of a handle
  bool isFunction = false;
  bool stable = false;  // the handle keeps its number for the object's life
  uint32_t classId = 0;
};

struct Frame {
  Kind kind = Kind::kRequest;
  uint32_t sequence = 0;
  Operation operation = Operation::kHello;
  std::string payload;
};

// Appends arguments to a payload.
class Writer {
 public:
  explicit Writer(std::string& payload) : m_payload(payload) {}
  Writer& U8(uint8_t value);
  Writer& U32(uint32_t value);
  Writer& U64(uint64_t value);
  Writer& F64(double value);
  Writer& String(const std::u16string& value);
  Writer& Value(const WireValue& value);
  Writer& Values(const std::vector<WireValue>& values);

 private:
  std::string& m_payload;
};

// Reads arguments from a payload; every read fails (and keeps failing) once the payload is
// used up or holds something that does not decode.
class Reader {
 public:
  explicit Reader(const std::string& payload) : m_payload(payload) {}
  bool U8(uint8_t& value);
  bool U32(uint32_t& value);
  bool U64(uint64_t& value);
  bool F64(double& value);
  bool String(std::u16string& value);
  bool Value(WireValue& value);
  bool Values(std::vector<WireValue>& values);
  // True when everything was read and nothing is left over.
  bool Done() const { return m_ok && m_offset == m_payload.size(); }
  size_t Remaining() const { return m_payload.size() - m_offset; }

 private:
  bool Take(void* target, size_t count);

  const std::string& m_payload;
  size_t m_offset = 0;
  bool m_ok = true;
};

// The bytes of a frame, length first; appended to bytes, or as a string of their own.
void AppendFrame(std::string& bytes, const Frame& frame);
std::string EncodeFrame(const Frame& frame);

enum class DecodeResult { kFrame, kIncomplete, kMalformed };
// Decodes the first frame of the bytes; on kFrame, used is the number of bytes it took.
DecodeResult DecodeFrame(std::string_view bytes, Frame& frame, size_t& used);

}  // namespace remote_script
