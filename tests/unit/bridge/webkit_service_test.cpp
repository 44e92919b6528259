#include "bridge/webkit_service.h"

#include "tests/unit/bridge/handle_counter.h"
#include "tests/unit/bridge/recording_handler.h"
#include "tests/unit/bridge/script_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using script_test::Evaluate;
using script_test::StringOf;

CWebKitWindow* const kOwner = reinterpret_cast<CWebKitWindow*>(uintptr_t{0x1000});

class WebKitServiceTest : public testing::Test {
 protected:
  void SetUp() override {
    m_context = js::JSGlobalContextCreate(nullptr);
    m_global = js::JSContextGetGlobalObject(m_context);
    m_service = std::make_unique<CWebKitService>();
    m_service->m_handler = RecordingHandler;
    m_seen.returnValue["returnValue"] = 1;
    m_liveStrings = string_handles::Live();
    m_protectedValues = protected_values::Live();
  }
  void TearDown() override {
    EXPECT_EQ(string_handles::Live(), m_liveStrings);
    EXPECT_EQ(protected_values::Live(), m_protectedValues);
    m_service.reset();
    js::JSGlobalContextRelease(m_context);
  }
  std::string Run(const char* script) { return StringOf(m_context, Evaluate(m_context, script)); }

  js::JSGlobalContextRef m_context = nullptr;
  js::JSObjectRef m_global = nullptr;
  std::unique_ptr<CWebKitService> m_service;
  Seen m_seen;
  long m_liveStrings = 0;
  long m_protectedValues = 0;
};

TEST_F(WebKitServiceTest, InstalledServiceDispatchesThePagesRequest) {
  ASSERT_TRUE(m_service->Install(kOwner, m_context, m_global, &m_seen));
  EXPECT_EQ(m_service->m_owner, kOwner);
  EXPECT_EQ(m_service->m_targetObject, m_global);
  EXPECT_EQ(Run("service.uri = 7; service.method = 'st\\u00e4rt';"
                "service.params = '{\"url\": \"x\"}'; service.call()"),
            "{\"returnValue\":1}\n");
  EXPECT_EQ(m_seen.uri, u"7");
  EXPECT_EQ(m_seen.method, u"st\u00E4rt");
  EXPECT_EQ(m_seen.params["url"], Json::Value("x"));
  EXPECT_EQ(m_service->m_resultText, "{\"returnValue\":1}\n");
  EXPECT_EQ(Run("service.call(1, 2, 3)"), "{\"returnValue\":1}\n");
  EXPECT_EQ(m_seen.calls, 2);
}

TEST_F(WebKitServiceTest, AMethodOrUriWithANulMatchesNothing) {
  m_service->Install(kOwner, m_context, m_global, &m_seen);
  Run("service.uri = 'u'; service.method = 'start\\0x'; service.call()");
  EXPECT_EQ(m_seen.uri, u"u");
  EXPECT_EQ(m_seen.method, u"");
  Run("service.uri = 'u\\0'; service.method = 'start'; service.call()");
  EXPECT_EQ(m_seen.uri, u"");
  EXPECT_EQ(m_seen.method, u"start");
}

TEST_F(WebKitServiceTest, MissingRequestPropertiesAreEmptyAndParamsAbsent) {
  m_service->Install(kOwner, m_context, m_global, &m_seen);
  Run("service.params = {url: 'x'}; service.call()");
  EXPECT_EQ(m_seen.uri, u"");
  // "[object Object]" is no JSON: the reader stops inside the array it began.
  EXPECT_TRUE(m_seen.params.isArray());
  Run("service.params = ''; service.call()");
  EXPECT_TRUE(m_seen.params.isNull());
}

TEST_F(WebKitServiceTest, CancelCallAnswersTrueAndForeignReceiversUndefined) {
  m_service->Install(kOwner, m_context, m_global, &m_seen);
  EXPECT_EQ(Run("String(service.cancelCall())"), "true");
  EXPECT_EQ(Run("String(service.call.call({}))"), "undefined");
  EXPECT_EQ(Run("String(service.cancelCall.call(this))"), "undefined");
  EXPECT_EQ(m_seen.calls, 0);
}

TEST_F(WebKitServiceTest, ReceiversOfAnotherClassWithPrivateDataAnswerUndefined) {
  m_service->Install(kOwner, m_context, m_global, &m_seen);
  static const js::JSStaticFunction none[] = {{nullptr, nullptr, 0}};
  js::JSClassDefinition definition = js::kJSClassDefinitionEmpty;
  definition.className = "Impostor";
  definition.staticFunctions = none;
  js::JSClassRef impostorClass = js::JSClassCreate(&definition);
  static char impostorData[] = "not a service";
  js::JSObjectRef impostor = js::JSObjectMake(m_context, impostorClass, impostorData);
  js::JSStringRef name = js::JSStringCreateWithUTF8CString("impostor");
  js::JSObjectSetProperty(m_context, m_global, name, impostor, js::kJSPropertyAttributeNone,
                          nullptr);
  js::JSStringRelease(name);
  EXPECT_EQ(Run("String(service.call.call(impostor))"), "undefined");
  EXPECT_EQ(Run("String(service.cancelCall.call(impostor))"), "undefined");
  EXPECT_EQ(m_seen.calls, 0);
  EXPECT_STREQ(impostorData, "not a service");
  js::JSClassRelease(impostorClass);
}

TEST_F(WebKitServiceTest, NoHandlerAnswersNull) {
  m_service->m_handler = nullptr;
  m_service->Install(kOwner, m_context, m_global, nullptr);
  EXPECT_EQ(Run("service.call()"), "null\n");
}

TEST_F(WebKitServiceTest, InstallNeedsAnOwnerAndKeepsOnlyTheLatestBinding) {
  EXPECT_FALSE(m_service->Install(nullptr, m_context, m_global, &m_seen));
  EXPECT_EQ(Run("typeof service"), "undefined");
  ASSERT_TRUE(m_service->Install(kOwner, m_context, m_global, &m_seen));
  const js::JSObjectRef first = m_service->m_scriptObject;
  ASSERT_TRUE(m_service->Install(kOwner, m_context, m_global, &m_seen));
  EXPECT_NE(m_service->m_scriptObject, first);
  EXPECT_EQ(Run("Object.getOwnPropertyDescriptor(this, 'service').writable"), "true");
}

TEST(WebKitServiceClassTest, TheClassLivesFromFirstInstallUntilTheLastService) {
  js::JSGlobalContextRef context = js::JSGlobalContextCreate(nullptr);
  const int before = CWebKitAbstractService::s_serviceCount;
  {
    CWebKitService first;
    CWebKitService second;
    EXPECT_EQ(CWebKitAbstractService::s_serviceCount, before + 2);
    EXPECT_EQ(CWebKitAbstractService::s_serviceClass, nullptr);
    first.Install(kOwner, context, js::JSContextGetGlobalObject(context), nullptr);
    const js::JSClassRef shared = CWebKitAbstractService::s_serviceClass;
    ASSERT_NE(shared, nullptr);
    second.Install(kOwner, context, js::JSContextGetGlobalObject(context), nullptr);
    EXPECT_EQ(CWebKitAbstractService::s_serviceClass, shared);
  }
  EXPECT_EQ(CWebKitAbstractService::s_serviceCount, before);
  EXPECT_EQ(CWebKitAbstractService::s_serviceClass, nullptr);
  js::JSGlobalContextRelease(context);
}

}  // namespace
