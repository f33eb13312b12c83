// The syntax tree the parser builds and the emitter walks. The parser bounds
// its depth (kMaxTreeDepth), so every recursive walk over it is bounded too.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vbs {

// Nesting of expressions and statements, counted in tree levels; deeper
// input is refused with a problem rather than recursed into.
constexpr int kMaxTreeDepth = 400;

enum class ExprKind {
    Number,  // number
    String,  // text
    Date,    // text: as written between the # signs
    True,
    False,
    Empty,
    Null,
    Nothing,
    Name,        // text
    Member,      // left.text
    Call,        // left(args): a call, an index or a collection item
    WithObject,  // the object of the innermost With (".x" is Member of it)
    New,         // New text
    Unary,       // op left
    Binary,      // left op right
};

enum class Op {
    Neg,
    Not,
    Pow,
    Mul,
    Div,
    IntDiv,
    Mod,
    Add,
    Sub,
    Cat,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Is,
    And,
    Or,
    Xor,
    Eqv,
    Imp,
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    ExprKind kind = ExprKind::Empty;
    int line = 0;
    int depth = 1;
    Op op = Op::Add;
    double number = 0;
    std::string text;
    ExprPtr left;
    ExprPtr right;
    std::vector<ExprPtr> args;  // nullptr for an omitted argument ("F a, , c")
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

enum class StmtKind {
    Assign,   // target = value (isSet for Set)
    Call,     // target: a Call, Name or Member
    Dim,      // decls (names, array bounds)
    ReDim,    // decls, preserve
    Const,    // decls with values
    Erase,    // decls (names)
    If,       // arms, elseBody
    For,      // name = from To to Step step: body
    ForEach,  // For Each name In from: body
    Do,       // Do [While|Until cond] body Loop [While|Until cond]
    While,    // While cond: body
    Select,   // Select Case value: cases
    With,     // With value: body
    Exit,     // exitWhat
    OnError,  // resumeNext
    Problem,  // text: what could not be translated
};

enum class ExitWhat { For, Do, Sub, Function };

struct Declarator {
    std::string name;
    int line = 0;
    bool isArray = false;
    std::vector<ExprPtr> bounds;
    ExprPtr value;  // Const
};

struct IfArm {
    ExprPtr cond;
    Block body;
};

struct CaseArm {
    std::vector<ExprPtr> values;  // empty for Case Else
    Block body;
};

struct Stmt {
    StmtKind kind = StmtKind::Problem;
    int line = 0;
    ExprPtr target;
    ExprPtr value;
    bool isSet = false;
    std::string name;
    ExprPtr from, to, step;
    std::vector<Declarator> decls;
    bool preserve = false;
    std::vector<IfArm> arms;
    Block elseBody;
    std::vector<CaseArm> cases;
    Block body;
    ExprPtr cond;
    bool condAtTop = true;
    bool until = false;
    ExitWhat exitWhat = ExitWhat::Sub;
    bool resumeNext = false;
    std::string text;
};

struct Procedure {
    std::string name;
    int line = 0;
    bool isFunction = false;
    std::vector<std::string> params;
    Block body;
};

struct Program {
    std::vector<Procedure> procedures;
    Block main;  // top-level statements, or a handler's statements
};

struct Problem {
    int line = 0;
    std::string message;
};

// What could not be translated, in the order found. A hostile text can hold
// a problem on every line, so only the first kMaxListed are kept (and shown
// in the console), then one note that more followed.
class CProblemList {
public:
    static constexpr size_t kMaxListed = 100;
    // False once the list is full: the caller then writes no console message.
    bool Add(int line, std::string message);
    const std::vector<Problem>& Items() const { return m_items; }

private:
    std::vector<Problem> m_items;
    size_t m_count = 0;
};

}  // namespace vbs
