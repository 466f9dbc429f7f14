// Windows file names mapped onto the host file system, file attributes and searches.
#include "platform/Files.h"

#include <algorithm>
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

std::optional<std::string> FileNames::to_host(const std::string& name) const {
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
