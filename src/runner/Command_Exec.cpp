// kelvane exec: runs script-language code as a program outside any game (a fresh global
// list, no instances unless --self asks for one), prints the returned value to stdout and
// every error message to stderr.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>

#include "code/Code_Class.h"
#include "code/Code_Machine.h"
#include "code/Script_Class.h"
#include "code/Script_Main.h"
#include "code/Variable_BuiltIn.h"
#include "code/Variable_Main.h"
#include "functions/Function_Math.h"
#include "platform/Text_Encoding.h"
#include "platform/Whole_File.h"
#include "run/Runtime.h"
#include "runner/Commands.h"

namespace kelvane {

namespace {

const char* const exec_usage =
    "usage: kelvane exec [OPTIONS] [-e CODE | FILE]\n"
    "\n"
    "Runs script-language code as a program outside any game and prints the value it\n"
    "returns (a string as it is, a real as string() writes it). Error messages go to\n"
    "stderr; the exit status is then 1.\n"
    "\n"
    "  -e CODE        run CODE\n"
    "  FILE           run the text of FILE (- for standard input)\n"
    "  --uninit-zero  reading a variable that was never set gives 0 instead of an error\n"
    "  --self         run with one bare instance as self and other: plain names are then\n"
    "                 its variables (without it, only global.name variables can be set)\n"
    "  --seed N       seed the generator of random() (default: the clock)\n"
    "  --disassemble  print the compiled form of the program and of each script\n"
    "                 instead of running it\n"
    "  --tree         run with the tree-walking interpreter instead of the compiled\n"
    "                 one (the reference the compiler is tested against)\n"
    "  --compiled     run with the compiled interpreter\n"
    "  --help         this text\n"
    "\n"
    "Scripts: in the code, a line \"@script NAME\" starts a script called NAME that runs\n"
    "to the next such line or to a line \"@main\", after which the program goes on.\n"
    "Scripts are called by name with up to ten arguments (argument0 ... argument9).\n"
    "\n"
    "External libraries (external_define0 ...) are looked for in the current directory,\n"
    "as beside a game, and then on the system library path.\n";

// The one instance of --self: its user variables and plain storage for its built-ins.
// Motion, sprites and the other instance behaviour arrive with the run engine.
struct BareInstance {
    CVariableList locals;
    std::array<RValue, iv_end - first_instance_builtin> builtins;
    std::array<RValue, 8> alarms;
};

class BareInstances : public InstanceAccess {
  public:
    // Every built-in but the alarms is a value of its own, written with the entry's
    // conversion and nothing else.
    BareInstances() {
        const char* base = reinterpret_cast<const char*>(&inst_);
        for (int32_t id = first_instance_builtin; id < iv_end; ++id) {
            const RBuiltIn* e = builtin_entry(id);
            if (e->array != 0) continue;
            BuiltInField& f = fields_[size_t(id - first_instance_builtin)];
            f.storage = BuiltInField::value;
            f.plain_store = true;
            f.form = e->form;
            f.offset = uint32_t(reinterpret_cast<const char*>(
                                    &inst_.builtins[size_t(id - first_instance_builtin)]) -
                                base);
        }
        builtin_fields = fields_.data();
    }
    BareInstances(const BareInstances&) = delete;
    BareInstances& operator=(const BareInstances&) = delete;

    CInstance* handle() { return reinterpret_cast<CInstance*>(&inst_); }

    CVariableList& locals(CInstance&) override { return inst_.locals; }
    bool destroyed(CInstance&) override { return false; }
    int32_t count() override { return 1; }
    CInstance* at(int32_t position) override { return position == 0 ? handle() : nullptr; }
    int32_t object_count(int32_t) override { return 0; }
    CInstance* object_at(int32_t, int32_t) override { return nullptr; }
    CInstance* find(int32_t) override { return nullptr; }
    bool get_builtin(CInstance&, int32_t var_id, int32_t index, RValue& out) override {
        out = var_id == iv_alarm ? inst_.alarms[size_t(index)]
                                 : inst_.builtins[size_t(var_id - first_instance_builtin)];
        return true;
    }
    bool set_builtin(CInstance&, int32_t var_id, int32_t index, const RValue& v) override {
        const RBuiltIn* e = builtin_entry(var_id);
        RValue stored = convert_builtin(e->form, v);
        if (var_id == iv_alarm)
            inst_.alarms[size_t(index)] = stored;
        else
            inst_.builtins[size_t(var_id - first_instance_builtin)] = stored;
        return true;
    }

  private:
    BareInstance inst_;
    std::array<BuiltInField, iv_end - first_instance_builtin> fields_;
};

bool read_all(const std::string& path, std::string& out, std::string& why) {
    if (path == "-") {
        out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    auto bytes = read_whole_file(path, &why);
    if (!bytes) return false;
    out.assign(bytes->begin(), bytes->end());
    return true;
}

// Splits the text into the program and the scripts marked by "@script NAME" lines.
std::string split_scripts(const std::string& text, Game& game) {
    std::string main, *target = &main;
    std::vector<std::pair<std::string, std::string>> scripts;
    size_t p = 0;
    while (p < text.size()) {
        size_t nl = text.find('\n', p);
        size_t e = nl == std::string::npos ? text.size() : nl + 1;
        std::string_view line(text.data() + p, e - p);
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.remove_suffix(1);
        if (bare.substr(0, 8) == "@script ") {
            std::string_view name = bare.substr(8);
            while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
            while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
            scripts.emplace_back(std::string(name), std::string());
            target = &scripts.back().second;
        } else if (bare == "@main") {
            target = &main;
        } else {
            target->append(line);
        }
        p = e;
    }
    for (auto& [name, code] : scripts) {
        // The line end before the next marker line closes the marker, not the script: a
        // script's text ends with its last line, as a script written in a game does.
        if (code.size() >= 2 && code.compare(code.size() - 2, 2, "\r\n") == 0)
            code.resize(code.size() - 2);
        auto s = std::make_unique<CScript>();
        s->code = std::move(code);
        game.scripts.add(name, std::move(s));
    }
    return main;
}

// Messages are composed with CR LF line breaks; the terminal gets plain ones.
std::string plain_lines(const std::string& m) {
    std::string out;
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i] == '\r' && i + 1 < m.size() && m[i + 1] == '\n') continue;
        out += m[i];
    }
    return out;
}

} // namespace

int command_exec(const Args& args) {
    std::string code, file;
    bool have_code = false, with_self = false, uninit_zero = false, disassemble = false;
    int engine = -1; // -1 default, 0 tree walker, 1 compiled
    uint32_t seed = uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    CommandLine cl("exec", args);
    while (cl.next()) {
        int64_t n = 0;
        if (cl.flag("--help") || cl.flag("-h")) {
            std::fputs(exec_usage, stdout);
            return 0;
        } else if (cl.option("-e", code)) {
            if (have_code || !file.empty()) cl.fail("give either -e CODE or FILE, once");
            have_code = true;
        } else if (cl.flag("--uninit-zero")) {
            uninit_zero = true;
        } else if (cl.flag("--disassemble")) {
            disassemble = true;
        } else if (cl.flag("--tree")) {
            engine = 0;
        } else if (cl.flag("--compiled")) {
            engine = 1;
        } else if (cl.flag("--self")) {
            with_self = true;
        } else if (cl.number("--seed", n, INT64_MIN, INT64_MAX)) {
            seed = uint32_t(n);
        } else if (cl.plain() && file.empty() && !have_code) {
            file = cl.arg();
        } else {
            cl.unknown();
        }
    }
    if (have_code == !file.empty()) cl.fail("needs -e CODE or a FILE");
    std::string why;
    if (!have_code && !read_all(file, code, why)) {
        std::fprintf(stderr, "kelvane exec: %s: cannot be read: %s\n", file.c_str(), why.c_str());
        return 1;
    }

    Runtime rt;
    // The current directory stands for the game's folder where the game's libraries lie.
    std::error_code ec;
    rt.externals.game_folder = std::filesystem::current_path(ec).string();
    if (engine >= 0) rt.script.compiled = engine == 1;
    rt.game.options.uninit_zero = uninit_zero;
    reset_script_state(rt);
    start_game_values(rt);
    seed_random(rt, seed);
    bool failed = false;
    rt.script.reporter.game_running = true;
    rt.script.reporter.handler = [&](const std::string& message, bool) {
        failed = true;
        rt.script.values.error_occurred = true;
        rt.script.values.error_last = message;
        std::string text = plain_lines(message);
        std::fprintf(stderr, "%s\n", text.c_str());
    };
    BareInstances bare;
    CInstance* self = nullptr;
    if (with_self) {
        rt.script.instances = &bare;
        self = bare.handle();
    }

    // Code typed or written on Linux ends its lines with a lone LF; the language counts
    // lines by CR, so error positions need CR LF.
    std::string program = split_scripts(crlf_line_ends(code), rt.game);
    compile_all_scripts(rt);
    CCode compiled(program, rt);
    if (disassemble) {
        std::string out;
        for (int32_t i = 0; i < rt.game.scripts.count(); ++i) {
            CScript* s = rt.game.scripts.get(i);
            if (!s || !s->compiled) continue;
            out += "script " + rt.game.scripts.name(i) + ":\n" + machine_listing(*s->compiled);
        }
        out += "program:\n" + machine_listing(compiled);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    RValue result = run_program(rt, self, self, compiled);
    // After an error the result means nothing: the status and stderr say what happened.
    if (failed) return 1;
    std::string out = result.kind == kind_string ? result.str.str() : format_real(result.real);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputc('\n', stdout);
    return failed ? 1 : 0;
}

} // namespace kelvane
