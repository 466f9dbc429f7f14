// Runs the kelvane program as a user does, in a shell, and collects its exit status and
// both outputs.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvane::testing {

struct ProgramResult {
    int status = -1; // the exit status, -1 when the program died of a signal
    std::string out, err;
};

// The text in single quotes for the shell.
inline std::string shell_quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `program` with `args` in the folder `cwd`; `env` is put before the command as is
// ("TMPDIR=/x", "env -u DISPLAY").
inline ProgramResult run_program_in(const std::filesystem::path& cwd, const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::string& env = "") {
    static int counter = 0;
    const std::string base =
        (std::filesystem::temp_directory_path() /
         ("kelvane-run-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
            .string();
    std::string cmd =
        "cd " + shell_quoted(cwd.string()) + " && " + env + " " + shell_quoted(program);
    for (const auto& a : args) cmd += " " + shell_quoted(a);
    cmd += " >" + base + ".out 2>" + base + ".err </dev/null";
    const int raw = std::system(cmd.c_str());
    auto slurp = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::remove(p.c_str());
        return s;
    };
    ProgramResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(base + ".out");
    r.err = slurp(base + ".err");
    return r;
}

// The kelvane program under test.
inline ProgramResult run_kelvane_in(const std::filesystem::path& cwd,
                                    const std::vector<std::string>& args,
                                    const std::string& env = "") {
    return run_program_in(cwd, KELVANE_BINARY, args, env);
}

} // namespace kelvane::testing
