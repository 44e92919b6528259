#include "engine/remote_script/protocol/protocol.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using remote_script::DecodeFrame;
using remote_script::DecodeResult;
using remote_script::Frame;
using remote_script::Kind;
using remote_script::Operation;
using remote_script::Reader;
using remote_script::WireValue;
using remote_script::Writer;

std::string Header(uint32_t length, uint8_t kind, uint16_t operation) {
  std::string bytes(11, '\0');
  std::memcpy(bytes.data(), &length, 4);
  bytes[4] = static_cast<char>(kind);
  std::memcpy(bytes.data() + 9, &operation, 2);
  return bytes;
}

TEST(ProtocolTest, FramesRoundTripAndArriveInPieces) {
  std::string payload;
  WireValue handle;
  handle.tag = WireValue::Tag::kHandle;
  handle.handle = 77;
  handle.type = 5;
  handle.isFunction = true;
  handle.stable = true;
  handle.classId = 3;
  WireValue text;
  text.tag = WireValue::Tag::kString;
  text.string = u"\u00E9\U0001F3B5";
  Writer(payload).U64(9).Values({handle, text, WireValue()});
  const std::string bytes =
      remote_script::EncodeFrame({Kind::kReply, 41, Operation::kCallStatic, payload});

  Frame frame;
  size_t used = 0;
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_EQ(DecodeFrame(bytes.substr(0, cut), frame, used), DecodeResult::kIncomplete) << cut;
  }
  ASSERT_EQ(DecodeFrame(bytes + "more", frame, used), DecodeResult::kFrame);
  EXPECT_EQ(used, bytes.size());
  EXPECT_EQ(frame.kind, Kind::kReply);
  EXPECT_EQ(frame.sequence, 41u);
  EXPECT_EQ(frame.operation, Operation::kCallStatic);
  Reader reader(frame.payload);
  uint64_t context = 0;
  std::vector<WireValue> values;
  ASSERT_TRUE(reader.U64(context) && reader.Values(values) && reader.Done());
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].handle, 77u);
  EXPECT_TRUE(values[0].isFunction && values[0].stable);
  EXPECT_EQ(values[0].classId, 3u);
  EXPECT_EQ(values[1].string, text.string);
  EXPECT_EQ(values[2].tag, WireValue::Tag::kUndefined);
}

TEST(ProtocolTest, FramesThatDoNotDecodeAreMalformed) {
  const std::pair<const char*, std::string> cases[] = {
      {"length below the header", Header(3, 1, 1)},
      {"length over the limit", Header(remote_script::kMaxFrameLength + 1, 1, 1)},
      {"length of all ones", Header(0xFFFFFFFF, 1, 1)},
      {"unknown kind", Header(7, 9, 1)},
      {"kind zero", Header(7, 0, 1)},
      {"unknown operation", Header(7, 1, 7)},
      {"operation past the last", Header(7, 1, 33)},
  };
  for (const auto& [name, bytes] : cases) {
    Frame frame;
    size_t used = 0;
    EXPECT_EQ(DecodeFrame(bytes, frame, used), DecodeResult::kMalformed) << name;
  }
  // A frame of exactly the limit is one: its header waits for the rest.
  Frame frame;
  size_t used = 0;
  EXPECT_EQ(DecodeFrame(Header(remote_script::kMaxFrameLength, 1, 1), frame, used),
            DecodeResult::kIncomplete);
}

TEST(ProtocolTest, TruncatedOrImpossibleArgumentsFailAndStayFailed) {
  std::string hugeString;
  Writer(hugeString).U32(0x7FFFFFFF);
  std::string hugeList;
  Writer(hugeList).U32(0xFFFFFFFF);
  std::string badTag = "\x09";
  std::string badBoolean = std::string("\x02\x05", 2);
  std::string cutNumber = std::string("\x03\x00\x00", 3);
  for (const std::string* payload : {&hugeString, &hugeList, &badTag, &badBoolean, &cutNumber}) {
    Reader reader(*payload);
    std::vector<WireValue> values;
    std::u16string text;
    WireValue value;
    const bool read = payload == &hugeString ? reader.String(text)
                      : payload == &hugeList ? reader.Values(values)
                                             : reader.Value(value);
    EXPECT_FALSE(read);
    uint8_t byte = 0;
    EXPECT_FALSE(reader.U8(byte));
    EXPECT_FALSE(reader.Done());
  }
  // Something left over is not done.
  std::string extra;
  Writer(extra).U8(1).U8(2);
  Reader reader(extra);
  uint8_t byte = 0;
  EXPECT_TRUE(reader.U8(byte));
  EXPECT_FALSE(reader.Done());
}

}  // namespace
