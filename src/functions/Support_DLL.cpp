// The external function table and its built-in functions. Defining looks the library up
// once per name (letter case aside); calling passes reals as doubles and strings as
// zero-terminated Windows-1252 text, and copies a string result at once.
#include "functions/Support_DLL.h"

#include <cstdio>

#include "code/Code_Main.h"
#include "platform/Files.h"
#include "platform/Libraries.h"
#include "platform/Text_Encoding.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {
// A name from game code as it can stand in a message: a long name is cut.
std::string shown(const std::string& name) {
    constexpr size_t longest = 200;
    return cp1252_to_utf8(name.substr(0, longest)) + (name.size() > longest ? "..." : "");
}
} // namespace

int32_t ExternalFunctions::define(const FileNames& names, const std::string& library,
                                  const std::string& name, std::vector<bool> string_arguments,
                                  bool string_result) {
    std::string folded = fold_case_cp1252(library);
    std::shared_ptr<ForeignLibrary>& lib = libraries_[folded];
    if (!lib) {
        RLibraryLookup found = open_game_library(names, game_folder, library);
        if (!found.library) {
            libraries_.erase(folded);
            // A library that exists only for Windows, or a Linux build that does not load,
            // is a failure a player can mend, so it is named once.
            if (!found.found_file.empty() && warned_.insert(folded).second) {
                std::string line =
                    "kelvane: the game's library " + shown(library) +
                    (found.windows_file
                         ? " is a Windows library; the function " + shown(name) +
                               " needs a Linux build of it (a .so file) beside the game"
                         : " (" + found.found_file + ") cannot be loaded: " + found.error +
                               "; the function " + shown(name) + " is not defined");
                // One line, whatever the names hold.
                for (char& c : line)
                    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
                std::fprintf(stderr, "%s\n", line.c_str());
            }
            return -1;
        }
        lib = found.library;
    }
    // Once loaded, a library stays loaded, also when the function is not in it.
    void* address = lib->find(name);
    if (!address) return -1;
    table_.push_back({library, lib, name, address, std::move(string_arguments), string_result});
    return count() - 1;
}

bool ExternalFunctions::call(int32_t id, std::span<const RValue> arguments, RValue& result) const {
    if (id < 0 || id >= count()) return false;
    const RExternalFunction& f = table_[size_t(id)];
    // The strings stay alive in `texts` for the length of the call.
    std::vector<std::string> texts(f.string_arguments.size());
    std::vector<RForeignArgument> args(f.string_arguments.size());
    for (size_t i = 0; i < args.size(); ++i) {
        const RValue* v = i < arguments.size() ? &arguments[i] : nullptr;
        args[i].is_text = f.string_arguments[i];
        if (args[i].is_text) {
            if (v) texts[i] = v->str.str();
            args[i].text = texts[i].c_str();
        } else {
            args[i].real = v ? v->real : 0.0;
        }
    }
    RForeignResult r;
    if (!call_foreign(f.address, args, f.string_result, r)) return false;
    if (f.string_result)
        result = RValue(RString(copy_foreign_text(r.text, RString::max_length)));
    else
        result = RValue(r.real);
    return true;
}

namespace {

constexpr const char* secure_message = "In secure mode you cannot use DLLs";

bool refused(Runtime& rt) {
    if (!rt.files || !rt.files->secure_mode) return false;
    report_error(rt, secure_message, false);
    return true;
}

bool is_string_type(const RValue& v) {
    return to_int32(v.real) == 1;
}

void define(Runtime& rt, const RValue* a, std::vector<bool> types, const RValue& restype,
            RValue& result) {
    if (refused(rt)) return;
    int32_t id = rt.externals.define(rt.file_names, a[0].str.str(), a[1].str.str(),
                                     std::move(types), is_string_type(restype));
    if (id < 0) report_error(rt, "Error defining an external function.", false);
    result = RValue(double(id));
}

// external_defineN for N = 0 ... 4: the library, the name, N types and the result type.
template <int N>
void fn_define_typed(Runtime& rt, CInstance*, CInstance*, int32_t, RValue& result,
                     const RValue* a) {
    std::vector<bool> types;
    for (int i = 0; i < N; ++i) types.push_back(is_string_type(a[2 + i]));
    define(rt, a, std::move(types), a[2 + N], result);
}

// external_defineN for N = 5 ... 8: every argument a real.
template <int N>
void fn_define_reals(Runtime& rt, CInstance*, CInstance*, int32_t, RValue& result,
                     const RValue* a) {
    define(rt, a, std::vector<bool>(N, false), a[2], result);
}

template <int N>
void fn_call(Runtime& rt, CInstance*, CInstance*, int32_t, RValue& result, const RValue* a) {
    if (refused(rt)) return;
    rt.externals.call(to_int32(a[0].real), std::span<const RValue>(a + 1, N), result);
}

const RFunction external[] = {
    {"external_define0", fn_define_typed<0>, 3}, {"external_call0", fn_call<0>, 1},
    {"external_define1", fn_define_typed<1>, 4}, {"external_call1", fn_call<1>, 2},
    {"external_define2", fn_define_typed<2>, 5}, {"external_call2", fn_call<2>, 3},
    {"external_define3", fn_define_typed<3>, 6}, {"external_call3", fn_call<3>, 4},
    {"external_define4", fn_define_typed<4>, 7}, {"external_call4", fn_call<4>, 5},
    {"external_define5", fn_define_reals<5>, 3}, {"external_call5", fn_call<5>, 6},
    {"external_define6", fn_define_reals<6>, 3}, {"external_call6", fn_call<6>, 7},
    {"external_define7", fn_define_reals<7>, 3}, {"external_call7", fn_call<7>, 8},
    {"external_define8", fn_define_reals<8>, 3}, {"external_call8", fn_call<8>, 9},
};

} // namespace

std::span<const RFunction> external_functions() {
    return external;
}

} // namespace kelvane
