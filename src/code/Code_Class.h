// Compiled code (CCode): the source text, its token list and the constant shortcut. The
// interpreter keeps its parsed form of the tokens beside them, built lazily as runs reach
// each statement, so a CCode is compiled once and may be run by any number of runs.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "code/Code_Token.h"
#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
struct CodeCache;

class CCode {
  public:
    // Compiles: scans the text and applies the constant shortcut.
    CCode(std::string_view text, Runtime& rt);
    CCode(const CCode&) = delete;
    CCode& operator=(const CCode&) = delete;
    ~CCode();

    const std::string& text() const { return text_; }
    bool is_constant() const { return constant_; }
    const RValue& constant_value() const { return constant_value_; }
    // The token list; null for code that was empty (only blanks and comments).
    const CTokenList* tokens() const { return tokens_.get(); }

    // The interpreter's parsed form of the tokens (see Code_Execute).
    CodeCache& cache() const { return cache_ ? *cache_ : make_cache(); }

  private:
    std::string text_;
    bool constant_ = false;
    RValue constant_value_;
    std::unique_ptr<CTokenList> tokens_;
    mutable std::unique_ptr<CodeCache> cache_;

    CodeCache& make_cache() const;
};

// The action function that sets a variable: its two texts are compiled as one assignment.
constexpr int32_t set_variable_action = 35;

// Compiles every action of every present object (prepare step, after the scripts): each
// argument text into its code, or for the set-variable action "name = value" (relative:
// "name += value") into code 0.
void compile_object_actions(Runtime& rt);

} // namespace kelvane
