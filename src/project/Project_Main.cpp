// Reading and writing project folders: the manifest, the files it names, and the rules
// that keep both inside the folder and never overwrite what is not ours.
#include "project/Project_Main.h"

#include "platform/Whole_File.h"

#include <fstream>
#include <map>
#include <set>

#include "platform/Files.h"
#include "platform/Text_Encoding.h"
#include "project/Project_Image.h"
#include "project/Project_Json.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// A file name part made from a resource name: letters, digits, '-' and '_' only.
std::string safe_name(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (out.size() == 40) break;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_';
        out += ok ? c : '_';
    }
    return out.empty() ? "unnamed" : out;
}

// Collects the files of a project in memory; the manifest names them.
class ManifestSink : public GameJsonSink {
  public:
    std::map<std::string, std::vector<uint8_t>> files;

    std::string stem(const std::string& folder, const std::string& name) override {
        std::string prefix = folder.empty() ? "" : folder + "/";
        std::string base = prefix + safe_name(name), s = base;
        // Unique without regard to case, so the project also survives such file systems.
        for (int n = 2; taken_.count(lower(s)); ++n) s = base + "-" + std::to_string(n);
        taken_.insert(lower(s));
        return s;
    }
    Json picture(const Bitmap24& image, const std::string& file) override {
        auto png = encode_png(image);
        if (png.empty()) throw ProjectError(file + ": the picture could not be encoded as PNG");
        Json j = put(file, std::move(png));
        // A picture the game stored differently from how pack would store it keeps its
        // stored bytes beside it, so that packing gives the same game file again.
        if (StoredEncodingMatches(image) && *image.stored != EncodeImage(image)) {
            std::string encoding = file.substr(0, file.size() - 4) + ".kimg";
            j["encoding"] = put(encoding, *image.stored);
        }
        return j;
    }
    Json data(const std::vector<uint8_t>& bytes, const std::string& file) override {
        return put(file, bytes);
    }
    bool by_name() const override { return true; }
    Json code(const std::string& text, const std::string& file) override {
        if (text.empty()) return "";
        std::string utf8 = cp1252_to_utf8(text);
        // Code files get their lone line feeds made CR LF when packed; code that holds one
        // stays inline, so that packing again gives the same bytes.
        if (has_lone_line_feed(text)) return utf8;
        return put(file, std::vector<uint8_t>(utf8.begin(), utf8.end()));
    }
    Json rich_text(const std::string& text, const std::string& file) override {
        if (text.empty()) return "";
        return put(file, std::vector<uint8_t>(text.begin(), text.end()));
    }
    Json empty_slot(const std::string& stored_name) override {
        if (stored_name.empty()) return nullptr;
        return Json{{"name", cp1252_to_utf8(stored_name)}, {"empty", true}};
    }

  private:
    std::set<std::string> taken_;
    Json put(const std::string& file, std::vector<uint8_t> bytes) {
        files[file] = std::move(bytes);
        return Json{{"file", file}};
    }
};

// A name from a manifest, checked to stay inside the project folder.
bool inside(const std::string& name) {
    if (name.empty()) return false;
    fs::path p(name);
    if (p.is_absolute() || p.has_root_name() || p.has_root_directory()) return false;
    for (const auto& part : p)
        if (part == "..") return false;
    return true;
}

// Whether a file of the project, once every link on its way is followed, is still inside
// the project folder.
bool stays_inside(const fs::path& dir, const std::string& name) {
    auto root = resolve_host_path(dir.string());
    auto where = resolve_host_path((dir / name).string());
    return root && where && path_within(*where, *root);
}

class FolderSource : public GameJsonSource {
  public:
    explicit FolderSource(fs::path dir) : dir_(std::move(dir)) {}
    std::vector<uint8_t> file(const std::string& name, const std::string& where) override {
        if (!inside(name))
            throw ProjectError(where + ": file '" + name +
                               "' must be a relative path inside the project folder");
        fs::path p = dir_ / fs::path(name);
        std::error_code ec;
        if (!fs::exists(p, ec)) throw ProjectError(where + ": file '" + name + "' does not exist");
        std::string why;
        auto bytes = read_whole_file(p.string(), &why);
        if (!bytes) throw ProjectError(where + ": file '" + name + "' " + why);
        return std::move(*bytes);
    }

  private:
    fs::path dir_;
};

std::vector<uint8_t> read_file(const fs::path& p) {
    std::string why;
    auto bytes = read_whole_file(p.string(), &why);
    if (!bytes) throw ProjectError(p.string() + ": cannot be read: " + why);
    return std::move(*bytes);
}

void write_file(const fs::path& p, const void* data, size_t size) {
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    if (ec) throw ProjectError(p.parent_path().string() + ": cannot be made: " + ec.message());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    out.close();
    if (!out) throw ProjectError(p.string() + ": cannot be written");
}

// Every {"file": NAME} in a manifest.
void collect_files(const Json& j, std::set<std::string>& out) {
    if (j.is_object()) {
        if (j.contains("file") && j["file"].is_string()) out.insert(j["file"].get<std::string>());
        for (const auto& [key, value] : j.items()) collect_files(value, out);
    } else if (j.is_array()) {
        for (const auto& value : j) collect_files(value, out);
    }
}

} // namespace

bool is_project_folder(const fs::path& dir) {
    std::error_code ec;
    return fs::is_regular_file(dir / project_manifest_name, ec);
}

Game read_project(const fs::path& dir, std::vector<RCodePiece>* pieces) {
    std::error_code ec;
    auto status = fs::status(dir, ec);
    if (ec) throw ProjectError(dir.string() + ": " + ec.message());
    if (!fs::is_directory(status))
        throw ProjectError(dir.string() + ": is not a folder (a game project is a folder)");
    fs::path manifest = dir / project_manifest_name;
    if (!fs::exists(manifest, ec))
        throw ProjectError(dir.string() + ": not a game project (it has no " +
                           project_manifest_name + ")");
    auto bytes = read_file(manifest);
    Json json;
    try {
        json = Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::parse_error& e) {
        throw ProjectError(manifest.string() + ": not valid JSON: " + e.what());
    }
    FolderSource source(dir);
    try {
        return game_from_json(json, source, pieces);
    } catch (const ProjectError& e) {
        throw ProjectError(manifest.string() + ": " + e.what());
    } catch (const Json::exception& e) {
        throw ProjectError(manifest.string() + ": " + e.what());
    }
}

void write_project(const Game& game, const fs::path& dir) {
    ManifestSink sink;
    Json manifest;
    manifest["format"] = 1;
    Json body = game_to_json(game, sink);
    for (auto& [key, value] : body.items()) manifest[key] = std::move(value);

    std::error_code ec;
    std::set<std::string> old_files;
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir, ec)) throw ProjectError(dir.string() + ": is not a folder");
        if (is_project_folder(dir)) {
            auto bytes = read_file(dir / project_manifest_name);
            Json old = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
            if (old.is_discarded())
                throw ProjectError((dir / project_manifest_name).string() +
                                   ": not valid JSON; not writing over a project that cannot "
                                   "be read");
            collect_files(old, old_files);
        } else if (!fs::is_empty(dir, ec)) {
            throw ProjectError(dir.string() +
                               ": the folder is not empty and is not a game project; not "
                               "writing into it");
        }
    }
    // Nothing is written when any file would land outside the folder through a link.
    for (const auto& [name, bytes] : sink.files)
        if (!stays_inside(dir, name) || !stays_inside(dir, project_manifest_name))
            throw ProjectError((dir / name).string() +
                               ": a link leads out of the project folder; not writing there");
    for (const auto& [name, bytes] : sink.files) write_file(dir / name, bytes.data(), bytes.size());
    // Files of the old project that the new one no longer names.
    for (const auto& name : old_files) {
        if (!inside(name) || sink.files.count(name) || !stays_inside(dir, name)) continue;
        fs::path p = dir / name;
        if (!fs::is_regular_file(fs::symlink_status(p, ec))) continue;
        fs::remove(p, ec);
        for (fs::path d = p.parent_path(); d != dir && d.has_relative_path(); d = d.parent_path())
            if (!fs::remove(d, ec)) break; // stops at the first folder that is not empty
    }
    std::string text = manifest.dump(2) + "\n";
    write_file(dir / project_manifest_name, text.data(), text.size());
}

} // namespace kelvane
