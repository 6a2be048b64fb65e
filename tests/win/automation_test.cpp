// The plug-in's automation client against the stand-in's real "Tarq2.Application" object, across two COM
// apartments as in the host: the object on a thread that pumps messages, the client on a thread of its own
// that attaches as the Setup thread does.
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "host/automation_object.h"
#include "tests/win/child.h"
#include "tests/win/host_thread.h"
#include "tests/win/window_steps.h"
#include "ui/automation_win32.h"

namespace {

using host::HostObject;
using zorvant::HostAutomation;

// A thread of its own that attaches and then runs `body` with the link, as the Setup thread does; false
// if it did not end in time.
bool OnSetupLikeThread(const std::function<void(HostAutomation&)>& body) {
  auto done = std::async(std::launch::async, [&] {
    HostAutomation link;
    link.Attach();
    body(link);
  });
  return done.wait_for(kHang) == std::future_status::ready;
}

std::string InThreadCodePage(const std::wstring& text) {
  char out[64] = {};
  WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, out, sizeof out, nullptr, nullptr);
  return out;
}

TEST(HostAutomation, MacrosArriveInOrderByteForByte) {
  HostThread host(/*publish=*/true);
  ASSERT_TRUE(host.published());
  ASSERT_TRUE(OnSetupLikeThread([](HostAutomation& link) {
    ASSERT_TRUE(link.attached());
    for (const char* macro : {zorvant::kMacroModeBpsk, zorvant::kMacroBaudBpsk, zorvant::kMacroModeRtty,
                              zorvant::kMacroBaudRtty, zorvant::kMacroSpot}) {
      link.SendMacro(macro);
    }
  }));
  EXPECT_EQ(host.object().macros(),
            (std::vector<std::wstring>{L"<MODE:BPSK31>", L"<BAUDRATE:63>", L"<MODE:RTTY>",
                                       L"<BAUDRATE:45.45>", L"<SP1>"}));
  EXPECT_TRUE(host.object().attached());
}

TEST(HostAutomation, ReadsTheTypedCallsignAndTheFrequencyExactly) {
  HostThread host(/*publish=*/true);
  struct Case {
    std::wstring typed;
    double hz;
  } cases[] = {{L"UA3XYZ", 3585000.0}, {L"DL\u00c4X/P", 14070123.25}, {L"", 0.0}};
  // The second callsign has a letter outside ASCII: it must arrive as that one byte of the code page.
  ASSERT_EQ(InThreadCodePage(cases[1].typed).size(), 6u);
  ASSERT_LT(static_cast<signed char>(InThreadCodePage(cases[1].typed)[2]), 0);
  for (const Case& c : cases) {
    host.object().SetEnteredCall(c.typed);
    host.object().SetFrequency(c.hz);
    std::string call = "stale";
    std::optional<double> hz;
    ASSERT_TRUE(OnSetupLikeThread([&](HostAutomation& link) {
      call = link.EnteredCall();
      hz = link.Frequency();
    }));
    EXPECT_EQ(call, InThreadCodePage(c.typed));
    ASSERT_TRUE(hz.has_value());
    EXPECT_EQ(*hz, c.hz);
  }
  EXPECT_EQ(host.object().callReads(), 3);
  EXPECT_EQ(host.object().frequencyReads(), 3);
}

TEST(HostAutomation, WithNoHostRunningEveryCallIsASilentNoOp) {
  HostThread host(/*publish=*/false);
  ASSERT_TRUE(OnSetupLikeThread([](HostAutomation& link) {
    EXPECT_FALSE(link.attached());
    link.SendMacro(zorvant::kMacroSpot);
    EXPECT_EQ(link.EnteredCall(), "");
    EXPECT_FALSE(link.Frequency().has_value());
  }));
  EXPECT_TRUE(host.object().macros().empty());
  EXPECT_FALSE(host.object().attached());
}

TEST(HostAutomation, AHostThatQuitsAfterTheAttachLeavesNoStaleValue) {
  HostThread host(/*publish=*/true);
  host.object().SetEnteredCall(L"UA3XYZ");
  host.object().SetFrequency(3585000.0);
  ASSERT_TRUE(OnSetupLikeThread([&](HostAutomation& link) {
    ASSERT_EQ(link.EnteredCall(), "UA3XYZ");
    host.Withdraw();
    EXPECT_EQ(link.EnteredCall(), "");
    EXPECT_FALSE(link.Frequency().has_value());
    link.SendMacro(zorvant::kMacroSpot);
    EXPECT_FALSE(link.attached());
  }));
  EXPECT_TRUE(host.object().macros().empty());
}

TEST(HostAutomation, ARefusedOrWronglyTypedAnswerReadsAsNoValue) {
  HostThread host(/*publish=*/true);
  host.object().SetEnteredCall(L"UA3XYZ");
  host.object().SetFrequency(3585000.0);
  for (HostObject::Answer answer : {HostObject::Answer::kError, HostObject::Answer::kException,
                                    HostObject::Answer::kEmpty, HostObject::Answer::kWrongType}) {
    host.object().SetAnswer(answer);
    ASSERT_TRUE(OnSetupLikeThread([&](HostAutomation& link) {
      ASSERT_TRUE(link.attached());
      EXPECT_EQ(link.EnteredCall(), "") << static_cast<int>(answer);
      EXPECT_FALSE(link.Frequency().has_value()) << static_cast<int>(answer);
      // A host that refused one call is still there for the next.
      EXPECT_TRUE(link.attached());
    }));
  }
}

// The plug-in's Setup window attaches to the object the host publishes, and the host's thread keeps working
// through the exports while the window calls into it.
class SetupWindowWithHost : public PluginFolderTest {
 protected:
  void TearDown() override {
    if (HWND w = FindWindowA(nullptr, "Setup ZORVANT 2017")) {
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      EXPECT_TRUE(WaitForWindowGone("Setup ZORVANT 2017", 20000));
    }
    PluginFolderTest::TearDown();
    // The window's thread lets go of the library last; the next test must load it afresh.
    EXPECT_TRUE(WaitUntil([] { return !GetModuleHandleA("Stats.dll"); }));
  }

  HostThread host_{/*publish=*/true};
};

TEST_F(SetupWindowWithHost, AResetOpensASetupWindowThatAttachesAndPollsTheHost) {
  host_.object().SetEnteredCall(L"UA3XYZ");
  ASSERT_EQ(host_.Run([this] { CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)); }).wait_for(kHang),
            std::future_status::ready);
  ASSERT_NE(WaitForSetupWindow("2017", 10000), nullptr);
  EXPECT_TRUE(WaitUntil([this] { return host_.object().attached(); }));
  // A call check hands the window a refresh, which reads what is being typed.
  host_.Run([this] { CallCheck(plugin_, "UA3XYZ", "RTTY", "UA3", "UA", "80m", "80m"); });
  EXPECT_TRUE(WaitUntil([this] { return host_.object().callReads() >= 1; }));
}

TEST_F(SetupWindowWithHost, ASlowHostNeverHangsTheExportsWhileTheWindowCallsIt) {
  ASSERT_EQ(host_.Run([this] { CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)); }).wait_for(kHang),
            std::future_status::ready);
  ASSERT_NE(WaitForSetupWindow("2017", 10000), nullptr);
  ASSERT_TRUE(WaitUntil([this] { return host_.object().attached(); }));
  host_.object().SetDelay(200);
  int returned = 0;
  // Each call check hands the window a refresh, which calls the slow host while the host's thread is back in
  // the exports: resetting, with the window still open.
  auto session = host_.Run([&] {
    for (int i = 0; i < 50; ++i) {
      CallCheck(plugin_, "UA3XYZ", "RTTY", "UA3", "UA", "80m", "80m");
      if (CallReset(plugin_, MakeDate(2017, 3, 5, 14, 0)) == 1) ++returned;
      host::PumpFor(0);
    }
  });
  ASSERT_EQ(session.wait_for(kHang), std::future_status::ready);
  EXPECT_EQ(returned, 50);
  EXPECT_GE(host_.object().callReads(), 1);
  host_.object().SetDelay(0);
}

}  // namespace
