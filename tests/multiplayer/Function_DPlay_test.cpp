// The multiplayer functions as game code calls them: the 29 names with their argument
// counts, connecting (one connection at a time; modem and serial answer 0 and say why
// once), what they give without a connection or a session, and the machine's address.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "functions/Function_Main.h"
#include "run/Runtime.h"

using namespace kelvane;

namespace {

RValue call(Runtime& rt, const char* name, std::vector<RValue> args = {}) {
    const FunctionRegistry& r = function_registry();
    int32_t index = r.find(name);
    RValue result;
    args.resize(10);
    EXPECT_TRUE(
        call_function(rt, index, nullptr, nullptr, result, args.data(), r.argument_count(index)))
        << name;
    return result;
}

double real(Runtime& rt, const char* name, std::vector<RValue> args = {}) {
    RValue v = call(rt, name, std::move(args));
    EXPECT_TRUE(v.is_real()) << name;
    return v.real;
}

class MultiplayerFunctions : public ::testing::Test {
  protected:
    // Searches on "the local network" must stay on this machine.
    void SetUp() override { setenv("KELVANE_MPLAY_BROADCAST", "127.255.255.255", 1); }
    void TearDown() override { unsetenv("KELVANE_MPLAY_BROADCAST"); }
    Runtime rt;
};

} // namespace

TEST(MultiplayerRegistry, AllTwentyNineFunctionsWithTheirArgumentCounts) {
    const std::pair<const char*, int32_t> expected[] = {
        {"mplay_init_ipx", 0},
        {"mplay_init_tcpip", 1},
        {"mplay_init_modem", 2},
        {"mplay_init_serial", 5},
        {"mplay_connect_status", 0},
        {"mplay_end", 0},
        {"mplay_session_mode", 1},
        {"mplay_session_create", 3},
        {"mplay_session_find", 0},
        {"mplay_session_name", 1},
        {"mplay_session_join", 2},
        {"mplay_session_status", 0},
        {"mplay_session_end", 0},
        {"mplay_player_find", 0},
        {"mplay_player_name", 1},
        {"mplay_player_id", 1},
        {"mplay_data_write", 2},
        {"mplay_data_read", 1},
        {"mplay_data_mode", 1},
        {"mplay_message_send", 3},
        {"mplay_message_send_guaranteed", 3},
        {"mplay_message_receive", 1},
        {"mplay_message_id", 0},
        {"mplay_message_value", 0},
        {"mplay_message_player", 0},
        {"mplay_message_name", 0},
        {"mplay_message_count", 1},
        {"mplay_message_clear", 1},
        {"mplay_ipaddress", 0},
    };
    const FunctionRegistry& r = function_registry();
    int32_t registered = 0;
    for (int32_t i = 0; i < r.count(); ++i)
        if (r.entry(i).name.starts_with("mplay_")) ++registered;
    EXPECT_EQ(registered, 29);
    for (const auto& [name, argc] : expected) {
        int32_t index = r.find(name);
        ASSERT_GE(index, 0) << name;
        EXPECT_EQ(r.argument_count(index), argc) << name;
    }
}

TEST_F(MultiplayerFunctions, ModemAndSerialAnswerZeroAndSaySoOnce) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(real(rt, "mplay_init_modem", {RValue(""), RValue("555 1234")}), 0.0);
    EXPECT_EQ(real(rt, "mplay_init_serial",
                   {RValue(1.0), RValue(57600.0), RValue(0.0), RValue(0.0), RValue(0.0)}),
              0.0);
    EXPECT_EQ(real(rt, "mplay_init_modem", {RValue("ATZ"), RValue("1")}), 0.0);
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("modem and serial connections are not available"), std::string::npos)
        << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said; // one line, however often asked
    EXPECT_EQ(real(rt, "mplay_connect_status"), 0.0);
    // The network can still be had afterwards.
    EXPECT_EQ(real(rt, "mplay_init_tcpip", {RValue("")}), 1.0);
    EXPECT_EQ(real(rt, "mplay_connect_status"), 2.0);
}

TEST_F(MultiplayerFunctions, OneConnectionAtATimeUntilTheEnd) {
    EXPECT_EQ(real(rt, "mplay_init_ipx"), 1.0);
    EXPECT_EQ(real(rt, "mplay_connect_status"), 1.0);
    EXPECT_EQ(real(rt, "mplay_init_ipx"), 0.0);
    EXPECT_EQ(real(rt, "mplay_init_tcpip", {RValue("127.0.0.1:2300")}), 0.0);
    EXPECT_EQ(real(rt, "mplay_connect_status"), 1.0);
    call(rt, "mplay_end");
    EXPECT_EQ(real(rt, "mplay_connect_status"), 0.0);
    EXPECT_EQ(real(rt, "mplay_init_tcpip", {RValue("127.0.0.1:2300")}), 1.0);
    EXPECT_EQ(real(rt, "mplay_connect_status"), 2.0);
    call(rt, "mplay_end");
    // An address whose port is not a port number gives no connection.
    EXPECT_EQ(real(rt, "mplay_init_tcpip", {RValue("127.0.0.1:port")}), 0.0);
    EXPECT_EQ(real(rt, "mplay_connect_status"), 0.0);
}

TEST_F(MultiplayerFunctions, WithoutASessionTheyGiveZeroOrTheEmptyString) {
    EXPECT_EQ(real(rt, "mplay_session_create", {RValue("s"), RValue(2.0), RValue("p")}), 0.0);
    EXPECT_EQ(real(rt, "mplay_session_find"), 0.0);
    ASSERT_EQ(real(rt, "mplay_init_tcpip", {RValue("127.0.0.1:2300")}), 1.0);
    EXPECT_EQ(real(rt, "mplay_session_status"), 0.0);
    EXPECT_EQ(call(rt, "mplay_session_name", {RValue(0.0)}).str.str(), "");
    EXPECT_EQ(real(rt, "mplay_session_join", {RValue(0.0), RValue("p")}), 0.0);
    EXPECT_EQ(real(rt, "mplay_player_find"), 0.0);
    EXPECT_EQ(call(rt, "mplay_player_name", {RValue(0.0)}).str.str(), "");
    EXPECT_EQ(real(rt, "mplay_player_id", {RValue(0.0)}), 0.0);
    EXPECT_EQ(real(rt, "mplay_data_write", {RValue(1.0), RValue(5.0)}), 0.0);
    EXPECT_EQ(real(rt, "mplay_data_write", {RValue(10001.0), RValue(5.0)}), 0.0);
    EXPECT_EQ(real(rt, "mplay_data_read", {RValue(-1.0)}), 0.0);
    EXPECT_EQ(real(rt, "mplay_message_send", {RValue(0.0), RValue(1.0), RValue(1.0)}), 0.0);
    EXPECT_EQ(real(rt, "mplay_message_send_guaranteed", {RValue("Ann"), RValue(1.0), RValue(1.0)}),
              0.0);
    EXPECT_EQ(real(rt, "mplay_message_receive", {RValue(0.0)}), 0.0);
    EXPECT_EQ(real(rt, "mplay_message_count", {RValue(0.0)}), 0.0);
    EXPECT_EQ(call(rt, "mplay_message_name").str.str(), "");
    // The current message is all zero at the start.
    EXPECT_EQ(real(rt, "mplay_message_id"), 0.0);
    EXPECT_EQ(real(rt, "mplay_message_value"), 0.0);
    EXPECT_EQ(real(rt, "mplay_message_player"), 0.0);
}

TEST_F(MultiplayerFunctions, TheAddressIsDottedDigitsAndNeverLoopback) {
    std::string ip = call(rt, "mplay_ipaddress").str.str();
    if (ip.empty()) GTEST_SKIP() << "this machine has no address besides the loopback one";
    EXPECT_TRUE(std::regex_match(ip, std::regex(R"((\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3}))")))
        << ip;
    EXPECT_FALSE(ip.starts_with("127.")) << ip;
}
