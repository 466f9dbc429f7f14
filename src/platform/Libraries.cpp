// Game libraries on Linux: a Windows library name becomes the shared objects that can stand
// for it, found beside the game or on the system library path, loaded with dlopen and
// called through libffi.
#include "platform/Libraries.h"

#include <dlfcn.h>
#include <ffi.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "platform/Files.h"

namespace fs = std::filesystem;

namespace kelvane {

ForeignLibrary::~ForeignLibrary() {
    dlclose(handle_);
}

std::shared_ptr<ForeignLibrary> ForeignLibrary::open(const std::string& host_name,
                                                     std::string& error) {
    dlerror();
    // Every symbol resolved now, so that a library with a missing dependency fails here
    // instead of in the middle of a game's call.
    void* handle = dlopen(host_name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "cannot be loaded";
        return nullptr;
    }
    return std::shared_ptr<ForeignLibrary>(new ForeignLibrary(handle, host_name));
}

void* ForeignLibrary::find(const std::string& name) const {
    if (name.empty() || name.find('\0') != std::string::npos) return nullptr;
    return dlsym(handle_, name.c_str());
}

std::vector<std::string> library_file_names(const std::string& base) {
    if (base.empty()) return {};
    std::string stem;
    size_t dot = base.rfind('.');
    if (dot == std::string::npos) {
        stem = base; // Windows adds ".dll" to a name without an extension
    } else if (fold_case_cp1252(base.substr(dot)) == ".dll") {
        stem = base.substr(0, dot);
    }
    if (stem.empty()) return {base};
    return {stem + ".so", "lib" + stem + ".so", base};
}

namespace {

bool starts_with_mz(const std::string& host_path) {
    std::ifstream in(host_path, std::ios::binary);
    char magic[2] = {};
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

// A folder looked in: a Windows-1252 folder name ("" for the current folder) and the file
// names that map it to the host.
struct Place {
    const FileNames* names;
    std::string folder; // ends with "/" or is empty
};

bool is_absolute_windows_name(const std::string& n) {
    return (!n.empty() && n[0] == '/') ||
           (n.size() >= 2 && n[1] == ':' && std::isalpha(static_cast<unsigned char>(n[0])));
}

} // namespace

RLibraryLookup open_game_library(const FileNames& names, const std::string& game_folder,
                                 const std::string& name) {
    RLibraryLookup out;
    std::string n = name;
    for (char& c : n)
        if (c == '\\') c = '/';
    size_t slash = n.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : n.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? n : n.substr(slash + 1);
    std::vector<std::string> files = library_file_names(base);

    // The game's folder as a drive of its own, so its names match without regard to case
    // as every other game file name does.
    FileNames beside;
    if (!game_folder.empty()) beside.map_drive('G', game_folder);
    std::vector<Place> places;
    if (!folder.empty()) {
        if (is_absolute_windows_name(folder))
            places.push_back({&names, folder});
        else if (!game_folder.empty())
            places.push_back({&beside, "G:/" + folder});
    }
    if (!game_folder.empty()) places.push_back({&beside, "G:/"});
    places.push_back({&names, ""});

    std::set<std::string> tried;
    for (const Place& place : places) {
        for (const std::string& file : files) {
            std::optional<std::string> host = place.names->to_host(place.folder + file);
            if (!host) continue;
            std::error_code ec;
            fs::path path = fs::absolute(*host, ec);
            if (ec || !fs::is_regular_file(path, ec)) continue;
            if (!tried.insert(path.string()).second) continue;
            std::string error;
            if ((out.library = ForeignLibrary::open(path.string(), error))) return out;
            out.error = error;
            if (file == base) {
                out.found_file = path.string();
                out.windows_file = starts_with_mz(out.found_file);
            }
        }
    }
    // The system library path: names without a folder go to the loader as they are.
    for (const std::string& file : files) {
        if (file.find('/') != std::string::npos) continue;
        std::string error;
        if ((out.library = ForeignLibrary::open(file, error))) return out;
    }
    return out;
}

bool call_foreign(void* address, std::span<const RForeignArgument> arguments, bool text_result,
                  RForeignResult& result) {
    if (!address) return false;
    std::vector<ffi_type*> types;
    std::vector<void*> values;
    types.reserve(arguments.size());
    values.reserve(arguments.size());
    for (const RForeignArgument& a : arguments) {
        types.push_back(a.is_text ? &ffi_type_pointer : &ffi_type_double);
        // libffi reads the arguments through these pointers and never writes them.
        values.push_back(a.is_text ? const_cast<void*>(static_cast<const void*>(&a.text))
                                   : const_cast<void*>(static_cast<const void*>(&a.real)));
    }
    ffi_cif cif;
    ffi_type* rtype = text_result ? &ffi_type_pointer : &ffi_type_double;
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, unsigned(types.size()), rtype, types.data()) != FFI_OK)
        return false;
    // Room for either kind of result, at least as large as libffi asks for.
    union {
        ffi_arg word;
        double real;
        void* pointer;
    } rv{};
    ffi_call(&cif, FFI_FN(address), &rv, values.data());
    if (text_result)
        result.text = static_cast<const char*>(rv.pointer);
    else
        result.real = rv.real;
    return true;
}

} // namespace kelvane
