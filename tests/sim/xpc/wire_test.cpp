// The transport's frame format and the interface checks made on receipt.
#include <gtest/gtest.h>

#include "helper_client/helper_protocol.h"
#include "platform/sim/xpc/wire.h"

namespace brannic::sim::wire {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes payloadOf(const Message& message) {
  Bytes frame = encode(message);
  return Bytes(frame.begin() + kHeaderSize, frame.end());
}

std::optional<Message> decode(const Bytes& payload, std::string* error = nullptr) {
  return decodePayload(payload.data(), payload.size(), error);
}

TEST(IpcWire, EveryMessageKindAndValueSurvivesARoundTrip) {
  const std::vector<XpcValue> values{XpcNil{},
                                     std::string("text with \0 inside", 17),
                                     std::string(),
                                     XpcData{0, 1, 255},
                                     XpcData{},
                                     std::int64_t{-503340},
                                     std::int64_t{INT64_MAX}};
  const Call call{7, "runCommandLsWithPath:authData:completion:", values};
  auto decodedCall = decode(payloadOf(call));
  ASSERT_TRUE(decodedCall);
  const auto& gotCall = std::get<Call>(*decodedCall);
  EXPECT_EQ(gotCall.replyId, 7u);
  EXPECT_EQ(gotCall.selector, call.selector);
  EXPECT_EQ(gotCall.arguments, values);

  for (const auto& value : values) {
    auto decodedReply = decode(payloadOf(Reply{42, value}));
    ASSERT_TRUE(decodedReply);
    EXPECT_EQ(std::get<Reply>(*decodedReply).value, value);
  }
  auto decodedGoodbye = decode(payloadOf(Goodbye{"why"}));
  ASSERT_TRUE(decodedGoodbye);
  EXPECT_EQ(std::get<Goodbye>(*decodedGoodbye).reason, "why");
}

TEST(IpcWire, MalformedPayloadsAreReportedNotGuessed) {
  const Bytes validReply = payloadOf(Reply{1, std::int64_t{5}});
  Bytes trailing = validReply;
  trailing.push_back(0);
  Bytes shortNumber(validReply.begin(), validReply.end() - 3);
  Bytes longString = payloadOf(Reply{1, std::string("abc")});
  longString[10] = 0x7F;  // the string's length claims far more than there is
  Bytes tooManyArguments = payloadOf(Call{1, "s", {}});
  tooManyArguments.back() = 200;

  const struct {
    const char* name;
    Bytes payload;
    const char* reason;
  } cases[] = {
      {"empty", {}, "message kind runs past the end"},
      {"unknown kind", {9}, "unknown message kind 9"},
      {"unknown value tag", {2, 0, 0, 0, 0, 0, 0, 0, 1, 7}, "unknown value tag 7"},
      {"trailing bytes", trailing, "1 bytes after the end"},
      {"number cut short", shortNumber, "number runs past the end"},
      {"string longer than the frame", longString, "string runs past the end"},
      {"too many arguments", tooManyArguments, "200 arguments"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(decode(c.payload, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

TEST(IpcWire, FrameReaderReassemblesSplitFramesAndStopsAtAnOversizedOne) {
  const Bytes first = encode(Reply{1, std::string("one")});
  const Bytes second = encode(Goodbye{"two"});
  Bytes stream = first;
  stream.insert(stream.end(), second.begin(), second.end());

  FrameReader reader;
  std::vector<Bytes> payloads;
  for (std::uint8_t byte : stream) {  // one byte at a time: the worst split
    reader.append(&byte, 1);
    while (auto payload = reader.next()) payloads.push_back(*payload);
  }
  ASSERT_EQ(payloads.size(), 2u);
  EXPECT_EQ(payloads[0], Bytes(first.begin() + kHeaderSize, first.end()));
  EXPECT_EQ(reader.bufferedBytes(), 0u);

  reader.append(first.data(), 6);
  EXPECT_FALSE(reader.next());
  EXPECT_EQ(reader.bufferedBytes(), 6u);
  EXPECT_EQ(reader.expectedBytes(), first.size());

  FrameReader oversized;
  const std::uint32_t length = kMaxPayloadSize + 1;
  const Bytes header{static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                     static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
  oversized.append(header.data(), header.size());
  EXPECT_FALSE(oversized.next());
  EXPECT_EQ(oversized.oversizedLength(), std::optional<std::size_t>(length));
}

TEST(IpcWire, CallsAreCheckedAgainstTheInterface) {
  const XpcInterface& helper = helperProtocolInterface();
  const XpcData authData(32, 1);
  const struct {
    const char* name;
    Call call;
    const char* violation;  // null: allowed
  } cases[] = {
      {"declared call", {1, "runCommandLsWithPath:completion:", {std::string("1")}}, nullptr},
      {"nil argument", {1, "runCommandLsWithPath:completion:", {XpcNil{}}}, nullptr},
      {"authorized call",
       {1, "runCommandLsWithPath:authData:completion:", {std::string("0"), authData}},
       nullptr},
      {"unknown selector",
       {1, "removeEverything:", {}},
       "unknown selector \"removeEverything:\" for HelperProtocol"},
      {"too few arguments", {1, "runCommandLsWithPath:completion:", {}}, "takes 1 arguments, not 0"},
      {"too many arguments",
       {1, "getVersionWithCompletion:", {std::string("x")}},
       "takes 0 arguments, not 1"},
      {"number for text",
       {1, "runCommandLsWithPath:completion:", {std::int64_t{1}}},
       "argument 1 is NSNumber, not NSString"},
      {"text for data",
       {1, "runCommandLsWithPath:authData:completion:", {std::string("1"), std::string("x")}},
       "argument 2 is NSString, not NSData"},
      {"no reply block", {0, "getVersionWithCompletion:", {}}, "needs a reply block"},
  };
  for (const auto& c : cases) {
    const auto why = violation(helper, c.call);
    if (!c.violation) {
      EXPECT_FALSE(why) << c.name << ": " << why.value_or("");
    } else {
      ASSERT_TRUE(why) << c.name;
      EXPECT_NE(why->find(c.violation), std::string::npos) << c.name << ": " << *why;
    }
  }
  const Call logWithReply{3, "logWithStdOut:", {std::string("x")}};
  EXPECT_EQ(violation(appProtocolInterface(), logWithReply), "logWithStdOut: takes no reply block");
}

TEST(IpcWire, RepliesMustBeOfTheDeclaredClassOrNil) {
  const XpcMethod& version = helperProtocolInterface().methods[0];
  const XpcMethod& command = helperProtocolInterface().methods[1];
  EXPECT_FALSE(replyViolation(version, std::string("1.0.0")));
  EXPECT_FALSE(replyViolation(version, XpcNil{}));
  EXPECT_FALSE(replyViolation(command, std::int64_t{0}));
  EXPECT_EQ(replyViolation(command, XpcData{1}), "NSData where NSNumber was declared");
  EXPECT_EQ(replyViolation(appProtocolInterface().methods[0], std::string()),
            "logWithStdOut: takes no reply");
}

}  // namespace
}  // namespace brannic::sim::wire
