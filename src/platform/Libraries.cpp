// Game libraries on Linux: a Windows library name becomes the shared objects that can stand
// for it, found beside the game or on the system library path, loaded with dlopen and
// called through libffi.
#include "platform/Libraries.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <ffi.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "platform/Files.h"
#include "platform/Text_Encoding.h"

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
    void* address = dlsym(handle_, name.c_str());
    if (!address) return nullptr;
    // The loader also searches the libraries this one needs (the C library among them);
    // only the library's own functions count, as on Windows.
    link_map* own = nullptr;
    link_map* holder = nullptr;
    Dl_info info;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &own) != 0 ||
        dladdr1(address, &info, reinterpret_cast<void**>(&holder), RTLD_DL_LINKMAP) == 0 ||
        holder != own)
        return nullptr;
    return address;
}

bool LateLibrary::open(const std::string& soname, std::string& error) {
    library_ = ForeignLibrary::open(soname, error);
    if (!library_) return false;
    // Never closed: code of the library may still run while the program ends.
    static std::mutex kept_lock;
    static auto* kept = new std::vector<std::shared_ptr<ForeignLibrary>>();
    std::lock_guard<std::mutex> hold(kept_lock);
    kept->push_back(library_);
    return true;
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

bool is_absolute_windows_name(const std::string& n) {
    return (!n.empty() && n[0] == '/') ||
           (n.size() >= 2 && n[1] == ':' && std::isalpha(static_cast<unsigned char>(n[0])));
}

} // namespace

RLibraryLookup open_game_library(const FileNames& names, const std::string& game_folder,
                                 const std::string& name) {
    RLibraryLookup out;
    if (name.find('\0') != std::string::npos) return out;
    std::string n = name;
    for (char& c : n)
        if (c == '\\') c = '/';
    size_t slash = n.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : n.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? n : n.substr(slash + 1);
    std::vector<std::string> files = library_file_names(base);

    // Beside the game: the folder the name gives when it lies inside the game's folder, then
    // the game's folder itself. Whether a file lies inside is decided on where it really
    // leads, after "..", letter case and symbolic links, so that a name cannot reach a
    // library elsewhere on the machine.
    std::optional<std::string> home =
        game_folder.empty() ? std::nullopt : resolve_host_path(game_folder);
    if (home) {
        // The game's folder as a drive of its own, so its names match without regard to
        // case as every other game file name does.
        FileNames beside;
        beside.map_drive('G', *home);
        std::vector<std::pair<const FileNames*, std::string>> places;
        if (!folder.empty())
            places.emplace_back(is_absolute_windows_name(folder) ? &names : &beside,
                                is_absolute_windows_name(folder) ? folder : "G:/" + folder);
        places.emplace_back(&beside, "G:/");
        std::set<std::string> tried;
        for (const auto& [place_names, place] : places) {
            for (const std::string& file : files) {
                std::optional<std::string> host = place_names->to_host(place + file);
                if (!host) continue;
                std::optional<std::string> real = resolve_host_path(*host);
                std::error_code ec;
                if (!real || !path_within(*real, *home) || !fs::is_regular_file(*real, ec))
                    continue;
                if (!tried.insert(*real).second) continue;
                std::string error;
                if ((out.library = ForeignLibrary::open(*real, error))) return out;
                if (out.found_file.empty()) {
                    out.found_file = *real;
                    out.windows_file = starts_with_mz(*real);
                    out.error = error;
                }
            }
        }
    }
    // The system library path: the loader searches it for a name without a slash.
    for (const std::string& file : files) {
        std::string error;
        if ((out.library = ForeignLibrary::open(cp1252_to_utf8(file), error))) return out;
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

std::string copy_foreign_text(const char* text, size_t max_length) {
    std::string out;
    if (!text) return out;
    // Writing a byte into a pipe lets the kernel check that it can be read: where nothing is
    // mapped the write answers EFAULT instead of faulting as a plain read would.
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) return out;
    // Memory is readable page by page, and every page size is a multiple of 4 KiB: once
    // the first byte of a 4 KiB piece reads, the whole piece does.
    constexpr uintptr_t piece = 4096;
    uintptr_t at = reinterpret_cast<uintptr_t>(text);
    while (out.size() < max_length) {
        ssize_t moved;
        do moved = ::write(pipe_ends[1], reinterpret_cast<const void*>(at), 1);
        while (moved < 0 && errno == EINTR);
        if (moved != 1) break;
        char probe;
        do moved = ::read(pipe_ends[0], &probe, 1);
        while (moved < 0 && errno == EINTR);
        if (moved != 1) break;
        const char* from = reinterpret_cast<const char*>(at);
        size_t room = std::min(size_t(piece - at % piece), max_length - out.size());
        size_t length = ::strnlen(from, room);
        out.append(from, length);
        if (length < room) break; // the zero
        at += room;
    }
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    return out;
}

} // namespace kelvane
