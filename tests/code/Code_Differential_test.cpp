// The compiled interpreter against the tree walker: generated programs (random statements
// and expressions over instance, global, array and built-in variables, scripts and
// calls, with and without random syntax damage) run through both, and everything a game
// could observe must agree: the result, every report, the error globals, the variables of
// every instance, the global variables and the argument slots.
//
// Damaged programs can loop for ever, so each program runs in a child process with a time
// limit; a program that the tree walker cannot finish either is left out. The child runs
// them on a stack large enough for the tree walker's nested runs, so that runaway
// recursion meets the depth limit in both.
#include <gtest/gtest.h>

#include <initializer_list>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Fake_Room.h"

namespace kelvane {
namespace {

using testing::FakeInstance;
using testing::FakeRoom;

// ---- the generator ----

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    // A program of a few statements; it may call every script.
    std::string main_program() {
        callable_ = 3;
        std::string s = program();
        callable_ = 2;
        return s;
    }

    // A program of a few statements.
    std::string program() {
        loop_depth_ = 0;
        std::string s;
        int n = pick(1, 6);
        for (int i = 0; i < n; ++i) s += statement(0) + (pick(0, 3) == 0 ? "\r\n" : " ");
        if (pick(0, 2) == 0) s += "return " + expression(0);
        return s;
    }

    // A script body that may call only the first `callable` scripts, so no recursion.
    std::string script(int callable) {
        callable_ = callable;
        std::string s = program();
        callable_ = 2;
        return s;
    }

    // Script s2: calls itself argument0 times (or without end: the depth limit stops it),
    // with a statement and expressions of its own at every level. Its test of argument0
    // takes the forms a comparison of an argument slot may compile to.
    std::string recursive_script() {
        callable_ = 2;
        static const char* const tests[] = {"argument0 <= 0",  "argument0 < 1",
                                            "argument0 < 0.5", "0 >= argument0",
                                            "argument0 <= ''", "argument[0] <= 0"};
        std::string s = "if " + std::string(tests[pick(0, 5)]) + " return " + expression(2) + " " +
                        statement(1) + " return s2(argument0 - 1) + " + expression(2);
        return s;
    }

    std::string expression_text() {
        callable_ = 3;
        std::string s = expression(0);
        callable_ = 2;
        return s;
    }

    // Token-level damage: a token dropped, doubled or swapped for another symbol.
    std::string damage(const std::string& text) {
        std::vector<std::string> tokens;
        std::istringstream in(text);
        std::string t;
        while (in >> t) tokens.push_back(t);
        if (tokens.empty()) return text;
        static const char* const symbols[] = {
            ")",  "(",     "]", "[", "{", "}", ",",  ";", "+", "-",   "else", "then",
            "do", "until", "#", "=", "1", "a", "if", ".", "*", "'x'", "exit", "not"};
        int edits = pick(1, 3);
        for (int e = 0; e < edits; ++e) {
            size_t at = size_t(pick(0, int(tokens.size()) - 1));
            switch (pick(0, 2)) {
            case 0:
                tokens.erase(tokens.begin() + long(at));
                break;
            case 1:
                tokens.insert(tokens.begin() + long(at), symbols[pick(0, 23)]);
                break;
            default:
                tokens[at] = symbols[pick(0, 23)];
                break;
            }
            if (tokens.empty()) break;
        }
        std::string out;
        for (const auto& tok : tokens) out += tok + " ";
        return out;
    }

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  private:
    std::mt19937 rng_;
    int loop_depth_ = 0;
    int callable_ = 2; // scripts s0 ... s(callable_ - 1) may be called

    // d and global.k do not exist when a program starts: they are made by the statements
    // that set them, maybe after reads that failed (and kept no variable slot).
    std::string variable() {
        static const char* const names[] = {"a",           "b",          "c",
                                            "s",           "self.a",     "global.g",
                                            "global.h",    "other.a",    "other.b",
                                            "x",           "y",          "argument0",
                                            "argument1",   "all.a",      "noone.a",
                                            "0.a",         "1.b",        "100002.a",
                                            "100009.a",    "global.s",   "self.x",
                                            "other.x",     "alarm[1]",   "argument[1]",
                                            "d",           "global.k",   "other.d",
                                            "self.d",      "depth",      "self.y",
                                            "image_index", "visible",    "bbox_left",
                                            "x[2]",        "self.depth", "room_width",
                                            "id",          "argument",   "working_directory",
                                            "argument2"};
        int n = pick(0, 39);
        if (n < 3 && pick(0, 3) == 0) return std::string(names[n]) + "[" + index() + "]";
        if (n < 3 && pick(0, 5) == 0)
            return std::string(names[n]) + "[" + index() + ", " + index() + "]";
        return names[n];
    }

    std::string index() {
        // With the edges of the index checks: -0.5 rounds to 0 and 31999.5 to 32000 (halves
        // to even); 1000 * 1000 is the largest product allowed.
        static const char* const indices[] = {"0",    "1",    "2",    "-0.4", "-1",      "32000",
                                              "'i'",  "1.5",  "-0.5", "2.5",  "31999.4", "31999.5",
                                              "1000", "1001", "-0.6", "0.5"};
        if (pick(0, 3) == 0) return expression(3);
        return indices[pick(0, 15)];
    }

    std::string literal() {
        static const char* const values[] = {"0",   "1",     "2",     "3",     "0.5",  "2.5",
                                             "-1",  "7",     "1.5",   "'ab'",  "'cd'", "\"\"",
                                             "0.6", "-0.4",  "true",  "false", "self", "other",
                                             "all", "noone", "global"};
        return values[pick(0, 20)];
    }

    std::string call(int depth) {
        switch (pick(0, 11)) {
        case 0:
            return "string(" + expression(depth + 1) + ")";
        case 1:
            return "real(" + expression(depth + 1) + ")";
        case 2:
            return "abs(" + expression(depth + 1) + ")";
        case 3:
            return "max(" + expression(depth + 1) + ", " + expression(depth + 1) + ")";
        case 4:
            return "string_length(" + expression(depth + 1) + ")";
        case 5:
            return "abs(1, 2)"; // the wrong number of arguments
        case 6: {
            // The last one calls built-ins from a run nested in a built-in's call.
            static const char* const strings[] = {"'global.g = 4'", "'return 5'", "'global.h = )'",
                                                  "'a = a + 1'",
                                                  "'return max(string_length(\"abc\"), 2)'"};
            return std::string("execute_string(") + strings[pick(0, 4)] + ")";
        }
        default: {
            // Scripts s0 (calls nothing), s1 (may call s0) and s2 (calls itself, and may
            // call s0 and s1); the program calls all three.
            if (callable_ == 0) return "abs(" + expression(depth + 1) + ")";
            int k = pick(0, callable_ - 1);
            if (k == 2) {
                static const char* const depths[] = {"0", "1", "3", "'ab'", "-1", "5000"};
                return "s2(" + std::string(depths[pick(0, 5)]) + ")";
            }
            std::string s = "s" + std::to_string(k) + "(";
            int n = pick(0, 4);
            for (int i = 0; i < n; ++i) s += (i ? ", " : "") + expression(depth + 1);
            return s + ")";
        }
        }
    }

    std::string expression(int depth) {
        int choice = depth > 3 ? pick(0, 1) : pick(0, 9);
        switch (choice) {
        case 0:
            return literal();
        case 1:
            return variable();
        case 2:
        case 3: {
            static const char* const ops[] = {"+",   "-",  "*",  "/",  "div", "mod", "<",
                                              "<=",  "=",  "==", "!=", "<>",  ">=",  ">",
                                              "and", "or", "&&", "||", ":="};
            return expression(depth + 1) + " " + ops[pick(0, 18)] + " " + expression(depth + 1);
        }
        case 4: {
            static const char* const prefixes[] = {"-", "+", "not ", "!"};
            return prefixes[pick(0, 3)] + expression(depth + 1);
        }
        case 5:
            return "(" + expression(depth + 1) + ")";
        case 6:
            return call(depth);
        case 7:
            return "(" + expression(depth + 1) + ")." + variable();
        default:
            return variable() + " + " + literal();
        }
    }

    std::string statement(int depth) {
        int choice = depth > 2 ? pick(0, 2) : pick(0, 15);
        switch (choice) {
        case 0:
        case 1: {
            if (pick(0, 3) == 0) {
                // A cell set to a variable read in place, or to a constant: the index, the
                // read and the write are one instruction; the index comes first.
                static const char* const arrays[] = {"a", "d", "global.g", "global.k"};
                static const char* const values[] = {"b",         "d",        "global.k", "x",
                                                     "argument0", "global.h", "'v'",      "2"};
                return std::string(arrays[pick(0, 3)]) + "[" + index() +
                       "] = " + values[pick(0, 7)];
            }
            if (pick(0, 4) == 0) {
                // A built-in set to itself combined with a value: the operator and the
                // write are one instruction while both are reals.
                static const char* const fields[] = {
                    "x", "y", "self.y", "depth", "image_index", "visible", "self.x", "bbox_left"};
                static const char* const combine[] = {" + ", " - ", " * ", " mod "};
                std::string v = fields[pick(0, 7)];
                return v + " = " + v + combine[pick(0, 3)] +
                       (pick(0, 1) ? literal() : expression(0));
            }
            static const char* const ops[] = {"=", ":=", "+=", "-=", "*=", "/="};
            return variable() + " " + ops[pick(0, 5)] + " " + expression(0);
        }
        case 2:
            return call(0);
        case 3:
            return "if " + expression(0) + (pick(0, 1) ? " then " : " ") + statement(depth + 1) +
                   (pick(0, 1) ? "; else " + statement(depth + 1) : "");
        case 4:
            return "{ " + statement(depth + 1) + " " + statement(depth + 1) + " }";
        case 5:
            return "repeat " + std::to_string(pick(-1, 3)) + " " + statement(depth + 1);
        case 6: {
            // Each loop level counts with its own variable, which no other statement sets.
            std::string w = "w" + std::to_string(loop_depth_++);
            std::string s = "for (" + w + " = 0; " + w + " < " + std::to_string(pick(0, 3)) + "; " +
                            w + " += 1) " + statement(depth + 1);
            --loop_depth_;
            return s;
        }
        case 7: {
            std::string w = "w" + std::to_string(loop_depth_++);
            std::string s = w + " = 0 while (" + w + " < " + std::to_string(pick(0, 3)) +
                            ") do { " + statement(depth + 1) + " " + w + " += 1 }";
            --loop_depth_;
            return s;
        }
        case 8: {
            static const char* const targets[] = {"self",   "other",  "all", "noone",
                                                  "global", "0",      "1",   "2",
                                                  "100002", "100009", "-7",  "0.4"};
            return "with (" + std::string(targets[pick(0, 11)]) + ") " + statement(depth + 1);
        }
        case 9:
            return pick(0, 3) == 0 ? "exit" : "return " + expression(0);
        case 10:
            return ";";
        case 11:
            return "{ " + statement(depth + 1) + "; " + statement(depth + 1) + "; " +
                   statement(depth + 1) + " }";
        case 14: {
            // A counting loop over a variable that the body and other statements may change,
            // turn into a string, or reach through another self (`with`); the
            // fused step of the machine must then act as the three instructions it stands
            // for. A guard of its own ends the run after a few rounds.
            static const char* const counters[] = {"a", "b", "global.g",   "self.a",     "x",
                                                   "c", "y", "self.depth", "image_index"};
            static const char* const starts[] = {"0", "1", "-2", "'t'", "a"};
            static const char* const steps[] = {"1", "2", "0.5", "'s'", "a", "b"};
            static const char* const tests[] = {"<", "<=", ">", "!="};
            static const char* const limits[] = {"3", "2.5", "'u'", "0"};
            static const char* const targets[] = {"other", "all", "self", "0"};
            std::string v = counters[pick(0, 8)];
            std::string guard = "g" + std::to_string(loop_depth_++);
            std::string body;
            switch (pick(0, 2)) {
            case 0:
                body = "with (" + std::string(targets[pick(0, 3)]) + ") " + v +
                       " += " + steps[pick(0, 5)];
                break;
            case 1:
                body = v + " = " + literal();
                break;
            default:
                body = statement(depth + 1);
                break;
            }
            std::string s = guard + " = 0 for (" + v + " = " + starts[pick(0, 4)] + "; " + v + " " +
                            tests[pick(0, 3)] + " " + limits[pick(0, 3)] + "; " + v +
                            " += " + steps[pick(0, 5)] + ") { " + body + " " + guard + " += 1 if " +
                            guard + " > 4 exit }";
            --loop_depth_;
            return s;
        }
        case 15: {
            // Counting loops over the cells of an array: cells made one after another (the
            // row grows as they come), then changed and read back, with the loop's step
            // and test fused where they can be.
            static const char* const arrays[] = {"a", "d", "global.g", "global.k"};
            static const char* const starts[] = {"0", "1", "-1", "0.5", "'t'"};
            static const char* const limits[] = {"3", "10", "19", "2.5", "'u'", "b"};
            static const char* const steps[] = {"1", "1", "2", "0.5"};
            static const char* const ops[] = {" = ", " = ", " += ", " *= "};
            static const char* const sums[] = {"c", "global.h", "s", "x"};
            std::string w = "w" + std::to_string(loop_depth_++);
            std::string array = arrays[pick(0, 3)];
            std::string cell =
                pick(0, 2) ? array + "[" + w + "]" : array + "[" + index() + ", " + w + "]";
            std::string head = "for (" + w + " = " + starts[pick(0, 4)] + "; " + w + " < " +
                               limits[pick(0, 5)] + "; " + w + " += " + steps[pick(0, 3)] + ") ";
            std::string value = pick(0, 3) ? w + " * 2" : expression(1);
            std::string s = head + cell + ops[pick(0, 3)] + value;
            if (pick(0, 1)) s += " " + head + sums[pick(0, 3)] + " += " + cell;
            --loop_depth_;
            return s;
        }
        default:
            return variable() + " = " + expression(0);
        }
    }
};

// ---- running ----

std::string describe(const RValue& v) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "(%d %.17g '%s' %d %d %d)", v.kind, v.real, v.str.str().c_str(),
                  v.scope, v.var_id, v.index);
    return buf;
}

std::string describe(const CVariableList& list) {
    std::string out;
    for (int32_t i = 0; i < list.count(); ++i) {
        const CVariable& v = list.item(i);
        out += " #" + std::to_string(v.id) + "=" + describe(v.value);
        // The rows' lengths, and the cells that are not the zero-filled value (which a
        // cell never written is): rows may be long.
        static const std::string zero = describe(RValue());
        out += " rows " + std::to_string(v.rows.size());
        for (size_t r = 0; r < v.rows.size(); ++r) {
            if (v.rows[r].empty()) continue;
            out += " [" + std::to_string(r) + "] of " + std::to_string(v.rows[r].size());
            for (size_t c = 0; c < v.rows[r].size(); ++c)
                if (std::string d = describe(v.rows[r][c].value()); d != zero)
                    out += " [" + std::to_string(r) + "," + std::to_string(c) + "]" + d;
        }
    }
    return out;
}

struct Program {
    std::string main;
    std::string scripts[3];
    bool expression = false;
    bool uninit_zero = false;
};

// Runs the program with one engine and describes everything observable afterwards.
std::string observe(const Program& p, bool compiled) {
    testing::ScriptRuntime s;
    s.rt.script.compiled = compiled;
    s.rt.game.options.uninit_zero = p.uninit_zero;
    for (int i = 0; i < 3; ++i) s.add_script("s" + std::to_string(i), p.scripts[i]);
    FakeInstance& self = s.room.add(0);
    FakeInstance& other = s.room.add(1);
    s.room.add(0);
    // Most variables exist, so that most programs run well past their first reads.
    auto set = [&](CVariableList& list, const char* name, RValue v) {
        list.set(s.rt.script.names.intern(name), 0, v);
    };
    set(self.vars, "a", RValue(2));
    set(self.vars, "b", RValue(3));
    set(self.vars, "c", RValue(0.5));
    set(self.vars, "s", RValue("ab"));
    set(other.vars, "a", RValue(4));
    set(other.vars, "b", RValue("xy"));
    set(s.room.list[2]->vars, "a", RValue(1));
    set(s.rt.script.globals, "g", RValue(1.5));
    set(s.rt.script.globals, "h", RValue(2));
    set(s.rt.script.globals, "s", RValue("g"));
    compile_all_scripts(s.rt);
    CCode code(p.main, s.rt);
    CInstance* hs = testing::handle(self);
    CInstance* ho = testing::handle(other);
    RValue r =
        p.expression ? evaluate_expression(s.rt, hs, ho, code) : run_program(s.rt, hs, ho, code);
    // A second run of the same code: the compiled form is kept and reused.
    RValue again =
        p.expression ? evaluate_expression(s.rt, hs, ho, code) : run_program(s.rt, hs, ho, code);
    std::string out = "result " + describe(r) + " " + describe(again) + "\n";
    for (const auto& m : s.reports) out += "report " + m + "\n";
    const ErrorGlobals& e = s.rt.script.error;
    out += "error " + std::to_string(e.flag) + " " + e.message + " " + std::to_string(e.line) +
           ":" + std::to_string(e.column) + " " + e.line_text + "\n";
    for (const auto& i : s.room.list) {
        out += "instance " + std::to_string(i->id) + describe(i->vars);
        for (const auto& [id, v] : i->builtins) out += " b" + std::to_string(id) + describe(v);
        out += " x" + describe(i->x) + " y " + describe(RValue(i->y)) + " " +
               std::to_string(i->y_writes) + " depth " + describe(RValue(i->depth)) +
               " image_index " + describe(i->image_index) + " visible " +
               std::to_string(i->visible) + " bbox_left " + std::to_string(i->bbox_left);
        out += "\n";
    }
    out += "globals" + describe(s.rt.script.globals) + "\n";
    for (const RValue& a : s.rt.script.arguments) out += describe(a);
    out += "\nruns " + std::to_string(s.rt.script.run_depth) + "\n";
    return out;
}

// Runs `body` in a child process with a time limit: 0 finished and passed, 1 finished
// and failed (the child's message in `message`), 2 out of time.
int in_child(const std::function<std::string()>& body, std::string& message, unsigned seconds = 2) {
    int fds[2];
    if (pipe(fds) != 0) return 1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(seconds);
        std::string m;
        // The tree walker's nested runs need more stack than the depth limit allows for.
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, size_t(512) << 20);
        struct Job {
            const std::function<std::string()>* body;
            std::string* out;
        } job{&body, &m};
        pthread_t thread;
        auto run = [](void* p) -> void* {
            auto* j = static_cast<Job*>(p);
            *j->out = (*j->body)();
            return nullptr;
        };
        if (pthread_create(&thread, &attr, run, &job) != 0) _exit(4);
        pthread_join(thread, nullptr);
        if (write(fds[1], m.data(), m.size()) < 0) _exit(3);
        _exit(m.empty() || m == "=" ? 0 : 1);
    }
    close(fds[1]);
    message.clear();
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) message.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) return 2;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
    if (message.empty()) message = "the child ended with status " + std::to_string(status);
    return 1;
}

void run_corpus(uint32_t seed, int count, bool damaged) {
    Generator g(seed);
    int compared = 0, hung = 0, clean = 0;
    for (int n = 0; n < count; ++n) {
        Program p;
        p.expression = g.pick(0, 9) == 0;
        p.uninit_zero = g.pick(0, 4) == 0;
        p.main = p.expression ? g.expression_text() : g.main_program();
        p.scripts[0] = g.script(0);
        if (g.pick(0, 9) == 0) {
            // A script that is a value (or nothing): it is run by a run of its own.
            static const char* const values[] = {"5", "'k'", "", "-2"};
            p.scripts[0] = values[g.pick(0, 3)];
        }
        p.scripts[1] = g.script(1);
        p.scripts[2] = g.recursive_script();
        if (damaged) {
            p.main = g.damage(p.main);
            int k = g.pick(0, 3);
            if (k < 3) p.scripts[k] = g.damage(p.scripts[k]);
        }
        std::string message;
        auto both = [&] {
            std::string tree = observe(p, false);
            std::string compiled = observe(p, true);
            if (tree == compiled)
                return std::string(tree.find("\nerror 0") != std::string::npos ? "=" : "");
            return "tree walker:\n" + tree + "compiled:\n" + compiled;
        };
        int outcome = in_child(both, message);
        if (outcome == 2) {
            // Out of time: fine only when the tree walker alone does not finish either.
            // When it does, the compiled run alone must too (the two together may take
            // longer than one limit, as in a sanitizer build); they are then compared with
            // time enough for both.
            auto alone = [&](bool compiled) {
                return in_child(
                    [&] {
                        observe(p, compiled);
                        return std::string();
                    },
                    message);
            };
            if (alone(false) == 2) {
                ++hung;
                continue;
            }
            ASSERT_EQ(alone(true), 0) << "only the compiled run loops:\n" << p.main;
            outcome = in_child(both, message, 20);
        }
        if (outcome == 0 && message == "=") ++clean;
        ASSERT_EQ(outcome, 0) << "program: " << p.main << "\nscript s0: " << p.scripts[0]
                              << "\nscript s1: " << p.scripts[1] << "\nscript s2: " << p.scripts[2]
                              << "\n"
                              << (p.expression ? "(as an expression)\n" : "") << message;
        ++compared;
    }
    std::printf("%d programs compared (%d ran without error), %d ran out of time\n", compared,
                clean, hung);
    // Nearly all programs must finish; a corpus of endless loops would prove nothing.
    EXPECT_GT(compared, count * 9 / 10) << hung << " programs ran out of time";
    // Programs that stop at their first statement would test little beyond it.
    if (!damaged) {
        EXPECT_GT(clean, count / 5);
    }
}

// Each program (its scripts returning 0) observed the same by both interpreters.
void expect_agreement(std::initializer_list<const char*> programs) {
    for (const char* text : programs) {
        Program p;
        p.main = text;
        p.scripts[0] = p.scripts[1] = p.scripts[2] = "return 0";
        EXPECT_EQ(observe(p, true), observe(p, false)) << text;
    }
}

// Built-ins read in place, one after another at the same operand: each read gives the
// value alone, whatever the one before it held (a string, a reference's fields).
TEST(Differential, BuiltInsReadInPlaceAgree) {
    expect_agreement({"c = working_directory + 'x'; a = y + 1; b = bbox_left - 1; d = visible * 2",
                      "c = argument + 1; a = depth + 1; b = x + 1; return room_width + a",
                      "with (other) c = working_directory + ''; a = y + 1; return y < depth"});
}

// A real that came from comparing strings keeps the left string, and an operator's result
// keeps the string of its left operand, whatever place the operands have.
TEST(Differential, ResultsKeepTheStringOfTheirLeftOperand) {
    expect_agreement(
        {"s = 'ab'; z = (s < 'x'); a = z + 1; b = z * 2 - 1; global.g = z; c = global.g mod 3",
         "s = 'q'; t = s + 'r'; b = (s < t) + (t < s); c = b - 1; d = (c div 1) / 2",
         "s = 'ab'; z = (s != 'x'); a = (s + 'c') + ''; b = z - (z + 1); return b + z"});
}

// div and mod truncate their quotient toward 0: negative, fractional and large operands in
// every place an operand can have.
TEST(Differential, DivisionsTruncateTowardZero) {
    expect_agreement(
        {"a = -7.5; b = 2; c = a mod b; d = a div b; e = (a + 0) mod (b + 0); f = a div -2",
         "a = 7.5; c = a mod -2; d = a div -2; e = -0.5 div 1; f = -100000000000000000 mod 3; g = "
         "100000000000000000 div -7",
         "argument0 = -9.25; c = argument0 mod 4; d = argument0 div 4; e = -0 mod 5",
         "x = -7.5; a = x mod 2; b = x div 2; c = x mod -0.5; d = x div 0.75; x = x mod 2",
         "global.h = -13; a = global.h mod 5; b = global.h div 5; c = 13 mod global.h"});
}

// Built-in functions of one to four arguments, after calls of more and of fewer, with
// strings and reals, nested and from scripts: each sees every argument it was given and
// nothing of a call before.
TEST(Differential, BuiltInsGetEveryArgument) {
    expect_agreement(
        {"a = point_distance(0, 0, 3, 4); b = max(a, 7); c = string_copy('abcdef', 2, 3); "
         "return string_insert('x', c, 2) + string(b) + string(abs(-1))",
         "a = max(string_length('ab'), point_distance(1, 1, 4, 5)); b = abs(-2) + max(1, a); "
         "return min(a, b) + max3(1, b, 2)",
         "s = string_replace('abcabc', 'b', 'x'); return string_pos('c', s) + "
         "point_direction(0, 0, 0, max(1, 2)) + s0(min(4, 3), 'q')"});
}

TEST(Differential, GeneratedProgramsAgree) {
    run_corpus(20261210, 1500, false);
}

TEST(Differential, DamagedProgramsAgree) {
    run_corpus(19, 1500, true);
}

} // namespace
} // namespace kelvane
