// The file family's engine: text file reading and writing with the game's number formats,
// file management and searches, registry values and programs, each refused in secure mode
// where it could reach outside the game's folder.
#include "functions/Function_File.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/Process.h"
#include "run/Runtime.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {
constexpr int end_of_text = 0x1A; // Ctrl-Z ends a text file when reading, as it always has
} // namespace

GameFiles::GameFiles(const FileNames& file_names, RegistryStore& registry,
                     std::function<void(const std::string&)> report)
    : names_(file_names), registry_(registry), report_(std::move(report)) {}

GameFiles::~GameFiles() {
    close();
}

std::string GameFiles::host(const std::string& name) const {
    auto h = names_.to_host(name);
    return h ? *h : std::string();
}

std::string GameFiles::host_for_writing(const std::string& name) const {
    auto h = names_.to_host_for_writing(name);
    return h ? *h : std::string();
}

bool GameFiles::refused(const std::string& message,
                        std::initializer_list<const std::string*> names) {
    if (!secure_mode) return false;
    for (const std::string* n : names)
        if (FileNames::has_path(*n) || !names_.write_stays_inside(*n)) {
            report_(message);
            return true;
        }
    return false;
}

void GameFiles::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    mode_ = Mode::closed;
}

void GameFiles::open_read(const std::string& name) {
    close();
    std::string h = host(name);
    std::error_code ec;
    if (h.empty() || !fs::is_regular_file(h, ec)) return;
    file_ = std::fopen(h.c_str(), "rb");
    if (!file_) {
        report_("Cannot read file " + name + ".");
        return;
    }
    mode_ = Mode::reading;
    open_name_ = name;
}

void GameFiles::open_for_writing(const std::string& name, const char* mode, const char* secure_text,
                                 const char* failure_text) {
    close();
    if (refused(secure_text + name, {&name})) return;
    std::string h = host_for_writing(name);
    file_ = h.empty() ? nullptr : std::fopen(h.c_str(), mode);
    if (!file_) {
        // The file stays closed; later writes then report that nothing is open.
        report_(failure_text + name + ".");
        return;
    }
    mode_ = Mode::writing;
    open_name_ = name;
}

void GameFiles::open_write(const std::string& name) {
    open_for_writing(name, "wb", "In secure mode you cannot write file ", "Cannot write file ");
}

void GameFiles::open_append(const std::string& name) {
    open_for_writing(name, "ab", "In secure mode you cannot append to file ",
                     "Cannot append to file ");
}

bool GameFiles::reading(const char* not_reading_text) {
    if (mode_ == Mode::reading) return true;
    report_(not_reading_text);
    return false;
}

bool GameFiles::writing() {
    if (mode_ == Mode::writing) return true;
    report_("File not opened for writing.");
    return false;
}

int GameFiles::peek() {
    int c = std::fgetc(file_);
    if (c != EOF) std::ungetc(c, file_);
    return c == end_of_text ? EOF : c;
}

std::string GameFiles::read_string() {
    if (!reading("File not opened for reading.")) return {};
    std::string s;
    for (int c = peek(); c != EOF && c != '\r' && c != '\n'; c = peek())
        s += char(std::fgetc(file_));
    if (std::ferror(file_)) {
        report_("Error reading string.");
        std::clearerr(file_);
        return {};
    }
    return s;
}

double GameFiles::read_real() {
    if (!reading("File not opened for reading.")) return 0;
    int c = peek();
    while (c != EOF && c <= ' ') {
        std::fgetc(file_);
        c = peek();
    }
    std::string token;
    for (; c != EOF && c > ' '; c = peek()) token += char(std::fgetc(file_));
    if (std::ferror(file_)) {
        report_("Error reading read.");
        std::clearerr(file_);
        return 0;
    }
    if (token.empty()) return 0; // the end of the file reads as 0
    // [+|-] digits [. digits] [E [+|-] digits], with digits on at least one side of the point.
    size_t i = 0;
    auto digits = [&] {
        size_t start = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i - start;
    };
    if (token[i] == '+' || token[i] == '-') ++i;
    size_t whole = digits(), frac = 0;
    if (i < token.size() && token[i] == '.') {
        ++i;
        frac = digits();
    }
    bool ok = whole + frac > 0;
    if (ok && i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
        ok = digits() > 0;
    }
    if (!ok || i != token.size()) {
        report_("Error reading read.");
        return 0;
    }
    return std::strtod(token.c_str(), nullptr);
}

void GameFiles::readln() {
    if (!reading("File not opened for reading.")) return;
    int c;
    while ((c = peek()) != EOF && c != '\r' && c != '\n') std::fgetc(file_);
    if (c == '\r') {
        std::fgetc(file_);
        c = peek();
    }
    if (c == '\n') std::fgetc(file_);
    if (std::ferror(file_)) {
        report_("Error reading line.");
        std::clearerr(file_);
    }
}

bool GameFiles::eof() {
    if (!reading("File is not opened for reading.")) return false;
    return peek() == EOF;
}

void GameFiles::write_bytes(const std::string& s) {
    if (!writing()) return;
    if (std::fwrite(s.data(), 1, s.size(), file_) != s.size() || std::fflush(file_) != 0) {
        // A full disk or a vanished folder: say so and close, so the game is not misled.
        report_("Error writing file " + open_name_ + ".");
        close();
    }
}

void GameFiles::write_string(const std::string& s) {
    write_bytes(s);
}
void GameFiles::write_real(double x) {
    write_bytes(format_real(x));
}
void GameFiles::writeln() {
    write_bytes("\r\n");
}

std::string GameFiles::format_real(double x) {
    std::string text;
    if (std::isnan(x)) {
        text = "Nan";
    } else if (std::isinf(x)) {
        text = x > 0 ? "+Inf" : "-Inf";
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.14E", std::fabs(x));
        std::string s = buf;
        size_t e = s.find('E');
        int exponent = std::atoi(s.c_str() + e + 1);
        std::snprintf(buf, sizeof buf, "%c%sE%c%04d", std::signbit(x) ? '-' : ' ',
                      s.substr(0, e).c_str(), exponent < 0 ? '-' : '+', std::abs(exponent));
        text = buf;
    }
    if (text.size() < 23) text.insert(0, 23 - text.size(), ' ');
    return text;
}

bool GameFiles::file_exists(const std::string& name) const {
    std::error_code ec;
    std::string h = host(name);
    return !h.empty() && fs::exists(h, ec) && !fs::is_directory(h, ec);
}

bool GameFiles::directory_exists(const std::string& name) const {
    std::error_code ec;
    std::string h = host(name);
    return !h.empty() && fs::is_directory(h, ec);
}

void GameFiles::file_delete(const std::string& name) {
    if (refused("In Secure mode you cannot delete file " + name, {&name})) return;
    std::error_code ec;
    std::string h = host_for_writing(name);
    if (!h.empty() && !fs::is_directory(h, ec)) fs::remove(h, ec);
}

void GameFiles::file_rename(const std::string& from, const std::string& to) {
    if (refused("In Secure mode you cannot rename file " + from + " into " + to, {&from, &to}))
        return;
    std::error_code ec;
    std::string a = host_for_writing(from), b = host_for_writing(to);
    // Renaming never replaces an existing file.
    if (!a.empty() && !b.empty() && !fs::exists(b, ec)) fs::rename(a, b, ec);
}

void GameFiles::file_copy(const std::string& from, const std::string& to) {
    if (refused("In Secure mode you cannot copy file " + from + " to " + to, {&from, &to})) return;
    std::error_code ec;
    std::string a = host(from), b = host_for_writing(to);
    if (!a.empty() && !b.empty()) fs::copy_file(a, b, fs::copy_options::overwrite_existing, ec);
}

void GameFiles::directory_create(const std::string& name) {
    if (refused("In Secure mode you cannot create directory " + name, {&name})) return;
    std::error_code ec;
    std::string h = host_for_writing(name);
    if (!h.empty()) fs::create_directories(h, ec);
}

std::string GameFiles::find_first(const std::string& mask, int32_t attributes) {
    search_.start(names_, mask, attributes);
    return search_.next();
}

int32_t GameFiles::file_attributes(const std::string& name, int32_t attributes) const {
    std::string h = host(name);
    auto a = h.empty() ? std::nullopt : host_attributes(h);
    if (!a) return -1;
    return (*a & attributes) ? 1 : 0;
}

std::string GameFiles::game_key() const {
    return "\\Software\\Kelvane 4\\" + std::to_string(game_id);
}

void GameFiles::registry_write_string(const std::string& name, const std::string& value) {
    registry_.write(game_key(), name, {RegistryValue::string, value, 0});
}

void GameFiles::registry_write_real(const std::string& name, double value) {
    registry_.write(game_key(), name, {RegistryValue::real, "", value});
}

std::string GameFiles::registry_read_string(const std::string& key, const std::string& name) {
    auto v = registry_.read(key, name);
    return v && v->kind == RegistryValue::string ? v->text : std::string();
}

double GameFiles::registry_read_real(const std::string& key, const std::string& name) {
    auto v = registry_.read(key, name);
    return v && v->kind == RegistryValue::real ? v->number : 0;
}

bool GameFiles::registry_exists(const std::string& key, const std::string& name) {
    registry_.create_key(key);
    return registry_.read(key, name).has_value();
}

void GameFiles::execute_program(const std::string& program, const std::string& arguments,
                                bool wait) {
    if (secure_mode) {
        report_("In Secure mode you cannot execute program " + program);
        return;
    }
    std::vector<std::string> argv = split_command_line(program + " " + arguments);
    if (!argv.empty()) {
        // A program named with a path, or lying in the game's folder, is a game file name.
        std::string h = host(argv[0]);
        std::error_code ec;
        if (FileNames::has_path(argv[0]) || (!h.empty() && fs::is_regular_file(h, ec))) {
            argv[0] = h.find('/') == std::string::npos ? "./" + h : h;
        }
    }
    auto pid = start_program(argv);
    if (!pid) {
        report_("Cannot execute " + program);
        return;
    }
    if (wait) wait_program(*pid, keep_alive);
}

void GameFiles::execute_shell(const std::string& file, const std::string& arguments) {
    if (secure_mode) {
        report_("In Secure mode you cannot execute program " + file);
        return;
    }
    std::error_code ec;
    std::string h = host(file);
    std::string target = !h.empty() && fs::exists(h, ec) ? h : file;
    if (!open_with_desktop(target, split_command_line(arguments)))
        report_("Cannot execute " + file);
}

std::string GameFiles::parameter_string(int32_t n) const {
    if (n == 0) return game_path;
    if (n >= 1 && n <= parameter_count()) return parameters[size_t(n - 1)];
    return {};
}

// ---- the built-in functions ----

namespace {

#define FILES                                                                                      \
    GameFiles* f = rt.files.get();                                                                 \
    if (!f) return;
#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance*, CInstance*, int32_t, RValue& result, const RValue* a)

std::string s(const RValue& v) {
    return v.str.str();
}
int32_t n(const RValue& v) {
    return to_int32(v.real);
}
void set_text(RValue& r, const std::string& text) {
    r = RValue(RString(text));
}

H(fn_file_open_read) {
    FILES f->open_read(s(a[0]));
    (void)result;
}
H(fn_file_open_write) {
    FILES f->open_write(s(a[0]));
    (void)result;
}
H(fn_file_open_append) {
    FILES f->open_append(s(a[0]));
    (void)result;
}
H(fn_file_close) {
    FILES f->close();
    (void)result, (void)a;
}
H(fn_file_read_string) {
    FILES set_text(result, f->read_string());
    (void)a;
}
H(fn_file_read_real) {
    FILES result = RValue(f->read_real());
    (void)a;
}
H(fn_file_readln) {
    FILES f->readln();
    (void)result, (void)a;
}
H(fn_file_eof) {
    FILES result = RValue(f->eof() ? 1.0 : 0.0);
    (void)a;
}
H(fn_file_write_string) {
    FILES f->write_string(s(a[0]));
    (void)result;
}
H(fn_file_write_real) {
    FILES f->write_real(a[0].real);
    (void)result;
}
H(fn_file_writeln) {
    FILES f->writeln();
    (void)result, (void)a;
}
H(fn_file_exists) {
    FILES result = RValue(f->file_exists(s(a[0])) ? 1.0 : 0.0);
}
H(fn_file_delete) {
    FILES f->file_delete(s(a[0]));
    (void)result;
}
H(fn_file_rename) {
    FILES f->file_rename(s(a[0]), s(a[1]));
    (void)result;
}
H(fn_file_copy) {
    FILES f->file_copy(s(a[0]), s(a[1]));
    (void)result;
}
H(fn_directory_exists) {
    FILES result = RValue(f->directory_exists(s(a[0])) ? 1.0 : 0.0);
}
H(fn_directory_create) {
    FILES f->directory_create(s(a[0]));
    (void)result;
}
H(fn_registry_write_string) {
    FILES f->registry_write_string(s(a[0]), s(a[1]));
    (void)result;
}
H(fn_registry_write_real) {
    FILES f->registry_write_real(s(a[0]), a[1].real);
    (void)result;
}
H(fn_registry_read_string) {
    FILES set_text(result, f->registry_read_string(f->game_key(), s(a[0])));
}
H(fn_registry_read_real) {
    FILES result = RValue(f->registry_read_real(f->game_key(), s(a[0])));
}
H(fn_registry_exists) {
    FILES result = RValue(f->registry_exists(f->game_key(), s(a[0])) ? 1.0 : 0.0);
}
H(fn_registry_read_string_ext) {
    FILES set_text(result, f->registry_read_string(s(a[0]), s(a[1])));
}
H(fn_registry_read_real_ext) {
    FILES result = RValue(f->registry_read_real(s(a[0]), s(a[1])));
}
H(fn_registry_exists_ext) {
    FILES result = RValue(f->registry_exists(s(a[0]), s(a[1])) ? 1.0 : 0.0);
}
H(fn_execute_program) {
    FILES f->execute_program(s(a[0]), s(a[1]), a[2].real >= 0.5);
    (void)result;
}
H(fn_execute_shell) {
    FILES f->execute_shell(s(a[0]), s(a[1]));
    (void)result;
}
H(fn_file_find_first) {
    FILES set_text(result, f->find_first(s(a[0]), n(a[1])));
}
H(fn_file_find_next) {
    FILES set_text(result, f->find_next());
    (void)a;
}
H(fn_file_find_close) {
    FILES f->find_close();
    (void)result, (void)a;
}
H(fn_file_attributes) {
    FILES result = RValue(double(f->file_attributes(s(a[0]), n(a[1]))));
}
H(fn_parameter_count) {
    FILES result = RValue(double(f->parameter_count()));
    (void)a;
}
H(fn_parameter_string) {
    FILES set_text(result, f->parameter_string(n(a[0])));
}

#undef H
#undef FILES

const RFunction functions[] = {
    {"file_open_read", fn_file_open_read, 1},
    {"file_open_write", fn_file_open_write, 1},
    {"file_open_append", fn_file_open_append, 1},
    {"file_close", fn_file_close, 0},
    {"file_read_string", fn_file_read_string, 0},
    {"file_read_real", fn_file_read_real, 0},
    {"file_readln", fn_file_readln, 0},
    {"file_eof", fn_file_eof, 0},
    {"file_write_string", fn_file_write_string, 1},
    {"file_write_real", fn_file_write_real, 1},
    {"file_writeln", fn_file_writeln, 0},
    {"file_exists", fn_file_exists, 1},
    {"file_delete", fn_file_delete, 1},
    {"file_rename", fn_file_rename, 2},
    {"file_copy", fn_file_copy, 2},
    {"directory_exists", fn_directory_exists, 1},
    {"directory_create", fn_directory_create, 1},
    {"registry_write_string", fn_registry_write_string, 2},
    {"registry_write_real", fn_registry_write_real, 2},
    {"registry_read_string", fn_registry_read_string, 1},
    {"registry_read_real", fn_registry_read_real, 1},
    {"registry_exists", fn_registry_exists, 1},
    {"registry_read_string_ext", fn_registry_read_string_ext, 2},
    {"registry_read_real_ext", fn_registry_read_real_ext, 2},
    {"registry_exists_ext", fn_registry_exists_ext, 2},
    {"execute_program", fn_execute_program, 3},
    {"execute_shell", fn_execute_shell, 2},
    {"file_find_first", fn_file_find_first, 2},
    {"file_find_next", fn_file_find_next, 0},
    {"file_find_close", fn_file_find_close, 0},
    {"file_attributes", fn_file_attributes, 2},
    {"parameter_count", fn_parameter_count, 0},
    {"parameter_string", fn_parameter_string, 1},
};

} // namespace

std::span<const RFunction> file_functions() {
    return functions;
}

} // namespace kelvane
