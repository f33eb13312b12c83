#include "browser/vbscript/emitter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <unordered_map>
#include <vector>

#include "browser/vbscript/names.h"

namespace vbs {

namespace {

// One UTF-8 character at text[*i] (advancing *i); U+FFFD for a malformed
// sequence, of which one byte is taken.
uint32_t DecodeUtf8(std::string_view text, size_t* i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(*i);
    if (lead < 0x80) {
        ++*i;
        return lead;
    }
    const int extra = lead >= 0xF0 && lead <= 0xF4   ? 3
                      : lead >= 0xE0 && lead <= 0xEF ? 2
                      : lead >= 0xC2 && lead <= 0xDF ? 1
                                                     : 0;
    uint32_t cp = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : lead & 0x1F;
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
        ok = *i + k < text.size() && (byte(*i + k) & 0xC0) == 0x80;
        if (ok)
            cp = (cp << 6) | (byte(*i + k) & 0x3F);
    }
    static const uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kShortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++*i;
        return 0xFFFD;
    }
    *i += extra + 1;
    return cp;
}

void AppendUnit(std::string* out, uint32_t unit) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", unit);
    *out += buf;
}

std::string FormatNumber(double value) {
    if (std::isinf(value))
        return value < 0 ? "-1e999" : "1e999";
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

std::string Hex8(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", value);
    return buf;
}

// The runtime's function for an operator.
const char* OpFunction(Op op) {
    static const char* const names[] = {"neg",  "not", "pow", "mul", "div", "idiv", "mod", "add",
                                        "sub",  "cat", "eq",  "ne",  "lt",  "gt",   "le",  "ge",
                                        "same", "and", "or",  "xor", "eqv", "imp"};
    static_assert(sizeof names / sizeof names[0] == static_cast<size_t>(Op::Imp) + 1);
    return names[static_cast<size_t>(op)];
}

// Whether the runtime gives the expression's value as a JavaScript boolean,
// so a condition needs no conversion.
bool IsBoolean(const Expr& e) {
    if (e.kind == ExprKind::True || e.kind == ExprKind::False)
        return true;
    if (e.kind == ExprKind::Unary)
        return e.op == Op::Not && IsBoolean(*e.left);
    if (e.kind != ExprKind::Binary)
        return false;
    if (e.op >= Op::Eq && e.op <= Op::Is)  // the comparisons
        return true;
    return (e.op == Op::And || e.op == Op::Or || e.op == Op::Xor) && IsBoolean(*e.left) &&
           IsBoolean(*e.right);
}

enum class NameKind { Var, Const, Proc, Hybrid };

struct NameInfo {
    NameKind kind = NameKind::Var;
    std::string js;
};

// How a name is reached from where it is used.
enum class RefKind {
    Variable,  // a JavaScript variable of this block or procedure
    Constant,  // the same, but not assignable
    Hybrid,    // an undeclared name a procedure assigns: its local unless a global exists
    Proc,      // a Sub or Function of this block
    Self,      // a Function's own name inside it: the return value
    Builtin,   // constant, runtime function or browser global (builtin says which)
    Me,
    Runtime,  // found by the runtime among the page's globals, whatever its case
};

struct Ref {
    RefKind kind = RefKind::Runtime;
    std::string js;
    std::string vb;
    const Builtin* builtin = nullptr;
};

struct Scope {
    enum Kind { Top, Proc, Handler } kind = Top;
    std::unordered_map<std::string, NameInfo> locals;
    const Procedure* proc = nullptr;
    std::string procJs;
    std::string suffix;  // of temporaries at the top level
    std::vector<std::string> temps;
    int labels = 0;
    bool onError = false;
    std::string errorFlag;
    struct Loop {
        bool isFor;
        std::string label;
    };
    std::vector<Loop> loops;
    std::vector<std::string> withs;
};

// Walks every statement of a block, nested blocks included.
void ForEachStmt(const Block& block, const std::function<void(const Stmt&)>& f) {
    for (const StmtPtr& s : block) {
        f(*s);
        for (const IfArm& arm : s->arms)
            ForEachStmt(arm.body, f);
        ForEachStmt(s->elseBody, f);
        for (const CaseArm& arm : s->cases)
            ForEachStmt(arm.body, f);
        ForEachStmt(s->body, f);
    }
}

class CEmitter {
public:
    CEmitter(const Program& program, EmitMode mode, uint32_t seed, CProblemList* problems)
        : m_program(program), m_mode(mode), m_problems(problems), m_suffix("_" + Hex8(seed)) {}

    std::string Run() {
        if (m_mode == EmitMode::Handler)
            return Handler();
        return Script();
    }

private:
    // --- output ---

    // Deep nesting stops indenting further, so the output stays near the
    // input's size.
    void Indent(std::string& out) const {
        out.append(static_cast<size_t>(std::min(m_indent, 16)) * 2, ' ');
    }
    void Line(std::string& out, const std::string& text) const {
        Indent(out);
        out += text;
        out += '\n';
    }

    void Warn(std::string& out, int line, const std::string& message) {
        if (message.empty())
            return;
        Line(out, "console.warn(" +
                      JsString("VBScript line " + std::to_string(line) + ": " + message) + ");");
    }
    void Problem(std::string& out, int line, const std::string& what) {
        if (m_problems->Add(line, what))
            Warn(out, line, what);
    }

    std::string Temp() {
        std::string name = "$t" + std::to_string(m_scope->temps.size() + 1) + m_scope->suffix;
        m_scope->temps.push_back(name);
        return name;
    }

    // --- declarations ---

    void Declare(std::unordered_map<std::string, NameInfo>* table, const std::string& vb,
                 NameKind kind) {
        std::string lower = AsciiLower(vb);
        auto it = table->find(lower);
        if (it == table->end()) {
            table->emplace(lower, NameInfo{kind, JsName(vb)});
            m_order.push_back(lower);
        } else if (kind == NameKind::Proc || kind == NameKind::Const) {
            it->second.kind = kind;
        }
    }

    // The Dim, ReDim and Const names of a block (not of its procedures).
    void DeclareFrom(const Block& block, std::unordered_map<std::string, NameInfo>* table) {
        ForEachStmt(block, [&](const Stmt& s) {
            if (s.kind == StmtKind::Dim || s.kind == StmtKind::ReDim || s.kind == StmtKind::Const)
                for (const Declarator& d : s.decls)
                    Declare(table, d.name,
                            s.kind == StmtKind::Const ? NameKind::Const : NameKind::Var);
        });
    }

    static bool HasOnError(const Block& block) {
        bool found = false;
        ForEachStmt(block, [&](const Stmt& s) { found = found || s.kind == StmtKind::OnError; });
        return found;
    }

    // A var line for each of a scope's constants, in their order: VBScript
    // knows them before their line runs.
    std::string ConstLines(const Block& block) {
        std::string out;
        ForEachStmt(block, [&](const Stmt& s) {
            if (s.kind != StmtKind::Const)
                return;
            for (const Declarator& d : s.decls) {
                Ref ref = Resolve(d.name);
                std::string value;
                Value(*d.value, value);
                Line(out, "var " + ref.js + " = " + value + ";");
            }
        });
        return out;
    }

    // --- the three kinds of output ---

    std::string Script() {
        Scope top;
        top.kind = Scope::Top;
        top.suffix = m_suffix;
        m_scope = &top;
        DeclareFrom(m_program.main, &m_globals);
        for (const Procedure& proc : m_program.procedures) {
            if (m_globals.count(AsciiLower(proc.name)) &&
                m_globals[AsciiLower(proc.name)].kind != NameKind::Proc)
                Problem(m_procProblems, proc.line, "name declared twice: " + proc.name);
            Declare(&m_globals, proc.name, NameKind::Proc);
        }
        top.onError = HasOnError(m_program.main);
        top.errorFlag = "$oe" + m_suffix;

        std::string body;
        EmitBlock(m_program.main, body);
        std::string consts = ConstLines(m_program.main);
        std::string procs;
        for (const Procedure& proc : m_program.procedures)
            procs += EmitProcedure(proc);
        m_scope = &top;

        std::string out;
        std::vector<std::string> vars, registered;
        for (const std::string& lower : m_order) {
            auto it = m_globals.find(lower);
            if (it == m_globals.end())
                continue;
            const NameInfo& info = it->second;
            if (info.kind == NameKind::Var)
                vars.push_back(info.js);
            registered.push_back(JsString(lower) + ": " + JsString(info.js));
        }
        if (!vars.empty())
            out += "var " + Join(vars) + ";\n";
        if (!registered.empty())
            out += "$vbs.decl({" + Join(registered) + "});\n";
        out += consts;
        std::vector<std::string> temps = top.temps;
        if (top.onError)
            temps.push_back(top.errorFlag + " = 0");
        if (!temps.empty())
            out += "var " + Join(temps) + ";\n";
        out += m_procProblems;
        out += procs;
        out += body;
        // Sub Button1_OnClick: bound once the element exists.
        for (const Procedure& proc : m_program.procedures) {
            size_t bar = proc.name.rfind('_');
            if (bar == std::string::npos || bar == 0 || bar + 1 == proc.name.size())
                continue;
            out += "$vbs.bind(" + JsString(proc.name.substr(0, bar)) + ", " +
                   JsString(proc.name.substr(bar + 1)) + ", " + JsName(proc.name) + ");\n";
        }
        return out;
    }

    std::string EmitProcedure(const Procedure& proc) {
        Scope scope;
        scope.kind = Scope::Proc;
        scope.proc = &proc;
        scope.procJs = JsName(proc.name);
        m_scope = &scope;
        std::vector<std::string> params;
        for (size_t i = 0; i < proc.params.size(); ++i) {
            std::string lower = AsciiLower(proc.params[i]);
            std::string js =
                scope.locals.count(lower) ? "$p" + std::to_string(i) : JsName(proc.params[i]);
            scope.locals.emplace(lower, NameInfo{NameKind::Var, js});
            params.push_back(js);
        }
        std::vector<std::string> order;
        m_order.swap(order);
        DeclareFrom(proc.body, &scope.locals);
        // Names the procedure assigns without declaring them are its own
        // unless the page has a global of that name when it is called.
        ForEachStmt(proc.body, [&](const Stmt& s) {
            std::vector<const std::string*> assigned;
            if (s.kind == StmtKind::Assign && s.target->kind == ExprKind::Name)
                assigned.push_back(&s.target->text);
            if (s.kind == StmtKind::For || s.kind == StmtKind::ForEach)
                assigned.push_back(&s.name);
            if (s.kind == StmtKind::ReDim)
                for (const Declarator& d : s.decls)
                    assigned.push_back(&d.name);
            for (const std::string* name : assigned) {
                Ref ref = Resolve(*name);
                if (ref.kind == RefKind::Runtime)
                    Declare(&scope.locals, *name, NameKind::Hybrid);
            }
        });
        std::vector<std::string> locals;
        if (proc.isFunction)
            locals.push_back("$r");
        for (const std::string& lower : m_order) {
            const NameInfo& info = scope.locals[lower];
            if (info.kind == NameKind::Var)
                locals.push_back(info.js);
            else if (info.kind == NameKind::Hybrid)
                locals.push_back(info.js + ", $h_" + info.js + " = $vbs.has(" + JsString(lower) +
                                 ")");
        }
        m_order.swap(order);
        scope.onError = HasOnError(proc.body);
        scope.errorFlag = "$oe";

        ++m_indent;
        std::string body;
        EmitBlock(proc.body, body);
        std::string consts = ConstLines(proc.body);
        if (proc.isFunction)
            Line(body, "return $r;");
        for (const std::string& temp : scope.temps)
            locals.push_back(temp);
        if (scope.onError)
            locals.push_back("$oe = 0");
        std::string head;
        if (!locals.empty())
            Line(head, "var " + Join(locals) + ";");
        --m_indent;
        return "function " + scope.procJs + "(" + Join(params) + ") {\n" + head + consts + body +
               "}\n";
    }

    std::string Handler() {
        Scope scope;
        scope.kind = Scope::Handler;
        m_scope = &scope;
        DeclareFrom(m_program.main, &scope.locals);
        scope.onError = HasOnError(m_program.main);
        scope.errorFlag = "$oe";
        std::string body;
        EmitBlock(m_program.main, body);
        std::vector<std::string> vars;
        for (const std::string& lower : m_order)
            if (scope.locals[lower].kind == NameKind::Var)
                vars.push_back(scope.locals[lower].js);
        for (const std::string& temp : scope.temps)
            vars.push_back(temp);
        if (scope.onError)
            vars.push_back("$oe = 0");
        std::string out;
        if (!vars.empty())
            out += "var " + Join(vars) + ";\n";
        out += ConstLines(m_program.main);
        return out + body;
    }

    static std::string Join(const std::vector<std::string>& items) {
        std::string joined;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i)
                joined += ", ";
            joined += items[i];
        }
        return joined;
    }

    // --- names ---

    Ref Resolve(const std::string& vb) {
        std::string lower = AsciiLower(vb);
        Ref ref;
        ref.vb = vb;
        if (lower == "me") {
            ref.kind = RefKind::Me;
            return ref;
        }
        const Scope& scope = *m_scope;
        if (scope.kind == Scope::Proc && scope.proc->isFunction &&
            lower == AsciiLower(scope.proc->name)) {
            ref.kind = RefKind::Self;
            ref.js = scope.procJs;
            return ref;
        }
        auto local = scope.locals.find(lower);
        if (local != scope.locals.end()) {
            ref.js = local->second.js;
            ref.kind = local->second.kind == NameKind::Const    ? RefKind::Constant
                       : local->second.kind == NameKind::Hybrid ? RefKind::Hybrid
                                                                : RefKind::Variable;
            return ref;
        }
        if (m_mode == EmitMode::Script) {
            auto global = m_globals.find(lower);
            if (global != m_globals.end()) {
                ref.js = global->second.js;
                ref.kind = global->second.kind == NameKind::Proc    ? RefKind::Proc
                           : global->second.kind == NameKind::Const ? RefKind::Constant
                                                                    : RefKind::Variable;
                return ref;
            }
        }
        if (const Builtin* builtin = FindBuiltin(lower)) {
            ref.kind = RefKind::Builtin;
            ref.builtin = builtin;
            ref.js = builtin->kind == BuiltinKind::Function ? std::string("$vbs.") + builtin->value
                                                            : builtin->value;
            return ref;
        }
        ref.kind = RefKind::Runtime;
        return ref;
    }

    // The name's value: a Function or Sub named alone is called.
    std::string ReadName(const Ref& ref) {
        switch (ref.kind) {
            case RefKind::Variable:
            case RefKind::Constant:
                return ref.js;
            case RefKind::Hybrid:
                return "($h_" + ref.js + " ? $vbs.v(" + JsString(ref.vb) + ") : " + ref.js + ")";
            case RefKind::Proc:
                return ref.js + "()";
            case RefKind::Self:
                return "$r";
            case RefKind::Builtin:
                return ref.builtin->kind == BuiltinKind::Function ? ref.js + "()" : ref.js;
            case RefKind::Me:
                return "this";
            case RefKind::Runtime:
                return "$vbs.v(" + JsString(ref.vb) + ")";
        }
        return "void 0";
    }

    // What the name holds, never called: the target of an index or call.
    std::string RawName(const Ref& ref) {
        switch (ref.kind) {
            case RefKind::Hybrid:
                return "($h_" + ref.js + " ? $vbs.g(" + JsString(ref.vb) + ") : " + ref.js + ")";
            case RefKind::Proc:
                return ref.js;
            case RefKind::Builtin:
                return ref.js;
            case RefKind::Runtime:
                return "$vbs.g(" + JsString(ref.vb) + ")";
            default:
                return ReadName(ref);
        }
    }

    // An expression storing value in the name; empty when the name can't be
    // assigned.
    std::string WriteName(const Ref& ref, const std::string& value) {
        switch (ref.kind) {
            case RefKind::Variable:
                return ref.js + " = " + value;
            case RefKind::Hybrid:
                return "(" + ref.js + " = " + value + ", $h_" + ref.js + " && $vbs.s(" +
                       JsString(ref.vb) + ", " + ref.js + "))";
            case RefKind::Self:
                return "$r = " + value;
            case RefKind::Runtime:
                return "$vbs.s(" + JsString(ref.vb) + ", " + value + ")";
            case RefKind::Builtin:
                if (ref.builtin->kind == BuiltinKind::Host && ref.js.rfind("window.", 0) == 0)
                    return "$vbs.ms(window, " + JsString(ref.js.substr(7)) + ", " + value + ")";
                return "";
            default:
                return "";
        }
    }

    // --- expressions ---

    void Args(const std::vector<ExprPtr>& args, std::string& out) {
        for (size_t i = 0; i < args.size(); ++i) {
            if (i)
                out += ", ";
            if (args[i])
                Value(*args[i], out);
            else
                out += "void 0";
        }
    }

    void Object(const Expr& e, std::string& out) {
        if (e.kind == ExprKind::WithObject)
            out += m_scope->withs.empty() ? "void 0" : m_scope->withs.back();
        else
            Value(e, out);
    }

    void Raw(const Expr& e, std::string& out) {
        if (e.kind == ExprKind::Name)
            out += RawName(Resolve(e.text));
        else
            Value(e, out);
    }

    void Value(const Expr& e, std::string& out) {
        switch (e.kind) {
            case ExprKind::Number:
                out += FormatNumber(e.number);
                return;
            case ExprKind::String:
                out += JsString(e.text);
                return;
            case ExprKind::Date:
                out += "$vbs.dl(" + JsString(e.text) + ")";
                return;
            case ExprKind::True:
                out += "true";
                return;
            case ExprKind::False:
                out += "false";
                return;
            case ExprKind::Empty:
                out += "void 0";
                return;
            case ExprKind::Null:
                out += "$vbs.Null";
                return;
            case ExprKind::Nothing:
                out += "null";
                return;
            case ExprKind::Name:
                out += ReadName(Resolve(e.text));
                return;
            case ExprKind::WithObject:
                Object(e, out);
                return;
            case ExprKind::Member:
                out += "$vbs.m(";
                Object(*e.left, out);
                out += ", " + JsString(e.text) + ")";
                return;
            case ExprKind::New:
                out += "$vbs.New(" + JsString(e.text) + ")";
                return;
            case ExprKind::Call:
                Call(e, out);
                return;
            case ExprKind::Unary:
                if (e.op == Op::Neg && e.left->kind == ExprKind::Number) {
                    out += FormatNumber(-e.left->number);
                    return;
                }
                out += std::string("$vbs.") + OpFunction(e.op) + "(";
                Value(*e.left, out);
                out += ")";
                return;
            case ExprKind::Binary:
                out += std::string("$vbs.") + OpFunction(e.op) + "(";
                Value(*e.left, out);
                out += ", ";
                Value(*e.right, out);
                out += ")";
                return;
        }
    }

    void Call(const Expr& e, std::string& out) {
        const Expr& callee = *e.left;
        if (callee.kind == ExprKind::Name) {
            Ref ref = Resolve(callee.text);
            bool direct =
                ref.kind == RefKind::Proc || ref.kind == RefKind::Self ||
                (ref.kind == RefKind::Builtin && ref.builtin->kind == BuiltinKind::Function);
            if (direct) {
                out += ref.js + "(";
                Args(e.args, out);
                out += ")";
                return;
            }
            out += "$vbs.i(" + RawName(ref) + ", [";
        } else if (callee.kind == ExprKind::Member) {
            out += "$vbs.mc(";
            Object(*callee.left, out);
            out += ", " + JsString(callee.text) + ", [";
        } else {
            out += "$vbs.i(";
            Value(callee, out);
            out += ", [";
        }
        Args(e.args, out);
        out += "])";
    }

    std::string ValueOf(const Expr& e) {
        std::string out;
        Value(e, out);
        return out;
    }

    std::string Cond(const Expr& e) {
        return IsBoolean(e) ? ValueOf(e) : "$vbs.cb(" + ValueOf(e) + ")";
    }

    // --- statements ---

    void EmitBlock(const Block& block, std::string& out) {
        for (const StmtPtr& s : block)
            EmitStmt(*s, out);
    }

    void EmitStmt(const Stmt& s, std::string& out) {
        bool guarded = m_scope->onError && s.kind != StmtKind::Problem &&
                       s.kind != StmtKind::OnError && s.kind != StmtKind::Const &&
                       !(s.kind == StmtKind::Dim && !HasArray(s));
        if (!guarded) {
            EmitPlain(s, out);
            return;
        }
        // On Error Resume Next: a statement that fails is left for the next.
        Line(out, "try {");
        ++m_indent;
        EmitPlain(s, out);
        --m_indent;
        Line(out, "} catch ($e) { $vbs.oe(" + m_scope->errorFlag + ", $e); }");
    }

    static bool HasArray(const Stmt& s) {
        for (const Declarator& d : s.decls)
            if (d.isArray)
                return true;
        return false;
    }

    void EmitPlain(const Stmt& s, std::string& out) {
        switch (s.kind) {
            case StmtKind::Assign:
                Assign(s, out);
                return;
            case StmtKind::Call:
                CallStatement(s, out);
                return;
            case StmtKind::Dim:
                for (const Declarator& d : s.decls) {
                    if (!d.isArray)
                        continue;
                    std::string bounds;
                    Args(d.bounds, bounds);
                    Store(out, s.line, d.name, "$vbs.dim(" + bounds + ")");
                }
                return;
            case StmtKind::ReDim:
                for (const Declarator& d : s.decls) {
                    std::string bounds;
                    Args(d.bounds, bounds);
                    Store(out, s.line, d.name,
                          "$vbs.redim(" + RawName(Resolve(d.name)) + ", " +
                              (s.preserve ? "true" : "false") + ", [" + bounds + "])");
                }
                return;
            case StmtKind::Erase:
                for (const Declarator& d : s.decls)
                    Store(out, s.line, d.name, "$vbs.erase(" + RawName(Resolve(d.name)) + ")");
                return;
            case StmtKind::Const:
                return;
            case StmtKind::If:
                If(s, out);
                return;
            case StmtKind::For:
                For(s, out);
                return;
            case StmtKind::ForEach:
                ForEach(s, out);
                return;
            case StmtKind::Do:
                Do(s, out);
                return;
            case StmtKind::While:
                Line(out, "while (" + Cond(*s.cond) + ") {");
                Body(s.body, out);
                Line(out, "}");
                return;
            case StmtKind::Select:
                Select(s, out);
                return;
            case StmtKind::With: {
                std::string temp = Temp();
                Line(out, temp + " = " + ValueOf(*s.value) + ";");
                m_scope->withs.push_back(temp);
                EmitBlock(s.body, out);
                m_scope->withs.pop_back();
                return;
            }
            case StmtKind::Exit:
                Exit(s, out);
                return;
            case StmtKind::OnError:
                Line(out,
                     m_scope->errorFlag + (s.resumeNext ? " = 1" : " = 0") + "; $vbs.Err.Clear();");
                return;
            case StmtKind::Problem:
                Warn(out, s.line, s.text);
                return;
        }
    }

    void Body(const Block& body, std::string& out) {
        ++m_indent;
        EmitBlock(body, out);
        --m_indent;
    }

    // name = value as a statement, or a problem when the name can't take it.
    void Store(std::string& out, int line, const std::string& name, const std::string& value) {
        std::string code = WriteName(Resolve(name), value);
        if (code.empty())
            Problem(out, line, "can't assign to " + name);
        else
            Line(out, code + ";");
    }

    void Assign(const Stmt& s, std::string& out) {
        const Expr& target = *s.target;
        std::string value = ValueOf(*s.value);
        // VBScript arrays are values: b = a copies.
        if (!s.isSet && s.value->kind == ExprKind::Name) {
            RefKind kind = Resolve(s.value->text).kind;
            if (kind == RefKind::Variable || kind == RefKind::Hybrid || kind == RefKind::Runtime ||
                kind == RefKind::Self)
                value = "$vbs.cp(" + value + ")";
        }
        switch (target.kind) {
            case ExprKind::Name:
                Store(out, s.line, target.text, value);
                return;
            case ExprKind::Member: {
                std::string obj;
                Object(*target.left, obj);
                Line(out, "$vbs.ms(" + obj + ", " + JsString(target.text) + ", " + value + ");");
                return;
            }
            case ExprKind::Call: {
                const Expr& callee = *target.left;
                std::string args;
                Args(target.args, args);
                if (callee.kind == ExprKind::Member) {
                    std::string obj;
                    Object(*callee.left, obj);
                    Line(out, "$vbs.mis(" + obj + ", " + JsString(callee.text) + ", [" + args +
                                  "], " + value + ");");
                    return;
                }
                if (callee.kind == ExprKind::Name) {
                    Ref ref = Resolve(callee.text);
                    if (ref.kind == RefKind::Proc ||
                        (ref.kind == RefKind::Builtin && ref.builtin->kind != BuiltinKind::Host)) {
                        Problem(out, s.line, "can't assign to " + callee.text);
                        return;
                    }
                }
                std::string element;
                Raw(callee, element);
                Line(out, "$vbs.is(" + element + ", [" + args + "], " + value + ");");
                return;
            }
            default:
                Problem(out, s.line, "can't assign to this");
                return;
        }
    }

    void CallStatement(const Stmt& s, std::string& out) {
        const Expr& target = *s.target;
        if (target.kind == ExprKind::Call) {
            Line(out, ValueOf(target) + ";");
            return;
        }
        if (target.kind == ExprKind::Member) {
            std::string obj;
            Object(*target.left, obj);
            Line(out, "$vbs.mc(" + obj + ", " + JsString(target.text) + ", []);");
            return;
        }
        if (target.kind == ExprKind::Name) {
            Ref ref = Resolve(target.text);
            if (ref.kind == RefKind::Proc || ref.kind == RefKind::Self ||
                (ref.kind == RefKind::Builtin && ref.builtin->kind == BuiltinKind::Function)) {
                Line(out, ref.js + "();");
                return;
            }
            Line(out, "$vbs.i(" + RawName(ref) + ", []);");
            return;
        }
        Line(out, ValueOf(target) + ";");
    }

    void If(const Stmt& s, std::string& out) {
        for (size_t i = 0; i < s.arms.size(); ++i) {
            std::string cond = Cond(*s.arms[i].cond);
            Line(out, (i == 0 ? "if (" : "} else if (") + cond + ") {");
            Body(s.arms[i].body, out);
        }
        if (!s.elseBody.empty()) {
            Line(out, "} else {");
            Body(s.elseBody, out);
        }
        Line(out, "}");
    }

    std::string Label(bool isFor) {
        std::string label = "$L" + std::to_string(++m_scope->labels);
        m_scope->loops.push_back(Scope::Loop{isFor, label});
        return label;
    }

    void For(const Stmt& s, std::string& out) {
        Ref counter = Resolve(s.name);
        std::string start = Temp(), end = Temp(), step = Temp();
        std::string read = ReadName(counter);
        std::string init = WriteName(counter, start);
        std::string advance = WriteName(counter, "$vbs.num(" + read + ") + " + step);
        if (init.empty()) {
            Problem(out, s.line, "can't use " + s.name + " as a For counter");
            return;
        }
        // The bounds and the step are evaluated once, before the loop.
        Line(out, start + " = $vbs.num(" + ValueOf(*s.from) + "); " + end + " = $vbs.num(" +
                      ValueOf(*s.to) + "); " + step + " = " +
                      (s.step ? "$vbs.num(" + ValueOf(*s.step) + ")" : std::string("1")) + ";");
        Line(out, init + ";");
        std::string label = Label(true);
        Line(out, label + ": for (; " + step + " < 0 ? " + read + " >= " + end + " : " + read +
                      " <= " + end + "; " + advance + ") {");
        Body(s.body, out);
        Line(out, "}");
        m_scope->loops.pop_back();
    }

    void ForEach(const Stmt& s, std::string& out) {
        Ref counter = Resolve(s.name);
        std::string items = Temp(), index = Temp();
        std::string take = WriteName(counter, items + "[" + index + "]");
        if (take.empty()) {
            Problem(out, s.line, "can't use " + s.name + " as a For Each variable");
            return;
        }
        Line(out, items + " = $vbs.each(" + ValueOf(*s.from) + ");");
        std::string label = Label(true);
        Line(out, label + ": for (" + index + " = 0; " + index + " < " + items + ".length; " +
                      index + "++) {");
        ++m_indent;
        Line(out, take + ";");
        --m_indent;
        Body(s.body, out);
        Line(out, "}");
        m_scope->loops.pop_back();
    }

    void Do(const Stmt& s, std::string& out) {
        std::string cond;
        if (s.cond)
            cond = s.until ? "!(" + Cond(*s.cond) + ")" : Cond(*s.cond);
        std::string label = Label(false);
        if (!s.cond)
            Line(out, label + ": for (;;) {");
        else if (s.condAtTop)
            Line(out, label + ": while (" + cond + ") {");
        else
            Line(out, label + ": do {");
        Body(s.body, out);
        Line(out, s.cond && !s.condAtTop ? "} while (" + cond + ");" : "}");
        m_scope->loops.pop_back();
    }

    void Select(const Stmt& s, std::string& out) {
        std::string subject = Temp();
        Line(out, subject + " = " + ValueOf(*s.value) + ";");
        bool first = true;
        const CaseArm* elseArm = nullptr;
        for (const CaseArm& arm : s.cases) {
            if (arm.values.empty()) {
                if (!elseArm)
                    elseArm = &arm;
                continue;
            }
            std::string test;
            for (size_t i = 0; i < arm.values.size(); ++i) {
                if (i)
                    test += " || ";
                test += "$vbs.eq(" + subject + ", " + ValueOf(*arm.values[i]) + ")";
            }
            Line(out, (first ? "if (" : "} else if (") + test + ") {");
            Body(arm.body, out);
            first = false;
        }
        if (elseArm) {
            Line(out, first ? "{" : "} else {");
            Body(elseArm->body, out);
            first = false;
        }
        if (!first)
            Line(out, "}");
    }

    void Exit(const Stmt& s, std::string& out) {
        if (s.exitWhat == ExitWhat::For || s.exitWhat == ExitWhat::Do) {
            bool isFor = s.exitWhat == ExitWhat::For;
            for (auto it = m_scope->loops.rbegin(); it != m_scope->loops.rend(); ++it) {
                if (it->isFor == isFor) {
                    Line(out, "break " + it->label + ";");
                    return;
                }
            }
            Problem(out, s.line, isFor ? "Exit For outside For" : "Exit Do outside Do");
            return;
        }
        if (m_scope->kind == Scope::Proc)
            Line(out, m_scope->proc->isFunction ? "return $r;" : "return;");
        else if (m_scope->kind == Scope::Handler)
            Line(out, "return;");
        else
            Problem(out, s.line, "Exit Sub outside a procedure");
    }

    const Program& m_program;
    EmitMode m_mode;
    CProblemList* m_problems;
    std::string m_suffix;
    Scope* m_scope = nullptr;
    std::unordered_map<std::string, NameInfo> m_globals;
    std::vector<std::string> m_order;  // lower-case names in declaration order
    std::string m_procProblems;
    int m_indent = 0;
};

}  // namespace

std::string JsString(std::string_view utf8) {
    std::string out = "\"";
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp = DecodeUtf8(utf8, &i);
        switch (cp) {
            case '"':
                out += "\\\"";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (cp >= 0x20 && cp < 0x7F && cp != '<' && cp != '>') {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x10000) {
            AppendUnit(&out, cp);
        } else {
            cp -= 0x10000;
            AppendUnit(&out, 0xD800 + (cp >> 10));
            AppendUnit(&out, 0xDC00 + (cp & 0x3FF));
        }
    }
    out += "\"";
    return out;
}

std::string EmitJs(const Program& program, EmitMode mode, uint32_t seed, CProblemList* problems) {
    return CEmitter(program, mode, seed, problems).Run();
}

}  // namespace vbs
