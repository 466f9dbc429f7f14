// Program starting with posix_spawn.
#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kelvane {

std::vector<std::string> split_command_line(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        for (; i < line.size(); ++i) {
            char c = line[i];
            if (c == '\\') {
                size_t n = 0;
                while (i + n < line.size() && line[i + n] == '\\') ++n;
                if (i + n < line.size() && line[i + n] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2) {
                        arg += '"';
                        i += n;
                    } else {
                        i += n - 1;
                    }
                } else {
                    arg.append(n, '\\');
                    i += n - 1;
                }
            } else if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                arg += c;
            }
        }
        out.push_back(arg);
    }
    return out;
}

std::optional<pid_t> start_program(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return std::nullopt;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    // posix_spawnp reports a missing program through the child's exit on some systems;
    // check first so that "cannot start" is reported to the game.
    if (argv[0].find('/') != std::string::npos && ::access(argv[0].c_str(), X_OK) != 0)
        return std::nullopt;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return std::nullopt;
    return pid;
}

void wait_program(pid_t pid, const std::function<void()>& every_50ms) {
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) return;
        if (every_50ms) every_50ms();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool open_with_desktop(const std::string& target, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"xdg-open", target};
    argv.insert(argv.end(), args.begin(), args.end());
    auto pid = start_program(argv);
    if (!pid) return false;
    // Reap it in the background so no zombie stays behind.
    std::thread([p = *pid] { ::waitpid(p, nullptr, 0); }).detach();
    return true;
}

bool process_alive(long pid) {
    if (pid <= 0) return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::string process_identity(long pid) {
    if (!process_alive(pid)) return {};
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The start time is the 20th field after the command name, which ends with ')'.
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return std::to_string(pid);
    std::istringstream fields(stat.substr(at + 1));
    std::string field;
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    return std::to_string(pid) + " " + field;
}

} // namespace kelvane
