// What only the remote script engine has: calls nesting both ways, waits that run out,
// pages that go away, connections that must be refused, and values given back in batches.

#include "bridge/webkit_service.h"
#include "engine/remote_script/protocol/sockets.h"
#include "platform/headless/observation.h"
#include "tests/unit/bridge/recording_handler.h"
#include "tests/unit/bridge/script_test_support.h"
#include "tests/unit/engine/remote_script/remote_environment.h"

#include <glib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using remote_test::Address;
using remote_test::SharedAgent;
using script_test::Evaluate;
using script_test::StringOf;

js::JSValueRef Property(js::JSContextRef context, js::JSObjectRef object, const char* name,
                        js::JSValueRef* exception = nullptr) {
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(name);
  const js::JSValueRef value = js::JSObjectGetProperty(context, object, string, exception);
  js::JSStringRelease(string);
  return value;
}

js::JSValueRef Text(js::JSContextRef context, const std::string& text) {
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(text.c_str());
  const js::JSValueRef value = js::JSValueMakeString(context, string);
  js::JSStringRelease(string);
  return value;
}

void SetGlobal(js::JSContextRef context, const char* name, js::JSValueRef value) {
  js::JSStringRef string = js::JSStringCreateWithUTF8CString(name);
  js::JSObjectSetProperty(context, js::JSContextGetGlobalObject(context), string, value,
                          js::kJSPropertyAttributeNone, nullptr);
  js::JSStringRelease(string);
}

// down(n): "d" and what the page's up(n - 1) answers, so each call crosses both ways.
js::JSValueRef Down(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t count,
                    const js::JSValueRef arguments[], js::JSValueRef* exception) {
  const double n = count ? js::JSValueToNumber(context, arguments[0], nullptr) : 0;
  js::JSObjectRef up = js::JSValueToObject(
      context, Property(context, js::JSContextGetGlobalObject(context), "up"), nullptr);
  const js::JSValueRef below = js::JSValueMakeNumber(context, n - 1);
  const js::JSValueRef result =
      js::JSObjectCallAsFunction(context, up, nullptr, 1, &below, exception);
  return Text(context, "d" + StringOf(context, result));
}

js::JSValueRef Refuse(js::JSContextRef context, js::JSObjectRef, js::JSObjectRef, size_t,
                      const js::JSValueRef[], js::JSValueRef* exception) {
  *exception = Text(context, "native says no");
  return nullptr;
}

// A context on the shared agent per test; every value the test obtained is given back at
// its end, so the agent keeps no handles between tests.
class RemoteProtocolTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SharedAgent().WaitForLiveHandles(0));
    m_context = js::JSGlobalContextCreate(nullptr);
    ASSERT_NE(m_context, nullptr);
    headless::ResetRecords();
  }
  void TearDown() override {
    remote_script::FlushReleases();
    js::JSGlobalContextRelease(m_context);
    remote_script::SetWaitLimit(remote_script::Endpoint::kDefaultWaitMilliseconds);
    EXPECT_TRUE(SharedAgent().WaitForLiveHandles(0)) << SharedAgent().LiveHandles();
  }
  std::string Run(const char* script) { return StringOf(m_context, Evaluate(m_context, script)); }
  js::JSClassRef MakeClass(const char* name, const js::JSStaticFunction* functions) {
    js::JSClassDefinition definition = js::kJSClassDefinitionEmpty;
    definition.className = name;
    definition.staticFunctions = functions;
    return js::JSClassCreate(&definition);
  }

  js::JSGlobalContextRef m_context = nullptr;
};

TEST_F(RemoteProtocolTest, CallsNestBothWays) {
  static const js::JSStaticFunction functions[] = {{"down", Down, 0}, {nullptr, nullptr, 0}};
  js::JSClassRef bounce = MakeClass("Bounce", functions);
  SetGlobal(m_context, "bouncer", js::JSObjectMake(m_context, bounce, nullptr));
  Run("function up(n) { return n <= 0 ? 'bottom' : 'u' + bouncer.down(n); }");
  // Four calls each way, each waiting inside the one before.
  EXPECT_EQ(Run("up(4)"),
            "udududud"
            "bottom");
  js::JSClassRelease(bounce);
}

TEST_F(RemoteProtocolTest, ANativeExceptionIsThrownInThePage) {
  static const js::JSStaticFunction functions[] = {{"fail", Refuse, 0}, {nullptr, nullptr, 0}};
  js::JSClassRef failing = MakeClass("Failing", functions);
  SetGlobal(m_context, "thing", js::JSObjectMake(m_context, failing, nullptr));
  EXPECT_EQ(Run("try { thing.fail(); 'not thrown' } catch (e) { 'caught ' + e }"),
            "caught native says no");
  js::JSClassRelease(failing);
}

// Runs iterations of the main context until the condition holds, ten seconds at most.
template <typename Condition>
bool PumpUntil(Condition condition) {
  const gint64 deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
  while (!condition() && g_get_monotonic_time() < deadline)
    g_main_context_iteration(nullptr, FALSE);
  return condition();
}

// Posts take(text) to the global object.
void PostTake(js::JSContextRef context, const std::string& text) {
  js::JSStringRef name = js::JSStringCreateWithUTF8CString("take");
  const js::JSValueRef argument = Text(context, text);
  EXPECT_TRUE(js::JSObjectPostCallToProperty(context, js::JSContextGetGlobalObject(context), name,
                                             1, &argument, nullptr));
  js::JSStringRelease(name);
}

TEST_F(RemoteProtocolTest, PostedCallsGoTogetherInOneFrame) {
  Run("var got = []; function take(x) { got.push(x); }");
  // Nothing else is due to go to the page meanwhile.
  remote_script::FlushReleases();
  const remote_script::Statistics before = remote_script::GetStatistics();
  for (int i = 0; i < 100; ++i) PostTake(m_context, std::to_string(i));
  // Sent by the main loop once the flush interval allows, all in one frame.
  ASSERT_TRUE(
      PumpUntil([&] { return remote_script::GetStatistics().framesSent > before.framesSent; }));
  EXPECT_EQ(remote_script::GetStatistics().framesSent - before.framesSent, 1u);
  EXPECT_EQ(Run("got.length + ' ' + got[0] + ' ' + got[99]"), "100 0 99");
}

TEST_F(RemoteProtocolTest, RowsPostedSoonAfterABatchGoWhileTheLoopWaitsForNothingElse) {
  Run("var got = []; function take(x) { got.push(x); }");
  remote_script::FlushReleases();
  const uint64_t sent = remote_script::GetStatistics().framesSent;
  PostTake(m_context, "first");
  ASSERT_TRUE(PumpUntil([&] { return remote_script::GetStatistics().framesSent > sent; }));
  // Within the flush interval of the first batch: the second must go once the interval is
  // over, though nothing else wakes the loop. A guard of higher priority wakes it later and
  // sees whether it went by then (its readiness keeps a waiting flush from running first).
  struct Guard {
    uint64_t first;
    bool fired = false;
    bool sentBefore = false;
  } guard{remote_script::GetStatistics().framesSent};
  PostTake(m_context, "second");
  g_timeout_add_full(
      G_PRIORITY_HIGH, 1000,
      [](gpointer data) {
        auto* guard = static_cast<Guard*>(data);
        guard->fired = true;
        guard->sentBefore = remote_script::GetStatistics().framesSent > guard->first;
        return gboolean(G_SOURCE_REMOVE);
      },
      &guard, nullptr);
  while (!guard.fired) g_main_context_iteration(nullptr, TRUE);
  EXPECT_TRUE(guard.sentBefore) << "the second batch waited for another event";
  EXPECT_EQ(Run("got.join(' ')"), "first second");
}

TEST_F(RemoteProtocolTest, RowsGoWhileSourcesOfAHigherPriorityAreAlwaysReady) {
  Run("var got = []; function take(x) { got.push(x); }");
  remote_script::FlushReleases();
  // What a loading page's engine does to the loop: sources ready at every turn, of a
  // higher priority than the default.
  const guint busy = g_idle_add_full(
      G_PRIORITY_DEFAULT - 10, [](gpointer) { return gboolean(G_SOURCE_CONTINUE); }, nullptr,
      nullptr);
  const uint64_t sent = remote_script::GetStatistics().framesSent;
  PostTake(m_context, "row");
  ASSERT_TRUE(PumpUntil([&] { return remote_script::GetStatistics().framesSent > sent; }))
      << "the posted row waited behind the busy sources";
  g_source_remove(busy);
  EXPECT_EQ(Run("got.join(' ')"), "row");
}

TEST_F(RemoteProtocolTest, AStalledPageCostsOneWaitAndGetsWhatWasPostedOnceItAnswers) {
  Run("var got = []; function take(x) { got.push(x.length); }");
  remote_script::SetWaitLimit(300);
  SharedAgent().SetPaused(true);
  js::JSValueRef exception = nullptr;
  EXPECT_EQ(Evaluate(m_context, "1 + 1", &exception), nullptr);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "Error: the page did not answer in time");
  EXPECT_NE(headless::DebugOutput().find(u"did not answer a script call in time\n"),
            std::u16string::npos);
  EXPECT_EQ(remote_script::GetStatistics().stalledPages, 1u);
  // No second wait: the next call fails at once.
  exception = nullptr;
  EXPECT_EQ(Evaluate(m_context, "2 + 2", &exception), nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "Error: the page is busy");
  // A busy machine may take its time with what follows.
  remote_script::SetWaitLimit(remote_script::Endpoint::kDefaultWaitMilliseconds);
  // Far more than the socket holds goes out without waiting for the page.
  const std::string chunk(1 << 20, 'x');
  for (int i = 0; i < 32; ++i) {
    PostTake(m_context, chunk);
    g_main_context_iteration(nullptr, FALSE);
  }
  SharedAgent().SetPaused(false);
  ASSERT_TRUE(PumpUntil([] { return remote_script::GetStatistics().stalledPages == 0; }));
  EXPECT_EQ(Run("got.length + ' ' + got[31]"), "32 1048576");
}

TEST_F(RemoteProtocolTest, StringsFarLongerThanASocketBufferCrossBothWays) {
  // 34 million UTF-16 units: 68 MB, more than an older frame limit allowed. A busy machine
  // (the suite runs in parallel) may take longer than the usual wait to copy them.
  remote_script::SetWaitLimit(60'000);
  const std::string big(34'000'000, 'u');
  SetGlobal(m_context, "big", Text(m_context, big));
  EXPECT_EQ(Run("String(big.length)"), "34000000");
  const js::JSValueRef back = Evaluate(m_context, "big + '!'");
  js::JSStringRef text = js::JSValueToStringCopy(m_context, back, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(js::JSStringGetLength(text), 34'000'001u);
  js::JSStringRelease(text);
  Run("big = null");
}

TEST_F(RemoteProtocolTest, HandlesOfAClosedPageFailLikeExceptionsAndANewAgentStartsAfresh) {
  std::unique_ptr<remote_test::AgentThread> agent = remote_test::ConnectAgent();
  ASSERT_NE(agent, nullptr);
  js::JSGlobalContextRef context = js::JSGlobalContextCreate(nullptr);
  const js::JSValueRef box = Evaluate(context, "({a: 'x'})");
  ASSERT_TRUE(js::JSValueIsObject(context, box));
  agent->Stop();
  js::JSValueRef exception = nullptr;
  EXPECT_EQ(Property(context, js::JSValueToObject(context, box, nullptr), "a", &exception),
            nullptr);
  EXPECT_NE(exception, nullptr);
  exception = nullptr;
  EXPECT_EQ(Evaluate(context, "1", &exception), nullptr);
  ASSERT_NE(exception, nullptr);
  EXPECT_EQ(StringOf(m_context, exception), "Error: the script context is gone");
  EXPECT_FALSE(js::JSValueIsObject(context, box));
  js::JSGlobalContextRelease(context);

  std::unique_ptr<remote_test::AgentThread> next = remote_test::ConnectAgent();
  ASSERT_NE(next, nullptr);
  js::JSGlobalContextRef fresh = js::JSGlobalContextCreate(nullptr);
  EXPECT_EQ(StringOf(fresh, Evaluate(fresh, "'fresh'")), "fresh");
  remote_script::FlushReleases();
  js::JSGlobalContextRelease(fresh);
}

// Connects as an agent would and sends the bytes; answers whether Trawler then closed the
// connection.
bool Refused(const std::string& bytes) {
  const int socket = remote_script::ConnectTo(remote_test::Address().socketPath);
  if (socket < 0) return false;
  const bool sent =
      send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  const bool accepted = remote_script::AcceptAgent(2000);
  char byte = 0;
  const bool closed = recv(socket, &byte, 1, 0) == 0;
  close(socket);
  return sent && !accepted && closed;
}

std::string HelloFrame(const std::u16string& token) {
  std::string arguments;
  remote_script::Writer(arguments).String(token).U32(remote_script::kProtocolVersion);
  return remote_script::EncodeFrame(
      {remote_script::Kind::kRequest, 1, remote_script::Operation::kHello, arguments});
}

TEST_F(RemoteProtocolTest, ConnectionsWithoutTheTokenOrWithBrokenFramesAreClosed) {
  std::string tooLong(11, '\0');
  tooLong.replace(0, 4, "\xFF\xFF\xFF\xFF");
  std::string truncated = HelloFrame(u"");
  truncated[11] = '\x7F';  // a token longer than the frame
  // A hello that would make Trawler buffer more than any hello needs.
  std::string oversized = HelloFrame(std::u16string(3000, u't'));
  const std::pair<const char*, std::string> cases[] = {
      {"wrong token", HelloFrame(u"not-the-token")},
      {"no token", remote_script::EncodeFrame({remote_script::Kind::kRequest, 1,
                                               remote_script::Operation::kGetProperty, ""})},
      {"length over the limit", tooLong},
      {"truncated argument", truncated},
      {"more than a hello before the token", oversized},
  };
  for (const auto& [name, bytes] : cases) {
    headless::ResetRecords();
    EXPECT_TRUE(Refused(bytes)) << name;
    const std::u16string debug = headless::DebugOutput();
    EXPECT_NE(debug.find(u"script connection closed"), std::u16string::npos) << name;
    // Logged once.
    EXPECT_EQ(debug.find(u"script connection closed", debug.find(u"closed") + 1),
              std::u16string::npos)
        << name;
  }
  // Trawler goes on.
  EXPECT_EQ(Run("'still here'"), "still here");
}

// Whether Trawler closed the connection: it reads as ended.
bool ClosedByTrawler(int socket) {
  pollfd readable{socket, POLLIN, 0};
  char byte = 0;
  return poll(&readable, 1, 0) > 0 && recv(socket, &byte, 1, MSG_DONTWAIT) == 0;
}

TEST_F(RemoteProtocolTest, ConnectionsThatNeverPresentTheTokenAreCappedAndTimedOut) {
  std::vector<int> idle;
  for (int i = 0; i < 12; ++i) {
    idle.push_back(remote_script::ConnectTo(Address().socketPath));
    // Accepted, so the listener's backlog never fills.
    g_main_context_iteration(nullptr, FALSE);
  }
  const auto closed = [&idle] { return std::count_if(idle.begin(), idle.end(), ClosedByTrawler); };
  // Those past the cap go at once, the others when their time for the hello is up.
  EXPECT_TRUE(PumpUntil([&] { return closed() >= 4; }));
  EXPECT_TRUE(PumpUntil([&] { return closed() == 12; }));
  for (int socket : idle) close(socket);
  EXPECT_NE(headless::DebugOutput().find(u"no token in time"), std::u16string::npos);
  // Agents still connect, and the page still answers.
  EXPECT_NE(remote_test::ConnectAgent(), nullptr);
  EXPECT_EQ(Run("'still here'"), "still here");
}

TEST(PageAgentTest, ABrokenFrameClosesTheAgentsConnection) {
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  page_agent::PageAgent agent(sockets[0]);
  const std::string garbage("\x05\x00\x00\x00\x01\x02\x03\x04\x05", 9);
  ASSERT_EQ(write(sockets[1], garbage.data(), garbage.size()), ssize_t(garbage.size()));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(agent.ServeAvailable());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("does not decode"), std::string::npos);
  EXPECT_FALSE(agent.IsOpen());
  close(sockets[1]);
}

TEST_F(RemoteProtocolTest, ValuesGoBackInBatchesUnlessProtected) {
  Run("var box = {}");
  const js::JSObjectRef global = js::JSContextGetGlobalObject(m_context);
  js::JSValueRef kept = nullptr;
  for (int i = 0; i < 10000; ++i) kept = Property(m_context, global, "box");
  EXPECT_TRUE(SharedAgent().WaitForLiveHandles(10000));
  js::JSValueProtect(m_context, kept);
  remote_script::FlushReleases();
  EXPECT_TRUE(SharedAgent().WaitForLiveHandles(1));
  SetGlobal(m_context, "again", kept);
  EXPECT_EQ(Run("String(again === box)"), "true");
  js::JSValueUnprotect(m_context, kept);
  remote_script::FlushReleases();
  EXPECT_TRUE(SharedAgent().WaitForLiveHandles(0));

  // Inside a scope, what it obtained goes when the scope closes.
  {
    remote_script::ScopedCall scope;
    for (int i = 0; i < 10; ++i) Property(m_context, global, "box");
  }
  EXPECT_TRUE(SharedAgent().WaitForLiveHandles(0));
}

TEST_F(RemoteProtocolTest, WhenAContextGoesTheRestOfItsReleaseBatchStillGoesBack) {
  // Values of a second context wait in the batch first, then values of the test's own.
  const js::JSGlobalContextRef other = js::JSGlobalContextCreate(nullptr);
  ASSERT_NE(other, nullptr);
  for (int i = 0; i < 10; ++i) Property(other, js::JSContextGetGlobalObject(other), "Object");
  Run("var box = {}");
  const js::JSObjectRef global = js::JSContextGetGlobalObject(m_context);
  for (int i = 0; i < 10; ++i) Property(m_context, global, "box");
  // The second context goes, with its values, before the batch is flushed.
  js::JSGlobalContextRelease(other);
  remote_script::FlushReleases();
  EXPECT_TRUE(SharedAgent().WaitForLiveHandles(0));
}

TEST_F(RemoteProtocolTest, TheServiceObjectWorksOverTheRemoteEngine) {
  CWebKitService service;
  Seen seen;
  seen.returnValue["returnValue"] = 1;
  service.m_handler = RecordingHandler;
  const auto owner = reinterpret_cast<CWebKitWindow*>(&service);
  ASSERT_TRUE(service.Install(owner, m_context, js::JSContextGetGlobalObject(m_context), &seen));
  Run("service.uri = 'com.quillmoor.trawler'; service.method = 'start';"
      "service.params = JSON.stringify({url: 'http://h.test/', filterEnabled: true});");
  const remote_script::Statistics before = remote_script::GetStatistics();
  EXPECT_EQ(Run("service.call()"), "{\"returnValue\":1}\n");
  const remote_script::Statistics after = remote_script::GetStatistics();
  // One call from the page, then the three property reads (and the evaluation itself).
  EXPECT_EQ(after.served - before.served, 1u);
  EXPECT_EQ(after.requests - before.requests, 1u + 3u);
  EXPECT_EQ(seen.uri, u"com.quillmoor.trawler");
  EXPECT_EQ(seen.params["url"], Json::Value("http://h.test/"));

  // A receiver of another class that has private data of its own reaches nothing.
  static const js::JSStaticFunction none[] = {{nullptr, nullptr, 0}};
  js::JSClassRef impostorClass = MakeClass("Impostor", none);
  static char impostorData[] = "not a service";
  SetGlobal(m_context, "impostor", js::JSObjectMake(m_context, impostorClass, impostorData));
  EXPECT_EQ(Run("String(service.call.call(impostor))"), "undefined");
  EXPECT_EQ(Run("String(service.call.call({}))"), "undefined");
  EXPECT_EQ(seen.calls, 1);
  js::JSClassRelease(impostorClass);
}

TEST_F(RemoteProtocolTest, WindowObjectsAreReportedAndServedFromTheMainContext) {
  struct Report {
    int count = 0;
    js::JSGlobalContextRef context = nullptr;
  } report;
  remote_script::SetWindowObjectHandler([&report](uint64_t page, uint64_t frame, bool mainFrame,
                                                  js::JSGlobalContextRef context,
                                                  js::JSObjectRef window) {
    ++report.count;
    report.context = context;
    EXPECT_EQ(page, 5u);
    EXPECT_EQ(frame, 9u);
    EXPECT_TRUE(mainFrame);
    // Installed while the page waits, before its scripts run.
    EXPECT_EQ(window, js::JSContextGetGlobalObject(context));
    SetGlobal(context, "installed", Text(context, "yes"));
  });
  std::string seenByPage;
  const auto loadPage = [&] {
    SharedAgent().Post([&seenByPage](page_agent::PageAgent& agent) {
      JSGlobalContextRef page = ::JSGlobalContextCreate(nullptr);
      agent.WindowObjectCleared(5, 9, true, page);
      JSStringRef script = ::JSStringCreateWithUTF8CString("typeof installed + ' ' + installed");
      JSStringRef text = ::JSValueToStringCopy(
          page, ::JSEvaluateScript(page, script, nullptr, nullptr, 1, nullptr), nullptr);
      seenByPage.assign(::JSStringGetMaximumUTF8CStringSize(text), '\0');
      seenByPage.resize(::JSStringGetUTF8CString(text, seenByPage.data(), seenByPage.size()) - 1);
      ::JSStringRelease(text);
      ::JSStringRelease(script);
      ::JSGlobalContextRelease(page);
    });
  };
  const auto served = [&](int count) {
    const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (report.count < count && g_get_monotonic_time() < deadline) {
      g_main_context_iteration(nullptr, FALSE);
    }
    return report.count == count;
  };
  loadPage();
  ASSERT_TRUE(served(1));
  SharedAgent().Run([](page_agent::PageAgent&) {});
  EXPECT_EQ(seenByPage, "string yes");
  const js::JSGlobalContextRef first = report.context;
  EXPECT_EQ(remote_script::MainFrameContext(5), first);

  // The frame's next window object replaces the context; the first one is gone.
  loadPage();
  ASSERT_TRUE(served(2));
  SharedAgent().Run([](page_agent::PageAgent&) {});
  EXPECT_NE(remote_script::MainFrameContext(5), first);
  js::JSValueRef exception = nullptr;
  EXPECT_EQ(Evaluate(first, "1", &exception), nullptr);
  EXPECT_NE(exception, nullptr);
  remote_script::SetWindowObjectHandler(nullptr);
}

}  // namespace
