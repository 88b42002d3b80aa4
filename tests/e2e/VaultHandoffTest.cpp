// A token handed from the vault to new instances of the real program: the first takes it and
// claims it at Check, the next one given the same token refuses it.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include "support/FakeBotApiServer_win.h"
#include "support/RunningProgram_win.h"
#include "vault/Handoff_win.h"

namespace wrenpost::testing {
namespace {

class VaultHandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(server_.ServeAsTelegram());
    }
    void TearDown() override {
        for (RunningProgram* program : {&second_, &third_}) {
            program->End();
        }
    }
    // Starts `program` as the vault window does, with a fresh hand-off of `token`.
    void StartWith(RunningProgram& program, const std::wstring& token) {
        std::wstring id;
        std::wstring error;
        ASSERT_TRUE(CreateHandoff(token, id, error)) << error;
        ASSERT_TRUE(program.Start(L"--new-instance-from-vault " + id));
    }

    FakeBotApiServer server_;
    RunningProgram second_;
    RunningProgram third_;
};

TEST_F(VaultHandoffTest, TheTokenReachesTheNewInstanceAndOnlyOnce) {
    const std::wstring token = L"555:vault-token";
    StartWith(second_, token);
    ASSERT_TRUE(second_.WaitForText(kIdAccessToken, token));
    EXPECT_TRUE(second_.WaitForText(kIdStatusLine,
                                    L"Status: Token loaded from Vault. Please click Check."));
    server_.QueueReply("getMe", {200, R"({"ok":true,"result":{"id":555,"is_bot":true,)"
                                      R"("first_name":"Vault Bot","username":"vault_bot"}})"});
    second_.Click(kIdCheckBot);
    ASSERT_TRUE(second_.WaitForText(kIdBotName, L"Vault Bot"));

    StartWith(third_, token);
    ASSERT_TRUE(third_.PressOk(L"Duplicate Bot Token"));
    EXPECT_EQ(third_.Text(kIdAccessToken), L"");
    EXPECT_EQ(third_.Text(kIdStatusLine), L"Status: Ready");
}

}  // namespace
}  // namespace wrenpost::testing
