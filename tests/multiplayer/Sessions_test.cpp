// Several headless runners of one game on the loopback interface: they create, find and join
// a session, share data, exchange messages and see each other's names, and carry on (or
// not) when the host quits. Each runner is bounded in time and killed if it overstays.
#include "e2e/Game_Runner.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

using namespace kelvane::e2e;

namespace {

// The game: parameters ROLE PORT MIGRATION MODE PLAYERS. Role "a" creates the session as
// Ann; "b" and "c" find and join it as Bob and Cyd. Each writes what it saw to out-ROLE.txt.
const char* create_code = R"(
role = parameter_string(1); port = parameter_string(2);
players = real(parameter_string(5)); phase = 0; steps = 0; got = 0; log = "";
mplay_session_mode(real(parameter_string(3)));
if parameter_string(4) == "lan" { ok = mplay_init_ipx(); }
else { ok = mplay_init_tcpip("127.0.0.1:" + port); }
log += "init" + string(ok) + string(mplay_connect_status()) + string(mplay_init_ipx()) + ";";
if role == "a" { me = "Ann"; } else if role == "b" { me = "Bob"; } else { me = "Cyd"; }
)";

const char* finish_script = R"(
file_open_write("out-" + role + ".txt"); file_write_string(log); file_close();
phase = 99; game_end();
)";

const char* step_code = R"(
steps += 1; sleep(5);
if phase == 99 { exit; }
if steps > 3000 { log += "timeout" + string(phase) + ";"; finish(); exit; }
if role == "a" {
  if phase == 0 {
    log += "create" + string(mplay_session_create("duel", 3, me)) + string(mplay_session_status()) + ";";
    phase = 1;
  } else if phase == 1 {
    if mplay_player_find() == players {
      log += "players";
      for (i = 0; i < players; i += 1) { log += " " + mplay_player_name(i); }
      log += ";";
      log += "write" + string(mplay_data_write(7, "shared")) + string(mplay_data_write(10001, 5)) + ";";
      log += "send" + string(mplay_message_send_guaranteed(0, 11, 2.5)) + ";";
      phase = 2;
    }
  } else if phase == 2 {
    while mplay_message_receive(0) {
      log += "got" + string(mplay_message_id()) + "=" + mplay_message_value() + " from " + mplay_message_name() + ";";
      got += 1;
    }
    if got == players - 1 { finish(); }
  }
} else {
  if phase == 0 {
    if mplay_session_find() > 0 {
      log += "found " + mplay_session_name(0) + ";";
      log += "join" + string(mplay_session_join(0, me)) + string(mplay_session_status()) + ";";
      phase = 1;
    }
  } else if phase == 1 {
    v = mplay_data_read(7);
    if is_string(v) {
      if mplay_message_receive(0) {
        log += "data " + v + string(mplay_data_read(-1)) + ";";
        log += "msg" + string(mplay_message_id()) + "=" + string(mplay_message_value()) + " from " + mplay_message_name() + ";";
        host = mplay_message_player();
        log += "sent" + string(mplay_message_send_guaranteed("Ann", 21, "hi from " + me)) + string(mplay_message_send("Nobody", 1, 1)) + ";";
        phase = 2;
      }
    }
  } else if phase == 2 {
    // The host quits once it has heard from everybody.
    if mplay_session_status() == 0 { log += "ended;"; finish(); }
    else if mplay_player_find() == players - 1 {
      log += "host gone, now";
      for (i = 0; i < players - 1; i += 1) { log += " " + mplay_player_name(i); }
      log += ";";
      phase = 3;
    }
  } else if phase == 3 {
    // After the host moved: Cyd writes to everybody until the new host has it; Bob waits.
    if role == "c" {
      if mplay_message_send_guaranteed(0, 31, "after") { log += "resent;"; phase = 4; }
    } else if mplay_message_receive(0) {
      log += "got" + string(mplay_message_id()) + "=" + mplay_message_value() + " from " + mplay_message_name() + string(mplay_session_status()) + ";";
      finish();
    }
  } else if phase == 4 {
    if mplay_player_find() == 1 { log += "alone" + string(mplay_session_status()) + ";"; finish(); }
  }
}
)";

class SessionTest : public GameTest {
  protected:
    int port = 0;
    void SetUp() override {
        GameTest::SetUp();
        // A port of our own per test process, so parallel tests do not meet.
        port = 30000 + int(::getpid() % 20000);
        write("kelvane-project.json",
              R"({"scripts": [{"name": "finish", "code": )" + json(finish_script) +
                  R"(}], "objects": [{"name": "o", "events": [)" +
                  event("create", 0, {code(create_code)}) + ", " +
                  event("step", 0, {code(step_code)}) +
                  R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    }
    static std::string json(const std::string& s) {
        std::string out = "\"";
        for (char c : s) {
            if (c == '\n') {
                out += "\\n";
                continue;
            }
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        return out + "\"";
    }
    // Starts one runner; stderr goes to err-ROLE.txt.
    pid_t start(const std::string& role, int migration, const std::string& mode, int players) {
        std::string cmd = "cd '" + dir.string() + "' && XDG_DATA_HOME='" + (dir / "data").string() +
                          "' KELVANE_MPLAY_PORT=" + std::to_string(port) +
                          " KELVANE_MPLAY_BROADCAST=127.255.255.255 exec timeout -s KILL 40 '" +
                          KELVANE_BINARY + "' run --headless --seed 1 . -- " + role + " " +
                          std::to_string(port) + " " + std::to_string(migration) + " " + mode +
                          " " + std::to_string(players) + " 2> err-" + role + ".txt > /dev/null";
        pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", cmd.c_str(), (char*)nullptr);
            _exit(127);
        }
        return pid;
    }
    static int finish(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Datagrams no runner sent: garbage, and a payload without a connection around it.
    void pester(int times) {
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const unsigned char payload[] = {1, 21, 0, 0, 0, 1, 3, 0, 0, 0, 'b', 'a', 'd'};
        for (int i = 0; i < times; ++i) {
            unsigned char junk[64];
            for (unsigned char& b : junk) b = (unsigned char)(i * 37 + (&b - junk) * 11);
            sendto(fd, junk, size_t(1 + i % 64), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            sendto(fd, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::close(fd);
    }
};

} // namespace

TEST_F(SessionTest, TwoRunnersShareASessionUntilTheHostQuits) {
    pid_t a = start("a", 0, "tcpip", 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pid_t b = start("b", 0, "tcpip", 2);
    pester(100);
    EXPECT_EQ(finish(a), 0) << read("err-a.txt");
    EXPECT_EQ(finish(b), 0) << read("err-b.txt");
    EXPECT_EQ(read("out-a.txt"),
              "init120;create11;players Ann Bob;write10;send1;got21=hi from Bob from Bob;");
    EXPECT_EQ(read("out-b.txt"), "init120;found duel;join12;data shared0;msg11=2.50 from Ann;"
                                 "sent10;ended;");
}

TEST_F(SessionTest, ThreeRunnersOnTheLocalNetworkKeepTheSessionWhenTheHostQuits) {
    pid_t a = start("a", 1, "lan", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pid_t b = start("b", 1, "lan", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pid_t c = start("c", 1, "lan", 3);
    EXPECT_EQ(finish(a), 0) << read("err-a.txt");
    EXPECT_EQ(finish(b), 0) << read("err-b.txt");
    EXPECT_EQ(finish(c), 0) << read("err-c.txt");
    std::string out_a = read("out-a.txt");
    EXPECT_EQ(out_a.substr(0, 43), "init110;create11;players Ann Bob Cyd;write1") << out_a;
    EXPECT_NE(out_a.find("got21=hi from Bob from Bob;"), std::string::npos) << out_a;
    EXPECT_NE(out_a.find("got21=hi from Cyd from Cyd;"), std::string::npos) << out_a;
    EXPECT_EQ(read("out-b.txt"), "init110;found duel;join12;data shared0;msg11=2.50 from Ann;"
                                 "sent10;host gone, now Bob Cyd;got31=after from Cyd2;");
    EXPECT_EQ(read("out-c.txt"), "init110;found duel;join12;data shared0;msg11=2.50 from Ann;"
                                 "sent10;host gone, now Cyd Bob;resent;alone2;");
}

// The local network for real: the host in one network namespace, the joining player in
// another, joined by a virtual cable (10.77.0.1 and 10.77.0.2) that leads nowhere else.
// The joining player finds the session only by broadcasting on that cable.
TEST_F(SessionTest, ARunnerOnAnotherMachineOfTheLocalNetworkFindsTheSession) {
    if (std::system("unshare -n ip link add v0 type veth peer name v1 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no network namespaces with virtual cables here";
    std::string run = "timeout -s KILL 40 env -u KELVANE_MPLAY_BROADCAST XDG_DATA_HOME='" +
                      (dir / "data").string() + "' KELVANE_MPLAY_PORT=" + std::to_string(port) +
                      " '" + KELVANE_BINARY + "' run --headless --seed 1 . -- ";
    std::string args = " " + std::to_string(port) + " 0 lan 2";
    write("ns.sh", R"sh(set -e
ip link set lo up
ip link add v0 type veth peer name v1
ip addr add 10.77.0.1/24 brd + dev v0
ip link set v0 up
unshare -n sh -c '
  for i in $(seq 200); do ip link show v1 >/dev/null 2>&1 && break; sleep 0.05; done
  ip link set lo up; ip addr add 10.77.0.2/24 brd + dev v1; ip link set v1 up
  sleep 0.3
  exec )sh" + run + "b" +
                       args + R"sh( 2> err-b.txt > /dev/null' &
joiner=$!
# The cable's other end goes over once the joining player has its own namespace.
for i in $(seq 200); do
  [ "$(readlink /proc/$joiner/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break; sleep 0.05
done
ip link set v1 netns $joiner
)sh" + run + "a" + args +
                       R"sh( 2> err-a.txt > /dev/null
wait $joiner
)sh");
    int raw =
        std::system(("cd '" + dir.string() + "' && unshare -n sh ns.sh 2> ns-err.txt").c_str());
    ASSERT_EQ(raw, 0) << read("ns-err.txt") << read("err-a.txt") << read("err-b.txt");
    EXPECT_EQ(read("out-a.txt"),
              "init110;create11;players Ann Bob;write10;send1;got21=hi from Bob from Bob;");
    EXPECT_EQ(read("out-b.txt"), "init110;found duel;join12;data shared0;msg11=2.50 from Ann;"
                                 "sent10;ended;");
}
