// The authorization wire format: requests and responses survive the round
// trip, malformed bodies are refused, and frames are cut from a stream.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "platform/sim/authorization/wire.h"
#include "tests/sim/authorization/authorization_test_values.h"

namespace brannic::sim {
namespace {

using testing::kAppRight;
using testing::kInteractiveExtend;
using testing::formFilledWith;

std::vector<std::uint8_t> bodyOf(const std::vector<std::uint8_t>& frame) { return {frame.begin() + 4, frame.end()}; }

TEST(AuthWireTest, RequestsSurviveTheRoundTrip) {
  AuthRequest copy;
  copy.op = AuthOp::copyRights;
  copy.session = formFilledWith(7);
  copy.flags = kInteractiveExtend;
  copy.rights = {{kAppRight, {}, 0}, {"with value", {1, 2, 3}, 5}};
  AuthRequest create;
  create.op = AuthOp::create;
  create.flags = 0x13;
  create.rights = copy.rights;
  AuthRequest internalize;
  internalize.op = AuthOp::internalize;
  internalize.session = formFilledWith(0xA5);

  for (const auto& request : {copy, create, internalize}) {
    const auto frame = encodeAuthRequest(request);
    ASSERT_TRUE(frame);
    const auto decoded = decodeAuthRequest(bodyOf(*frame));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->op, request.op);
    EXPECT_EQ(decoded->flags, request.flags);
    EXPECT_EQ(decoded->session, request.session);
    ASSERT_EQ(decoded->rights.size(), request.rights.size());
    for (std::size_t i = 0; i < request.rights.size(); ++i) {
      EXPECT_EQ(decoded->rights[i].name, request.rights[i].name);
      EXPECT_EQ(decoded->rights[i].value, request.rights[i].value);
      EXPECT_EQ(decoded->rights[i].flags, request.rights[i].flags);
    }
  }
}

TEST(AuthWireTest, MalformedBodiesAreRejected) {
  AuthRequest request;
  request.op = AuthOp::copyRights;
  request.rights = {{kAppRight, {9}, 0}};
  const auto body = bodyOf(*encodeAuthRequest(request));
  for (std::size_t length = 0; length < body.size(); ++length)
    EXPECT_FALSE(decodeAuthRequest(std::span(body).first(length))) << "truncated to " << length;
  auto trailing = body;
  trailing.push_back(0);
  EXPECT_FALSE(decodeAuthRequest(trailing));
  auto unknownOp = body;
  unknownOp[0] = 99;
  EXPECT_FALSE(decodeAuthRequest(unknownOp));
  auto tooManyItems = body;
  tooManyItems[1 + 32 + 4 + 3] = kMaxAuthItems + 1;  // the item count's low byte
  EXPECT_FALSE(decodeAuthRequest(tooManyItems));

  request.rights.assign(kMaxAuthItems + 1, AuthorizationItem{"r", {}, 0});
  EXPECT_FALSE(encodeAuthRequest(request)) << "the sender keeps to the limits too";
  request.rights = {{std::string(kMaxAuthItemBytes + 1, 'r'), {}, 0}};
  EXPECT_FALSE(encodeAuthRequest(request));

  const auto response = bodyOf(encodeAuthResponse({errAuthorizationSuccess, formFilledWith(1)}));
  EXPECT_TRUE(decodeAuthResponse(response));
  EXPECT_FALSE(decodeAuthResponse(std::span(response).first(10))) << "a partial session";
  EXPECT_FALSE(decodeAuthResponse(std::span(response).first(3)));
}

TEST(AuthWireTest, FramesAreCutFromAStream) {
  std::vector<std::uint8_t> body;
  std::vector<std::uint8_t> stream{0, 0, 0, 2, 'a'};
  EXPECT_EQ(cutAuthFrame(stream, body), FrameCut::incomplete);
  stream.insert(stream.end(), {'b', 0, 0});
  EXPECT_EQ(cutAuthFrame(stream, body), FrameCut::frame);
  EXPECT_EQ(body, (std::vector<std::uint8_t>{'a', 'b'}));
  EXPECT_EQ(stream, (std::vector<std::uint8_t>{0, 0})) << "the next frame's start stays";

  for (const std::vector<std::uint8_t>& prefix :
       {std::vector<std::uint8_t>{0, 0, 0, 0}, std::vector<std::uint8_t>{0, 1, 0, 1}, std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}}) {
    stream = prefix;
    EXPECT_EQ(cutAuthFrame(stream, body), FrameCut::invalid);
  }
}

}  // namespace
}  // namespace brannic::sim
