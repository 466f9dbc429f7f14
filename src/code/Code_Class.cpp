// Compiling code: scanning and the constant shortcut.
#include "code/Code_Class.h"

#include "code/Code_Execute.h"
#include "run/Runtime.h"

namespace kelvane {

CCode::CCode(std::string_view text, Runtime& rt) : text_(text) {
    tokens_ = std::make_unique<CTokenList>();
    tokenize(*tokens_, text_, rt);
    const auto& t = tokens_->items;
    if (t.size() == 1) {
        // Empty code: the constant 0, and no token list is kept.
        constant_ = true;
        tokens_.reset();
    } else if (t.size() == 2 && t[0].kind == tk_value && !t[0].value.is_reference()) {
        constant_ = true;
        constant_value_ = t[0].value;
    } else if (t.size() == 3 && t[0].kind == tk_minus && t[1].kind == tk_value &&
               !t[1].value.is_reference()) {
        // A negated constant: only `real` is negated, so a string stays the same string.
        constant_ = true;
        constant_value_ = t[1].value;
        constant_value_.real = -constant_value_.real;
    }
}

CCode::~CCode() = default;

CodeCache& CCode::make_cache() const {
    cache_ = std::make_unique<CodeCache>(*tokens_);
    return *cache_;
}

void compile_object_actions(Runtime& rt) {
    auto& objects = rt.game.objects;
    for (int32_t i = 0; i < objects.count(); ++i) {
        CObject* o = objects.get(i);
        if (!o) continue;
        for (auto& by_number : o->events)
            for (auto& [number, event] : by_number)
                for (CAction& a : event.actions) {
                    a.codes = {};
                    if (a.function == set_variable_action) {
                        std::string text =
                            a.arguments[0] + (a.relative ? " += " : " = ") + a.arguments[1];
                        a.codes[0] = std::make_shared<CCode>(text, rt);
                    } else {
                        for (size_t k = 0; k < a.codes.size(); ++k)
                            a.codes[k] = std::make_shared<CCode>(a.arguments[k], rt);
                    }
                }
    }
}

} // namespace kelvane
