// The parsed form of a token list that both ways of running code share: expression and
// statement nodes, built lazily by the parser of Code_Execute and kept in the CCode's
// CodeCache. The tree walker runs them directly; the compiler (Code_Compile) lowers them to
// instructions for the machine (Code_Machine).
#pragma once

#include <cstdint>
#include <vector>

#include "code/Code_Execute.h"
#include "code/Variable_Main.h"

namespace kelvane {

enum class EK : uint8_t {
    literal,
    variable,
    indexed,
    call,
    negate,
    plus,
    logical_not,
    binary,
    dot,
    error
};

struct Expr {
    EK kind = EK::literal;
    int32_t op = 0;        // binary: the operator's token kind
    int32_t end = 0;       // token the cursor stands on once the node is parsed
    int32_t function = -1; // call
    int32_t token = 0;     // error: where it is raised
    const char* error = nullptr;
    RValue value;                  // literal value, or variable reference (indexed: index 0)
    Expr* a = nullptr;             // operand, left side, first index
    Expr* b = nullptr;             // right side, second index
    std::vector<Expr*> args;       // call arguments; error: nodes evaluated before it
    std::vector<int32_t> arg_ends; // where each argument is read
};

enum class SK : uint8_t {
    empty,
    block,
    program,
    if_,
    while_,
    for_,
    repeat,
    with,
    exit,
    return_,
    assign,
    error
};

struct Stmt {
    SK kind = SK::empty;
    int32_t start = 0;
    int32_t depth = 0; // nesting level: 1 for a statement of the program
    // Passing over the statement (for a block: counting braces; otherwise parsed in skip
    // mode): where that ends, or the syntax error it meets.
    SkipResult skip;
    Expr* e = nullptr; // condition, count, target, return value, left operand
    int32_t e_end = 0;
    Expr* rhs = nullptr; // assignment: right side
    int32_t op = 0;      // assignment operator token kind, 0 for none
    int32_t rhs_end = 0;
    Stmt* s1 = nullptr; // if: then; while, repeat, with: body; for: initialiser
    Stmt* s2 = nullptr; // if: else; for: step
    Stmt* s3 = nullptr; // for: body
    SkipResult own;     // error: the error; for: a missing ( or ); initialiser skip result
    SkipResult init;    // for: the initialiser parsed in skip mode
    // block, program: the statements, built when first run.
    bool chain_built = false;
    std::vector<Stmt*> chain;
    SkipResult chain_fail;
    // block: parsed in skip mode (a for initialiser in skip mode), built when needed.
    bool skip_parsed = false;
    SkipResult skip_parse;
};

// Variable ids below this are built-in variables.
constexpr int32_t builtin_limit = builtin_variable_limit;

// The statement starting at token k, built when first asked for.
Stmt* tree_statement(CodeCache& c, int32_t k);
// Builds the statement list of a block or of the program (once).
void tree_chain(CodeCache& c, Stmt* s);
// The program's statement: its first block when it starts with one, else the statement
// list of the whole token list.
Stmt* tree_program(CodeCache& c);
// The expression at token 0 (for evaluation); c.expression_end is the token after it.
Expr* tree_expression(CodeCache& c);
// True when a run should stop with "Stack overflow." here: the thread's stack is nearly
// used up by nested runs.
bool run_stack_exhausted();
// True when building or compiling more nested code here would leave too little stack: the
// code is then refused with too_deep_message.
bool parse_stack_exhausted();
inline constexpr const char* too_deep_message = "Code nested too deeply.";

} // namespace kelvane
