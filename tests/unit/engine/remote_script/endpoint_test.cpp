#include "engine/remote_script/protocol/endpoint.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

using remote_script::Endpoint;
using remote_script::Frame;
using remote_script::Kind;
using remote_script::Operation;

// An endpoint whose every served request makes a call of its own, as Trawler's side does
// when the page's service.call() reads the request's properties.
class NestingEndpoint : public Endpoint {
 public:
  using Endpoint::Endpoint;
  std::string nestedReply;

 protected:
  bool Serve(const Frame&, std::string& reply) override {
    Call(Operation::kGetProperty, "inner", nestedReply);
    reply = "served";
    return true;
  }
  bool Notice(const Frame&) override { return true; }
};

class EndpointTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, m_sockets), 0); }
  void TearDown() override { close(m_sockets[1]); }
  void PeerSends(const Frame& frame) {
    const std::string bytes = remote_script::EncodeFrame(frame);
    ASSERT_EQ(write(m_sockets[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  int m_sockets[2];
};

TEST_F(EndpointTest, AnOuterCallsAnswerThatComesDuringAnInnerCallIsKept) {
  NestingEndpoint endpoint(m_sockets[0]);
  endpoint.SetWaitLimit(500);
  // Both sides called at once: the peer's request comes first; the peer then answers our
  // outer call (sequence 1) before our inner one (sequence 2), which is made meanwhile.
  PeerSends({Kind::kRequest, 7, Operation::kCallStatic, ""});
  PeerSends({Kind::kReply, 1, Operation::kEvaluate, "outer answer"});
  PeerSends({Kind::kReply, 2, Operation::kGetProperty, "inner answer"});
  std::string reply;
  EXPECT_EQ(endpoint.Call(Operation::kEvaluate, "outer", reply), Endpoint::CallResult::kReplied);
  EXPECT_EQ(reply, "outer answer");
  EXPECT_EQ(endpoint.nestedReply, "inner answer");
}

TEST_F(EndpointTest, TheAnswerOfACallThatGaveUpIsDropped) {
  NestingEndpoint endpoint(m_sockets[0]);
  endpoint.SetWaitLimit(100);
  std::string reply;
  EXPECT_EQ(endpoint.Call(Operation::kEvaluate, "", reply), Endpoint::CallResult::kTimedOut);
  PeerSends({Kind::kReply, 1, Operation::kEvaluate, "late"});
  PeerSends({Kind::kReply, 2, Operation::kEvaluate, "on time"});
  EXPECT_EQ(endpoint.Call(Operation::kEvaluate, "", reply), Endpoint::CallResult::kReplied);
  EXPECT_EQ(reply, "on time");
}

}  // namespace
