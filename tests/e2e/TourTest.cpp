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

TEST(Tour, EveryStepWorksFromAnEmptyFormToADeliveredNotification) {
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
    EXPECT_TRUE(RunTour(program, world, failure)) << failure;
    program.End();
    EXPECT_TRUE(outlook.Stop());
}

}  // namespace
}  // namespace wrenpost::testing
