// Windows file names mapped onto the host file system, file attributes and searches.
#include "platform/Files.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Text_Encoding.h"

namespace fs = std::filesystem;

namespace kelvane {

FileNames::FileNames() {
    drives_.emplace('C', std::string(1, '/'));
}

void FileNames::map_drive(char letter, const std::string& host_dir) {
    drives_[char(std::toupper(static_cast<unsigned char>(letter)))] = host_dir;
}

bool FileNames::has_path(const std::string& name) {
    return name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
}

std::string fold_case_cp1252(const std::string& s) {
    std::string out = s;
    for (char& ch : out) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            c = c + 32;
        else if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
            c = c + 32; // Latin-1 capitals
        else if (c == 0x8A || c == 0x8C || c == 0x8E)
            c = c + 16; // S, OE, Z with caron / ligature
        else if (c == 0x9F)
            c = 0xFF; // Y with diaeresis
        ch = char(c);
    }
    return out;
}

std::string user_data_home() {
    fs::path base;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = fs::path(h) / ".local/share";
    else
        base = "/tmp";
    return (base / "kelvane").string();
}

std::string game_data_folder(int32_t game_id, const std::string& data_home) {
    return (fs::path(data_home) / "games" / std::to_string(game_id)).string();
}

bool folder_writable(const std::string& folder) {
    // access() also answers no on a read-only medium, for every user.
    return ::access(folder.c_str(), W_OK) == 0;
}

namespace {

// The entry of `dir` that equals `component` without regard to case, if any; the first in
// name order when several do.
std::optional<std::string> find_folded(const fs::path& dir, const std::string& component_cp) {
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
    if (ec) return std::nullopt;
    std::string want = fold_case_cp1252(component_cp);
    std::optional<std::string> best;
    for (const auto& entry : it) {
        std::string host = entry.path().filename().string();
        auto cp = utf8_to_cp1252(host);
        if (!cp || fold_case_cp1252(*cp) != want) continue;
        if (!best || host < *best) best = host;
    }
    return best;
}

} // namespace

namespace {
// A name relative to the game's folder: no drive letter, not rooted, not a network name.
bool is_relative_name(const std::string& name) {
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return false;
    return !(name.size() >= 2 && name[1] == ':' &&
             std::isalpha(static_cast<unsigned char>(name[0])));
}
} // namespace

std::optional<std::string> FileNames::to_host(const std::string& name) const {
    if (!data_folder_.empty() && is_relative_name(name)) {
        std::error_code ec;
        auto own = map(name, data_folder_);
        if (own && fs::exists(fs::symlink_status(*own, ec))) return own;
    }
    return map(name, "");
}

std::optional<std::string> FileNames::to_host_for_writing(const std::string& name) const {
    if (data_folder_.empty() || !is_relative_name(name)) return map(name, "");
    auto own = map(name, data_folder_);
    auto shipped = map(name, "");
    if (!own || !shipped) return own;
    // A file in a sub-folder the game ships gets the same sub-folder in the data folder.
    std::error_code ec;
    fs::path folder = fs::path(*shipped).parent_path();
    if (!folder.empty() && fs::is_directory(folder, ec) && write_stays_inside(name))
        fs::create_directories(fs::path(*own).parent_path(), ec);
    return own;
}

bool FileNames::write_stays_inside(const std::string& name) const {
    auto host =
        data_folder_.empty() || !is_relative_name(name) ? map(name, "") : map(name, data_folder_);
    if (!host) return false;
    auto where = resolve_host_path(*host);
    if (!where) return false;
    for (const std::string& folder : {std::string("."), data_folder_}) {
        if (folder.empty()) continue;
        auto inside = resolve_host_path(folder);
        if (inside && path_within(*where, *inside)) return true;
    }
    return false;
}

std::optional<std::string> resolve_host_path(const std::string& host_path) {
    std::error_code ec;
    fs::path start = fs::absolute(host_path, ec);
    if (ec) return std::nullopt;
    std::vector<std::string> todo; // components still to walk, the next one last
    for (const auto& c : start) todo.push_back(c.string());
    std::reverse(todo.begin(), todo.end());
    fs::path out = "/";
    int links = 0;
    while (!todo.empty()) {
        std::string c = todo.back();
        todo.pop_back();
        if (c.empty() || c == "/" || c == ".") continue;
        if (c == "..") {
            out = out.parent_path();
            continue;
        }
        fs::path next = out / c;
        if (!fs::is_symlink(next, ec)) {
            out = next;
            continue;
        }
        if (++links > 40) return std::nullopt; // as the kernel gives up on a loop
        fs::path target = fs::read_symlink(next, ec);
        if (ec) return std::nullopt;
        if (target.is_absolute()) out = "/";
        std::vector<std::string> parts;
        for (const auto& t : target) parts.push_back(t.string());
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) todo.push_back(*it);
    }
    return out.string();
}

bool path_within(const std::string& path, const std::string& folder) {
    fs::path p(path), f(folder);
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi, ++pi) {
        if (fi->empty()) continue; // a trailing slash
        if (pi == p.end() || *pi != *fi) return false;
    }
    return true;
}

std::optional<std::string> FileNames::map(const std::string& name,
                                          const std::string& relative_base) const {
    std::string n = name;
    std::replace(n.begin(), n.end(), '\\', '/');
    if (n.size() >= 2 && n[0] == '/' && n[1] == '/') return std::nullopt; // network name
    fs::path base;
    std::string rest = n;
    if (n.size() >= 2 && n[1] == ':' && std::isalpha(static_cast<unsigned char>(n[0]))) {
        auto it = drives_.find(char(std::toupper(static_cast<unsigned char>(n[0]))));
        if (it == drives_.end()) return std::nullopt;
        base = it->second;
        rest = n.substr(2);
    } else if (!n.empty() && n[0] == '/') {
        // A rooted name without a drive means the current drive: C:.
        base = drives_.at('C');
    } else {
        base = relative_base;
    }
    fs::path out = base;
    bool exists_so_far = true;
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t slash = rest.find('/', pos);
        if (slash == std::string::npos) slash = rest.size();
        std::string comp = rest.substr(pos, slash - pos);
        pos = slash + 1;
        if (comp.empty() || comp == ".") continue;
        if (comp.find('\0') != std::string::npos) return std::nullopt;
        std::string host_comp = cp1252_to_utf8(comp);
        if (comp == "..") {
            out /= "..";
            continue;
        }
        fs::path exact = out / host_comp;
        std::error_code ec;
        if (exists_so_far && !fs::exists(exact, ec)) {
            if (auto match = find_folded(out, comp)) {
                out /= *match;
                continue;
            }
            exists_so_far = false;
        }
        out = exact;
    }
    if (out.empty()) return std::string(".");
    return out.string();
}

std::optional<std::string> FileNames::to_windows(const std::string& host_path) const {
    const fs::path path = fs::path(host_path).lexically_normal();
    if (!path.is_absolute()) return std::nullopt;
    char best = 0;
    size_t best_depth = 0;
    fs::path best_rest;
    for (const auto& [letter, folder] : drives_) {
        const fs::path base = fs::path(folder).lexically_normal();
        if (!base.is_absolute() || !path_within(path.string(), base.string())) continue;
        size_t depth = 0;
        for (const auto& part : base)
            if (!part.empty()) ++depth;
        if (best && depth <= best_depth) continue;
        best = letter, best_depth = depth;
        best_rest = path.lexically_relative(base);
    }
    if (!best) return std::nullopt;
    std::string rest;
    for (const auto& part : best_rest) {
        const std::string p = part.string();
        if (p.empty() || p == ".") continue;
        if (!rest.empty()) rest += '\\';
        rest += p;
    }
    auto cp = utf8_to_cp1252(rest);
    if (!cp) return std::nullopt;
    return std::string(1, best) + ":\\" + *cp;
}

std::optional<int32_t> host_attributes(const std::string& host_path) {
    struct stat st;
    if (::stat(host_path.c_str(), &st) != 0) return std::nullopt;
    int32_t a = 0;
    if (S_ISDIR(st.st_mode)) a |= fa_directory;
    if (S_ISREG(st.st_mode)) a |= fa_archive;
    std::string leaf = fs::path(host_path).filename().string();
    if (!leaf.empty() && leaf[0] == '.' && leaf != "." && leaf != "..") a |= fa_hidden;
    if (::access(host_path.c_str(), W_OK) != 0) a |= fa_readonly;
    return a;
}

namespace {
bool match_folded(const std::string& m, const std::string& s) {
    size_t mi = 0, si = 0, star = std::string::npos, mark = 0;
    while (si < s.size()) {
        if (mi < m.size() && (m[mi] == '?' || m[mi] == s[si])) {
            ++mi, ++si;
        } else if (mi < m.size() && m[mi] == '*') {
            star = mi++, mark = si;
        } else if (star != std::string::npos) {
            mi = star + 1, si = ++mark;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == '*') ++mi;
    return mi == m.size();
}
} // namespace

bool wildcard_match(const std::string& mask, const std::string& name) {
    std::string m = fold_case_cp1252(mask), s = fold_case_cp1252(name);
    if (match_folded(m, s)) return true;
    // As on Windows, a mask ending in ".*" also matches names without an extension.
    return m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0 &&
           s.find('.') == std::string::npos && match_folded(m.substr(0, m.size() - 2), s);
}

void FileSearch::start(const FileNames& names, const std::string& mask, int32_t attributes) {
    close();
    std::string m = mask;
    std::replace(m.begin(), m.end(), '\\', '/');
    size_t slash = m.rfind('/');
    std::string folder = slash == std::string::npos ? "" : mask.substr(0, slash + 1);
    std::string pattern = slash == std::string::npos ? mask : mask.substr(slash + 1);
    if (folder.size() == 2 && folder[1] == ':') folder += '/';
    auto host = names.to_host(folder.empty() ? "." : folder);
    if (!host) return;
    std::error_code ec;
    fs::directory_iterator it(*host, ec);
    if (ec) return;
    const int32_t special = fa_hidden | fa_sysfile | fa_volumeid | fa_directory;
    const int32_t excluded = ~attributes & special;
    std::vector<std::string> candidates = {".", ".."};
    for (const auto& entry : it) candidates.push_back(entry.path().filename().string());
    for (const auto& h : candidates) {
        auto cp = utf8_to_cp1252(h);
        if (!cp || !wildcard_match(pattern, *cp)) continue;
        auto attr = host_attributes((fs::path(*host) / h).string());
        if (!attr || (*attr & excluded)) continue;
        found_.push_back(*cp);
    }
    std::stable_sort(found_.begin(), found_.end(), [](const std::string& a, const std::string& b) {
        return fold_case_cp1252(a) < fold_case_cp1252(b);
    });
}

std::string FileSearch::next() {
    return at_ < found_.size() ? found_[at_++] : std::string();
}

} // namespace kelvane
