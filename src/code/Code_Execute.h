// The interpreter: runs a CCode's token list for a self and an other instance. The parsed
// form it keeps per CCode (CodeCache) and the two run functions used by Code_Main.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "code/Code_Token.h"
#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CCode;
class CInstance;
struct Expr;
struct Stmt;
struct Compiled;

// Where passing over a statement without running it ends: the token after it, or the
// syntax error met on the way.
struct SkipResult {
    int32_t end = -1;
    int32_t error_token = -1;
    const char* error = nullptr;
    bool ok() const { return error == nullptr; }
};

// The parsed form of one token list, filled lazily and never changed once filled: one
// statement node per token index where a statement starts, and the first expression of
// the list for expression evaluation. Nodes have stable addresses.
struct CodeCache {
    explicit CodeCache(const CTokenList& tokens);
    ~CodeCache();

    const CTokenList& tokens;
    std::vector<Stmt*> statements; // by start token
    Expr* expression = nullptr;    // the expression at token 0, once parsed
    int32_t expression_end = 0;    // the token after it
    Stmt* program = nullptr;       // the top-level statement sequence
    std::deque<Expr> expr_pool;
    std::deque<Stmt> stmt_pool;
    // Nesting of the parse in progress; deeper code is refused as a syntax error.
    int build_depth = 0;
    // For each `{`, the token after its matching `}` (-1: none), once a block was passed.
    std::vector<int32_t> block_ends;
    // The compiled forms of the program and of the first expression (Code_Compile).
    std::unique_ptr<Compiled> compiled_program;
    std::unique_ptr<Compiled> compiled_expression;
};

// Runs the code as a program / evaluates its first expression (a variable is read). An
// error is recorded in the error globals; the caller composes and reports it.
RValue execute_program(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);
RValue execute_expression(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);

// A syntax error of a program and where it is: the 1-based character position in the text
// (0 at its end).
struct RSyntaxError {
    int32_t position = 0;
    std::string message;
};
// The first syntax error anywhere in a program, found without running it, as if every
// statement were reached (a run only meets those on its way); nullopt when there is none.
std::optional<RSyntaxError> first_syntax_error(const CCode& code);

} // namespace kelvane
