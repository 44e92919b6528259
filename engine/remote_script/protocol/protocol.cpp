#include "engine/remote_script/protocol/protocol.h"

#include <cstring>

namespace remote_script {
namespace {

template <typename T>
void Append(std::string& payload, T value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  payload.append(bytes, sizeof(T));
}

bool KnownKind(uint8_t kind) {
  return kind >= static_cast<uint8_t>(Kind::kRequest) &&
         kind <= static_cast<uint8_t>(Kind::kRelease);
}

}  // namespace

bool IsKnownOperation(uint16_t operation) {
  return (operation >= static_cast<uint16_t>(Operation::kHello) &&
          operation <= static_cast<uint16_t>(Operation::kPostedCallFailed)) ||
         (operation >= static_cast<uint16_t>(Operation::kCreateContext) &&
          operation <= static_cast<uint16_t>(Operation::kPostCalls));
}

Writer& Writer::U8(uint8_t value) {
  Append(m_payload, value);
  return *this;
}

Writer& Writer::U32(uint32_t value) {
  Append(m_payload, value);
  return *this;
}

Writer& Writer::U64(uint64_t value) {
  Append(m_payload, value);
  return *this;
}

Writer& Writer::F64(double value) {
  Append(m_payload, value);
  return *this;
}

Writer& Writer::String(const std::u16string& value) {
  U32(static_cast<uint32_t>(value.size()));
  m_payload.append(reinterpret_cast<const char*>(value.data()), value.size() * sizeof(char16_t));
  return *this;
}

Writer& Writer::Value(const WireValue& value) {
  U8(static_cast<uint8_t>(value.tag));
  switch (value.tag) {
    case WireValue::Tag::kBoolean:
      return U8(value.boolean ? 1 : 0);
    case WireValue::Tag::kNumber:
      return F64(value.number);
    case WireValue::Tag::kString:
      return String(value.string);
    case WireValue::Tag::kHandle:
      U64(value.handle).U8(value.type);
      U8(static_cast<uint8_t>((value.isFunction ? 1 : 0) | (value.stable ? 2 : 0)));
      return U32(value.classId);
    case WireValue::Tag::kReference:
      return U64(value.handle);
    default:
      return *this;
  }
}

Writer& Writer::Values(const std::vector<WireValue>& values) {
  U32(static_cast<uint32_t>(values.size()));
  for (const WireValue& value : values) Value(value);
  return *this;
}

bool Reader::Take(void* target, size_t count) {
  if (!m_ok || m_payload.size() - m_offset < count) return m_ok = false;
  std::memcpy(target, m_payload.data() + m_offset, count);
  m_offset += count;
  return true;
}

bool Reader::U8(uint8_t& value) { return Take(&value, sizeof value); }
bool Reader::U32(uint32_t& value) { return Take(&value, sizeof value); }
bool Reader::U64(uint64_t& value) { return Take(&value, sizeof value); }
bool Reader::F64(double& value) { return Take(&value, sizeof value); }

bool Reader::String(std::u16string& value) {
  uint32_t count = 0;
  if (!U32(count)) return false;
  if ((m_payload.size() - m_offset) / sizeof(char16_t) < count) return m_ok = false;
  value.resize(count);
  return Take(value.data(), count * sizeof(char16_t));
}

bool Reader::Value(WireValue& value) {
  uint8_t tag = 0;
  if (!U8(tag)) return false;
  value = WireValue();
  value.tag = static_cast<WireValue::Tag>(tag);
  switch (value.tag) {
    case WireValue::Tag::kUndefined:
    case WireValue::Tag::kNull:
      return true;
    case WireValue::Tag::kBoolean: {
      uint8_t boolean = 0;
      if (!U8(boolean) || boolean > 1) return m_ok = false;
      value.boolean = boolean == 1;
      return true;
    }
    case WireValue::Tag::kNumber:
      return F64(value.number);
    case WireValue::Tag::kString:
      return String(value.string);
    case WireValue::Tag::kHandle: {
      uint8_t flags = 0;
      if (!U64(value.handle) || !U8(value.type) || !U8(flags) || !U32(value.classId)) return false;
      if (flags > 3) return m_ok = false;
      value.isFunction = (flags & 1) != 0;
      value.stable = (flags & 2) != 0;
      return true;
    }
    case WireValue::Tag::kReference:
      return U64(value.handle);
  }
  return m_ok = false;
}

bool Reader::Values(std::vector<WireValue>& values) {
  uint32_t count = 0;
  if (!U32(count)) return false;
  // Every value takes at least one byte.
  if (m_payload.size() - m_offset < count) return m_ok = false;
  values.resize(count);
  for (WireValue& value : values) {
    if (!Value(value)) return false;
  }
  return true;
}

void AppendFrame(std::string& bytes, const Frame& frame) {
  Writer writer(bytes);
  writer.U32(static_cast<uint32_t>(kFrameHeaderLength - 4 + frame.payload.size()));
  writer.U8(static_cast<uint8_t>(frame.kind)).U32(frame.sequence);
  const uint16_t operation = static_cast<uint16_t>(frame.operation);
  bytes.append(reinterpret_cast<const char*>(&operation), sizeof operation);
  bytes += frame.payload;
}

std::string EncodeFrame(const Frame& frame) {
  std::string bytes;
  AppendFrame(bytes, frame);
  return bytes;
}

DecodeResult DecodeFrame(std::string_view bytes, Frame& frame, size_t& used) {
  if (bytes.size() < 4) return DecodeResult::kIncomplete;
  uint32_t length = 0;
  std::memcpy(&length, bytes.data(), sizeof length);
  if (length < kFrameHeaderLength - 4 || length > kMaxFrameLength) return DecodeResult::kMalformed;
  if (bytes.size() - 4 < length) return DecodeResult::kIncomplete;
  uint8_t kind = 0;
  uint16_t operation = 0;
  std::memcpy(&kind, bytes.data() + 4, 1);
  std::memcpy(&frame.sequence, bytes.data() + 5, 4);
  std::memcpy(&operation, bytes.data() + 9, 2);
  if (!KnownKind(kind) || !IsKnownOperation(operation)) return DecodeResult::kMalformed;
  frame.kind = static_cast<Kind>(kind);
  frame.operation = static_cast<Operation>(operation);
  frame.payload.assign(bytes.substr(kFrameHeaderLength, length - (kFrameHeaderLength - 4)));
  used = 4 + length;
  return DecodeResult::kFrame;
}

}  // namespace remote_script
