// Several headless runners of one game on the loopback interface: they create, find and join
// a session, share data, exchange messages and see each other's names, and carry on (or
// not) when a player or the host quits or vanishes; datagrams that no runner sent change
// nothing. Each runner is bounded in time and killed if it overstays.
#include "e2e/Game_Runner.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

#include "multiplayer/DPlay_Low.h"
#include "multiplayer/Free_Port.h"
#include "platform/Network.h"

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

const char* save_script = R"(
file_open_write("out-" + role + ".txt"); file_write_string(log); file_close();
)";

const char* finish_script = R"(
save(); phase = 99; game_end();
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

// Three players without host migration: Cyd leaves, Ann and Bob go on; then Ann, the host,
// quits and the session ends for Bob. Bob sleeps for longer than a vanished player is
// given: the others must not take him for gone.
const char* leave_step = R"(
steps += 1; sleep(5);
if phase == 99 { exit; }
if steps > 6000 { log += "timeout" + string(phase) + ";"; finish(); exit; }
if role == "a" {
  if phase == 0 {
    log += "create" + string(mplay_session_create("trio", 0, me)) + ";"; phase = 1;
  } else if phase == 1 {
    if mplay_player_find() == 3 { log += "three;"; mplay_message_send_guaranteed(0, 1, "all here"); phase = 2; }
  } else if phase == 2 {
    if mplay_player_find() == 2 {
      log += "left, now " + mplay_player_name(0) + " " + mplay_player_name(1) + ";";
      log += "write" + string(mplay_data_write(1, "still")) + ";"; phase = 3;
    }
  } else if phase == 3 {
    if mplay_message_receive(0) { log += "got" + string(mplay_message_id()) + " from " + mplay_message_name() + ";"; finish(); }
  }
} else {
  if phase == 0 {
    if mplay_session_find() > 0 { log += "join" + string(mplay_session_join(0, me)) + ";"; phase = 1; }
  } else if phase == 1 {
    if mplay_message_receive(0) {
      log += "got " + mplay_message_value() + ";"; phase = 2;
      if role == "c" { mplay_session_end(); log += "end" + string(mplay_session_status()) + ";"; finish(); }
      else { sleep(4500); }
    }
  } else if phase == 2 {
    v = mplay_data_read(1);
    if is_string(v) {
      log += v + ", now " + string(mplay_player_find()) + " " + mplay_player_name(0) + " " + mplay_player_name(1) + ";";
      mplay_message_send_guaranteed(mplay_message_player(), 2, "ack"); phase = 3;
    }
  } else if phase == 3 {
    if mplay_session_status() == 0 { log += "ended" + string(mplay_player_find()) + ";"; finish(); }
  }
}
)";

// Three players with host migration; the test kills the host's runner once Bob and Cyd
// are in (ready-ROLE.txt). Each writes noticed-ROLE.txt when it sees the host gone, then
// sends to everybody every few steps until it hears the other, saves what it saw, and
// goes on until the test writes stop.txt.
const char* vanish_step = R"(
steps += 1; sleep(5);
if phase == 99 { exit; }
if steps > 8000 { log += "timeout" + string(phase) + ";"; finish(); exit; }
if role == "a" {
  if phase == 0 {
    log += "create" + string(mplay_session_create("trio", 0, me)) + ";"; phase = 1;
  } else if phase == 1 {
    if mplay_player_find() == 3 { mplay_data_write(2, "kept"); mplay_message_send_guaranteed(0, 1, "all here"); phase = 2; }
  }
} else {
  if phase == 0 {
    if mplay_session_find() > 0 { log += "join" + string(mplay_session_join(0, me)) + ";"; phase = 1; }
  } else if phase == 1 {
    if mplay_message_receive(0) {
      log += "got " + mplay_message_value() + " from " + mplay_message_name() + ";";
      file_open_write("ready-" + role + ".txt"); file_close(); phase = 2;
    }
  } else if phase == 2 {
    if mplay_session_status() == 0 { log += "ended;"; finish(); }
    else if mplay_player_find() == 2 {
      file_open_write("noticed-" + role + ".txt"); file_close();
      log += "host gone, now " + mplay_player_name(0) + " " + mplay_player_name(1) + ";"; phase = 3;
    }
  } else if phase >= 3 {
    if steps mod 10 == 0 { mplay_message_send_guaranteed(0, 31, me); }
    if phase == 3 {
      if mplay_message_receive(0) {
        log += "got" + string(mplay_message_id()) + "=" + mplay_message_value() + " from " + mplay_message_name() + ", " + mplay_data_read(2) + ";";
        save(); phase = 4;
      }
    } else if file_exists("stop.txt") { phase = 99; game_end(); }
  }
}
)";

class SessionTest : public GameTest {
  protected:
    int port = 0;
    void SetUp() override {
        GameTest::SetUp();
        port = kelvane::free_udp_port();
        ASSERT_NE(port, 0);
        write_game(step_code);
    }
    // The test game with this step code.
    void write_game(const std::string& step) {
        write("kelvane-project.json",
              R"({"scripts": [{"name": "save", "code": )" + json(save_script) +
                  R"(}, {"name": "finish", "code": )" + json(finish_script) +
                  R"(}], "objects": [{"name": "o", "events": [)" +
                  event("create", 0, {code(create_code)}) + ", " + event("step", 0, {code(step)}) +
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
    // Starts one runner; stderr goes to err-ROLE.txt. The process is the runner itself, so
    // that a test can make it vanish.
    pid_t start(const std::string& role, int migration, const std::string& mode, int players) {
        std::string cmd = "cd '" + dir.string() + "' && XDG_DATA_HOME='" + (dir / "data").string() +
                          "' KELVANE_MPLAY_PORT=" + std::to_string(port) +
                          " KELVANE_MPLAY_BROADCAST=127.255.255.255 exec '" + KELVANE_BINARY +
                          "' run --headless --seed 1 . -- " + role + " " + std::to_string(port) +
                          " " + std::to_string(migration) + " " + mode + " " +
                          std::to_string(players) + " 2> err-" + role + ".txt > /dev/null";
        pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", cmd.c_str(), (char*)nullptr);
            _exit(127);
        }
        return pid;
    }
    // Whether the runner has ended (its exit status is kept for finish).
    bool ended(pid_t pid) {
        if (statuses.count(pid)) return true;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid) return false;
        statuses[pid] = status;
        return true;
    }
    // The runner's exit status; one that overstays a generous time (a loaded machine runs
    // several of them slowly) is killed and gives -1.
    int finish(pid_t pid) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!ended(pid) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended(pid)) {
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        int status = statuses[pid];
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Waits until the file exists; false after a generous time.
    bool wait_for(const std::string& name) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(dir / name))
            if (std::chrono::steady_clock::now() > until)
                return false;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return true;
    }
    std::map<pid_t, int> statuses;
    // Datagrams no runner sent, to the session port for as long as `runner` (the host)
    // runs: garbage of every length, a payload without a connection around it, and a
    // connection request without the runners' greeting.
    int pester(pid_t runner) {
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const unsigned char payload[] = {1, 21, 0, 0, 0, 1, 3, 0, 0, 0, 'b', 'a', 'd'};
        auto stranger = kelvane::NetHost::create(0, 1, kelvane::channel_count);
        if (stranger) stranger->connect({kelvane::loopback_ipv4, uint16_t(port)}, 0);
        int sent = 0;
        for (int i = 0; i < 20000 && !ended(runner); ++i, ++sent) {
            unsigned char junk[64];
            for (unsigned char& b : junk) b = (unsigned char)(i * 37 + (&b - junk) * 11);
            sendto(fd, junk, size_t(1 + i % 64), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            sendto(fd, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            kelvane::RNetEvent e;
            if (stranger) stranger->service(e, 0);
            if (stranger && e.kind == kelvane::RNetEvent::connected)
                stranger->send(e.peer, kelvane::guaranteed_channel,
                               kelvane::wrap_payload(0, std::span(payload)), true);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::close(fd);
        return sent;
    }
};

} // namespace

TEST_F(SessionTest, TwoRunnersShareASessionUntilTheHostQuits) {
    pid_t a = start("a", 0, "tcpip", 2);
    // The strangers' traffic starts with the host and lasts as long as it runs, so that it
    // meets the whole session however quickly the two runners start and finish it.
    int sent = 0;
    std::thread stranger([&] { sent = pester(a); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pid_t b = start("b", 0, "tcpip", 2);
    stranger.join();
    EXPECT_GT(sent, 10);
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

TEST_F(SessionTest, ThreeRunnersWithoutMigrationGoOnWhenOneLeavesAndEndWithTheHost) {
    write_game(leave_step);
    pid_t a = start("a", 0, "tcpip", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pid_t b = start("b", 0, "tcpip", 3);
    pid_t c = start("c", 0, "tcpip", 3);
    EXPECT_EQ(finish(a), 0) << read("err-a.txt");
    EXPECT_EQ(finish(b), 0) << read("err-b.txt");
    EXPECT_EQ(finish(c), 0) << read("err-c.txt");
    EXPECT_EQ(read("out-a.txt"), "init120;create1;three;left, now Ann Bob;write1;got2 from Bob;");
    EXPECT_EQ(read("out-b.txt"), "init120;join1;got all here;still, now 2 Bob Ann;ended0;");
    EXPECT_EQ(read("out-c.txt"), "init120;join1;got all here;end0;");
}

// A host that vanishes (killed: it says goodbye to no one) is noticed within a few
// seconds, and the two players left elect a new host and keep the session and its data.
TEST_F(SessionTest, TheOthersNoticeAVanishedHostWithinSecondsAndMoveTheSession) {
    write_game(vanish_step);
    pid_t a = start("a", 1, "tcpip", 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pid_t b = start("b", 1, "tcpip", 3);
    pid_t c = start("c", 1, "tcpip", 3);
    bool ready = wait_for("ready-b.txt") && wait_for("ready-c.txt");
    ::kill(a, SIGKILL);
    auto killed = std::chrono::steady_clock::now();
    EXPECT_TRUE(ready) << read("err-b.txt") << read("err-c.txt");
    EXPECT_EQ(finish(a), -1);
    for (const char* role : {"b", "c"}) {
        ASSERT_TRUE(wait_for(std::string("noticed-") + role + ".txt")) << role;
        auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - killed);
        // Three seconds without an answer, and room for a loaded machine.
        EXPECT_LT(seconds.count(), 8.0) << role;
    }
    bool saved = wait_for("out-b.txt") && wait_for("out-c.txt");
    write("stop.txt", "");
    EXPECT_EQ(finish(b), 0) << read("err-b.txt");
    EXPECT_EQ(finish(c), 0) << read("err-c.txt");
    ASSERT_TRUE(saved);
    EXPECT_EQ(read("out-b.txt"), "init120;join1;got all here from Ann;host gone, now Bob Cyd;"
                                 "got31=Cyd from Cyd, kept;");
    EXPECT_EQ(read("out-c.txt"), "init120;join1;got all here from Ann;host gone, now Cyd Bob;"
                                 "got31=Bob from Bob, kept;");
}
