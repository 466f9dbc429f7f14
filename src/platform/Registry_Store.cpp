// The registry store file: reading, case-insensitive lookup, and atomic replacement
// under a lock, so that two runners writing at once lose nothing.
#include "platform/Registry_Store.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/Replace_File.h"
#include "platform/Text_Encoding.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

// Keys are kept without leading, trailing or doubled backslashes.
std::string normalise_key(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '/') c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool same(const std::string& a, const std::string& b) {
    return fold_case_cp1252(a) == fold_case_cp1252(b);
}

std::string quote(const std::string& cp) {
    std::string u = cp1252_to_utf8(cp), out = "\"";
    for (char c : u) {
        if (c == '"' || c == '\\')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (static_cast<unsigned char>(c) < 32) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(static_cast<unsigned char>(c)));
            out += buf;
        } else
            out += c;
    }
    return out + "\"";
}

// Reads a quoted text at `pos`; advances past it.
std::optional<std::string> unquote(const std::string& line, size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string u;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            auto cp = utf8_to_cp1252(u);
            return cp;
        }
        if (c != '\\') {
            u += c;
            continue;
        }
        if (++pos >= line.size()) return std::nullopt;
        switch (line[pos]) {
        case 'n':
            u += '\n';
            break;
        case 'r':
            u += '\r';
            break;
        case 't':
            u += '\t';
            break;
        case 'x':
            if (pos + 2 >= line.size()) return std::nullopt;
            u += char(std::strtol(line.substr(pos + 1, 2).c_str(), nullptr, 16));
            pos += 2;
            break;
        default:
            u += line[pos];
        }
    }
    return std::nullopt;
}

// A dword is read as a whole number in 0 ... 4294967295, the range of a 32-bit registry
// value: a fraction is dropped, a negative number counts back from 2^32 as a 32-bit value
// does (-1 is 4294967295), and a number beyond either end is held at that end
// (-2147483648 below, 4294967295 above). Nan is no number at all.
std::optional<double> dword_value(double d) {
    if (std::isnan(d)) return std::nullopt;
    d = std::clamp(std::floor(d), -2147483648.0, 4294967295.0);
    return d < 0 ? d + 4294967296.0 : d;
}

std::string format_value(const RegistryValue& v) {
    char buf[64];
    switch (v.kind) {
    case RegistryValue::real:
        std::snprintf(buf, sizeof buf, "real:%.17g", v.number);
        return buf;
    case RegistryValue::dword:
        std::snprintf(buf, sizeof buf, "dword:%.0f", dword_value(v.number).value_or(0));
        return buf;
    default:
        return "string:" + quote(v.text);
    }
}

// The value of a line after its "=": nullopt unless the whole rest of the line is a value.
std::optional<RegistryValue> parse_value(const std::string& line, size_t pos) {
    RegistryValue v;
    auto starts = [&](const char* p) { return line.compare(pos, std::strlen(p), p) == 0; };
    if (starts("string:")) {
        pos += 7;
        auto t = unquote(line, pos);
        if (!t || pos != line.size()) return std::nullopt;
        v.kind = RegistryValue::string;
        v.text = *t;
        return v;
    }
    bool real = starts("real:"), dword = starts("dword:");
    if (!real && !dword) return std::nullopt;
    pos += real ? 5 : 6;
    const char* b = line.c_str() + pos;
    char* e = nullptr;
    double d = std::strtod(b, &e);
    if (e == b || *e != '\0') return std::nullopt;
    v.kind = real ? RegistryValue::real : RegistryValue::dword;
    if (dword) {
        auto held = dword_value(d);
        if (!held) return std::nullopt;
        d = *held;
    }
    v.number = d;
    return v;
}

// A key name the store can hold: no line breaks or other control characters, no
// brackets, so that no name can end a line or look like a key line of its own.
bool storable_key(const std::string& key) {
    for (char c : key)
        if (static_cast<unsigned char>(c) < 32 || c == '[' || c == ']' || c == 127) return false;
    return true;
}

int64_t stamp_of(const std::string& file) {
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) return -2;
    return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec + st.st_size * 7;
}

} // namespace

RegistryStore::RegistryStore(std::string file) : file_(std::move(file)) {}

std::string RegistryStore::default_path() {
    return (fs::path(user_data_home()) / "registry.txt").string();
}

void RegistryStore::load() {
    int64_t stamp = stamp_of(file_);
    if (stamp == loaded_stamp_) return;
    loaded_stamp_ = stamp;
    lines_.clear();
    std::ifstream in(file_);
    std::string line, key;
    while (std::getline(in, line)) {
        Line l;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            auto cp = utf8_to_cp1252(line.substr(1, line.size() - 2));
            if (cp && storable_key(*cp)) {
                key = normalise_key(*cp);
                l.key = key;
                l.header = true;
                lines_.push_back(l);
                continue;
            }
        }
        l.key = key;
        size_t pos = 0;
        if (auto name = unquote(line, pos)) {
            while (pos < line.size() && line[pos] == ' ') ++pos;
            if (pos < line.size() && line[pos] == '=') {
                ++pos;
                while (pos < line.size() && line[pos] == ' ') ++pos;
                if (auto v = parse_value(line, pos)) {
                    l.name = *name;
                    l.value = v;
                    l.raw = line; // written back as it was until the game changes it
                    lines_.push_back(l);
                    continue;
                }
            }
        }
        l.raw = line; // comments, blank lines and anything unreadable stay as they were
        lines_.push_back(l);
    }
}

bool RegistryStore::save() {
    std::error_code ec;
    fs::create_directories(fs::path(file_).parent_path(), ec);
    std::ostringstream out;
    bool has_comment =
        !lines_.empty() && !lines_.front().header && lines_.front().value == std::nullopt;
    if (!has_comment) out << "# Kelvane registry: [key] lines, then \"name\" = kind:value lines\n";
    for (const auto& l : lines_) {
        if (l.header)
            out << "[" << cp1252_to_utf8(l.key) << "]\n";
        else if (l.value && l.raw.empty())
            out << quote(l.name) << " = " << format_value(*l.value) << "\n";
        else
            out << l.raw << "\n";
    }
    std::string text = out.str();
    if (!replace_file(file_, text.data(), text.size())) return false;
    loaded_stamp_ = stamp_of(file_);
    return true;
}

template <typename F> bool RegistryStore::modify(F&& change) {
    std::error_code ec;
    fs::create_directories(fs::path(file_).parent_path(), ec);
    // The lock serialises writers; each re-reads the file first so no write is lost.
    int lock = ::open((file_ + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    loaded_stamp_ = -1;
    load();
    bool ok = true;
    if (change()) ok = save();
    if (lock >= 0) ::close(lock);
    return ok;
}

bool RegistryStore::key_exists(const std::string& key) {
    load();
    std::string k = normalise_key(key);
    for (const auto& l : lines_)
        if (l.header && same(l.key, k)) return true;
    return false;
}

bool RegistryStore::create_key(const std::string& key) {
    std::string k = normalise_key(key);
    if (!storable_key(k)) return false;
    return modify([&] {
        for (const auto& l : lines_)
            if (l.header && same(l.key, k)) return false;
        Line h;
        h.key = k;
        h.header = true;
        lines_.push_back(h);
        return true;
    });
}

std::optional<RegistryValue> RegistryStore::read(const std::string& key, const std::string& name) {
    load();
    std::string k = normalise_key(key);
    for (const auto& l : lines_)
        if (l.value && same(l.key, k) && same(l.name, name)) return l.value;
    return std::nullopt;
}

bool RegistryStore::write(const std::string& key, const std::string& name,
                          const RegistryValue& value) {
    std::string k = normalise_key(key);
    if (!storable_key(k)) return false;
    return modify([&] {
        size_t header = lines_.size(), last = lines_.size();
        for (size_t i = 0; i < lines_.size(); ++i) {
            Line& l = lines_[i];
            if (!same(l.key, k)) continue;
            if (l.header) header = i;
            if (l.value && same(l.name, name)) {
                l.value = value;
                l.raw.clear();
                return true;
            }
            last = i;
        }
        Line v;
        v.key = k;
        v.name = name;
        v.value = value;
        if (header == lines_.size()) {
            Line h;
            h.key = k;
            h.header = true;
            lines_.push_back(h);
            lines_.push_back(v);
        } else {
            lines_.insert(lines_.begin() + long(last == lines_.size() ? header : last) + 1, v);
        }
        return true;
    });
}

bool read_secure_mode(RegistryStore& store) {
    auto v = store.read(preferences_key, "Warning");
    if (!v) return false;
    if (v->kind == RegistryValue::string) return v->text == "1" || same(v->text, "true");
    return v->number != 0;
}

} // namespace kelvane
