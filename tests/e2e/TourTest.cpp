// The guided tour of the playground, step for step, against this test's own fakes: it fails when
// any step a newcomer would watch no longer works.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include "common/Text.h"
#include "playground/Playground_win.h"
#include "playground/Tour_win.h"
#include "support/FakeBotApiServer_win.h"
#include "support/FakeOutlook_win.h"

namespace wrenpost::testing {
namespace {

class Tour : public ::testing::TestWithParam<TourInput> {};

// By keyboard every step is a key press, so this also proves the tab order, the mnemonics, Enter
// on a focused button and the folder tree's keys.
TEST_P(Tour, EveryStepWorksFromAnEmptyFormToADeliveredNotification) {
    FakeBotApiServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(server.ServeAsTelegram());
    FakeOutlook outlook;
    std::wstring error;
    ASSERT_TRUE(outlook.Register(error)) << error;
    ASSERT_TRUE(outlook.WriteScenario(SampleMailbox()));

    std::int64_t updateId = 1;
    TourWorld world;
    world.say = [&](const std::wstring& text) {
        server.AddUpdate(updateId, SampleUserUpdate(updateId, text));
        ++updateId;
    };
    world.mail = [&](const std::wstring& subject) {
        EXPECT_TRUE(AddPlaygroundMail(outlook.ScenarioPath(), subject, L"", L"", error)) << error;
    };
    world.delivered = [&] {
        for (const FakeBotApiRequest& request : server.Requests("sendMessage")) {
            if (request.parameters.at("text").find(WideToUtf8(kTourSubject)) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    std::wstring failure;
    EXPECT_TRUE(RunTour(program, world, GetParam(), failure)) << failure;
    program.End();
    EXPECT_TRUE(outlook.Stop());
}

INSTANTIATE_TEST_SUITE_P(ByMouseAndByKeyboard, Tour,
                         ::testing::Values(TourInput::Mouse, TourInput::Keyboard),
                         [](const auto& info) {
                             return info.param == TourInput::Keyboard ? "Keyboard" : "Mouse";
                         });

}  // namespace
}  // namespace wrenpost::testing
