#include "browser/vbscript/parser.h"

#include <algorithm>
#include <utility>

#include "browser/vbscript/names.h"

namespace vbs {

bool CProblemList::Add(int line, std::string message) {
    ++m_count;
    if (m_count <= kMaxListed) {
        m_items.push_back(Problem{line, std::move(message)});
        return true;
    }
    if (m_count == kMaxListed + 1)
        m_items.push_back(Problem{line, "further problems not listed"});
    return false;
}

namespace {

// Recursion of the parser's own functions; each level of nesting in the
// text costs two or three of them.
constexpr int kMaxParseDepth = 200;
// Quoted source text in a problem, in bytes.
constexpr size_t kMaxQuote = 80;

struct SyntaxError {
    int line;
    std::string message;
};

// Constructs whose closing line (End If, Next, ...) ends the statement list
// inside them.
enum class Open { If, For, Do, While, Select, With, Proc };

// Operator precedence, loosest first; unary Not sits between And and the
// comparisons, unary minus between * and ^.
constexpr int kPrecNot = 6;
constexpr int kPrecNeg = 13;

class CParser {
public:
    CParser(const std::vector<Token>& tokens, std::string_view source, bool handler,
            CProblemList* problems)
        : m_t(tokens), m_handler(handler), m_problems(problems) {
        size_t start = 0;
        for (size_t i = 0; i <= source.size(); ++i) {
            if (i == source.size() || source[i] == '\n' || source[i] == '\r') {
                m_lines.push_back(source.substr(start, i - start));
                if (i + 1 < source.size() && source[i] == '\r' && source[i + 1] == '\n')
                    ++i;
                start = i + 1;
            }
        }
    }

    Program Run() {
        m_program.main = ParseBlock();
        return std::move(m_program);
    }

private:
    // Counts one level of the parser's recursion for as long as it lives.
    class CDepth {
    public:
        explicit CDepth(CParser* parser) : m_parser(parser) {
            if (++m_parser->m_depth > kMaxParseDepth) {
                --m_parser->m_depth;
                m_parser->Fail("nested too deeply");
            }
        }
        ~CDepth() { --m_parser->m_depth; }
        CDepth(const CDepth&) = delete;
        CDepth& operator=(const CDepth&) = delete;

    private:
        CParser* m_parser;
    };

    // --- tokens ---

    const Token& Tok(size_t ahead = 0) const {
        return m_t[std::min(m_pos + ahead, m_t.size() - 1)];
    }
    void Next() {
        if (m_pos + 1 < m_t.size())
            ++m_pos;
    }
    bool Word(std::string_view lower, size_t ahead = 0) const { return IsWord(Tok(ahead), lower); }
    bool Sym(std::string_view symbol) const { return IsSymbol(Tok(), symbol); }
    bool AtLineEnd() const {
        return Tok().kind == TokenKind::Newline || Tok().kind == TokenKind::End;
    }
    bool AtStatementEnd() const {
        return AtLineEnd() || Tok().kind == TokenKind::Colon || (m_singleLine > 0 && Word("else"));
    }

    [[noreturn]] void Fail(std::string message) const {
        if (Tok().kind == TokenKind::Invalid)
            message = Tok().text;
        throw SyntaxError{Tok().line, std::move(message)};
    }
    void Expect(std::string_view symbol) {
        if (!Sym(symbol))
            Fail("expected '" + std::string(symbol) + "'");
        Next();
    }
    void ExpectWord(std::string_view lower, const char* shown) {
        if (!Word(lower))
            Fail(std::string("expected ") + shown);
        Next();
    }
    void ExpectStatementEnd() {
        if (!AtStatementEnd())
            Fail("expected the end of the statement");
    }

    void SkipStatement() {
        while (!AtStatementEnd())
            Next();
    }
    void SkipLine() {
        while (!AtLineEnd())
            Next();
    }
    void SkipSeparators() {
        while (Tok().kind == TokenKind::Newline || Tok().kind == TokenKind::Colon)
            Next();
    }

    // --- problems ---

    std::string Quote(int line) const {
        if (line < 1 || static_cast<size_t>(line) > m_lines.size())
            return "";
        std::string_view text = m_lines[line - 1];
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        if (text.size() > kMaxQuote) {
            size_t cut = kMaxQuote;
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut;
            return std::string(text.substr(0, cut)) + "...";
        }
        return std::string(text);
    }

    StmtPtr MakeProblem(int line, const std::string& what) {
        auto stmt = std::make_unique<Stmt>();
        stmt->kind = StmtKind::Problem;
        stmt->line = line;
        std::string message = what + ": " + Quote(line);
        if (m_problems->Add(line, message))
            stmt->text = std::move(message);
        return stmt;
    }
    // A problem found after the statement it belongs to was built, written
    // after that statement.
    void Later(int line, const std::string& what) { m_later.push_back(MakeProblem(line, what)); }

    // --- nodes ---

    ExprPtr Node(ExprKind kind, int line) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->line = line;
        return e;
    }
    // Fixes the node's depth from its children; refuses a tree too deep for
    // the recursive walks after the parser.
    ExprPtr Done(ExprPtr e) {
        int depth = 0;
        for (const ExprPtr* child : {&e->left, &e->right})
            if (*child)
                depth = std::max(depth, (*child)->depth);
        for (const ExprPtr& arg : e->args)
            if (arg)
                depth = std::max(depth, arg->depth);
        e->depth = depth + 1;
        if (e->depth > kMaxTreeDepth)
            throw SyntaxError{e->line, "expression nested too deeply"};
        return e;
    }
    StmtPtr NewStmt(StmtKind kind) {
        auto s = std::make_unique<Stmt>();
        s->kind = kind;
        s->line = Tok().line;
        return s;
    }

    // --- names ---

    static bool IsLiteralWord(std::string_view lower) {
        return lower == "true" || lower == "false" || lower == "empty" || lower == "null" ||
               lower == "nothing";
    }
    // A name being declared.
    std::string TakeName() {
        const Token& t = Tok();
        if (t.kind != TokenKind::Identifier)
            Fail("expected a name");
        std::string lower = AsciiLower(t.text);
        if (!t.bracketed && (IsReservedWord(lower) || IsLiteralWord(lower)))
            Fail("'" + t.text + "' can't be a name");
        std::string name = t.text;
        Next();
        return name;
    }
    // The name after a '.': any word, keywords included (obj.Next).
    std::string TakeMemberName() {
        if (Tok().kind != TokenKind::Identifier)
            Fail("expected a name after '.'");
        std::string name = Tok().text;
        Next();
        return name;
    }

    // --- statement lists ---

    // Whether the line starts with what closes a construct of that kind
    // (End If, Next, Case, ...; a new Sub closes an unterminated one).
    bool CloserKind(Open* kind) const {
        if (Word("end")) {
            if (Word("if", 1))
                *kind = Open::If;
            else if (Word("select", 1))
                *kind = Open::Select;
            else if (Word("with", 1))
                *kind = Open::With;
            else if (Word("sub", 1) || Word("function", 1))
                *kind = Open::Proc;
            else
                return false;
            return true;
        }
        struct Closer {
            const char* word;
            Open kind;
        };
        static const Closer closers[] = {{"next", Open::For},   {"loop", Open::Do},
                                         {"wend", Open::While}, {"else", Open::If},
                                         {"elseif", Open::If},  {"case", Open::Select},
                                         {"sub", Open::Proc},   {"function", Open::Proc}};
        for (const Closer& c : closers) {
            if (Word(c.word)) {
                *kind = c.kind;
                return true;
            }
        }
        if ((Word("public") || Word("private")) && (Word("sub", 1) || Word("function", 1))) {
            *kind = Open::Proc;
            return true;
        }
        return false;
    }
    bool IsOpen(Open kind) const {
        return std::find(m_open.begin(), m_open.end(), kind) != m_open.end();
    }
    bool ClosesOpen() const {
        Open kind;
        return CloserKind(&kind) && IsOpen(kind);
    }

    // Statements up to the end of the text or a line that closes an open
    // construct (left for that construct to take).
    Block ParseBlock() {
        Block block;
        for (;;) {
            SkipSeparators();
            if (Tok().kind == TokenKind::End || ClosesOpen())
                return block;
            size_t before = m_pos;
            ParseStatementInto(&block);
            if (m_pos == before)
                Next();
        }
    }

    Block ParseBody(Open kind) {
        m_open.push_back(kind);
        Block body = ParseBlock();
        m_open.pop_back();
        return body;
    }

    void ParseStatementInto(Block* block) {
        int line = Tok().line;
        try {
            CDepth depth(this);
            StmtPtr stmt = ParseStatement();
            // A construct cut short by an outer one's closing line ends there.
            if (!ClosesOpen())
                ExpectStatementEnd();
            if (stmt)
                block->push_back(std::move(stmt));
        } catch (const SyntaxError& e) {
            block->push_back(MakeProblem(e.line ? e.line : line, e.message));
            SkipStatement();
        }
        for (StmtPtr& later : m_later)
            block->push_back(std::move(later));
        m_later.clear();
    }

    // A block construct's first line. When it can't be parsed the construct's
    // body is still read up to its closing line (so that line doesn't close
    // something else) and the whole construct becomes a problem.
    template <typename F>
    bool Header(F&& parse, std::string* problem) {
        try {
            parse();
            ExpectStatementEnd();
            return true;
        } catch (const SyntaxError& e) {
            *problem = e.message;
            SkipLine();
            return false;
        }
    }

    StmtPtr ParseStatement() {
        const Token& t = Tok();
        if (t.kind == TokenKind::Symbol && t.text == ".")
            return ParseCallOrAssign(false, false);
        if (t.kind != TokenKind::Identifier)
            Fail(t.kind == TokenKind::Invalid ? t.text : "expected a statement");
        if (t.bracketed)
            return ParseCallOrAssign(false, false);
        std::string w = AsciiLower(t.text);
        if (m_singleLine > 0 && (w == "for" || w == "do" || w == "while" || w == "select" ||
                                 w == "with" || w == "sub" || w == "function"))
            Fail(t.text + " inside a one-line If");
        if (w == "dim") {
            Next();
            return ParseDeclarators(StmtKind::Dim);
        }
        if (w == "public" || w == "private") {
            if (Word("sub", 1) || Word("function", 1))
                return ParseProcedure();
            Next();
            if (Word("const")) {
                Next();
                return ParseDeclarators(StmtKind::Const);
            }
            return ParseDeclarators(StmtKind::Dim);
        }
        if (w == "const") {
            Next();
            return ParseDeclarators(StmtKind::Const);
        }
        if (w == "redim") {
            Next();
            bool preserve = Word("preserve");
            if (preserve)
                Next();
            StmtPtr s = ParseDeclarators(StmtKind::ReDim);
            s->preserve = preserve;
            return s;
        }
        if (w == "erase") {
            Next();
            return ParseDeclarators(StmtKind::Erase);
        }
        if (w == "sub" || w == "function")
            return ParseProcedure();
        if (w == "if")
            return ParseIf();
        if (w == "for")
            return ParseFor();
        if (w == "do")
            return ParseDo();
        if (w == "while")
            return ParseWhile();
        if (w == "select")
            return ParseSelect();
        if (w == "with")
            return ParseWith();
        if (w == "exit")
            return ParseExit();
        if (w == "on")
            return ParseOnError();
        if (w == "call") {
            Next();
            return ParseCallOrAssign(false, true);
        }
        if (w == "set" || w == "let") {
            Next();
            return ParseCallOrAssign(w == "set", false, true);
        }
        if (w == "option") {
            Next();
            ExpectWord("explicit", "Explicit");
            return nullptr;
        }
        if (w == "stop") {  // a breakpoint for a debugger the page doesn't have
            Next();
            return nullptr;
        }
        if (w == "goto" || w == "resume")
            Fail(t.text + " is not supported");
        if (w == "class")
            return SkipUnsupportedBlock("class", "Class is not supported");
        if (w == "property")
            return SkipUnsupportedBlock("property", "Property outside a Class");
        if (w == "end")
            Fail(Word("if", 1) || Word("select", 1) || Word("with", 1) || Word("sub", 1) ||
                         Word("function", 1)
                     ? "End " + Tok(1).text + " without its start"
                     : "unknown statement End");
        if (IsReservedWord(w))
            Fail("unexpected " + t.text);
        return ParseCallOrAssign(false, false);
    }

    // Class and Property blocks: skipped to their End line as one problem,
    // so their insides don't turn into problems of their own.
    StmtPtr SkipUnsupportedBlock(std::string_view endWord, const std::string& what) {
        int line = Tok().line;
        while (Tok().kind != TokenKind::End && !(Word("end") && Word(endWord, 1)))
            Next();
        if (Tok().kind != TokenKind::End) {
            Next();
            Next();
        }
        return MakeProblem(line, what);
    }

    StmtPtr ParseDeclarators(StmtKind kind) {
        StmtPtr s = NewStmt(kind);
        for (;;) {
            Declarator d;
            d.line = Tok().line;
            d.name = TakeName();
            if (kind == StmtKind::Const) {
                Expect("=");
                d.value = ParseExpr();
            } else if (kind != StmtKind::Erase && Sym("(")) {
                Next();
                d.isArray = true;
                if (!Sym(")")) {
                    d.bounds.push_back(ParseExpr());
                    while (Sym(",")) {
                        Next();
                        d.bounds.push_back(ParseExpr());
                    }
                }
                Expect(")");
            }
            if (kind == StmtKind::ReDim && d.bounds.empty())
                Fail("ReDim without bounds");
            s->decls.push_back(std::move(d));
            if (!Sym(","))
                return s;
            Next();
        }
    }

    StmtPtr ParseProcedure() {
        int line = Tok().line;
        if (Word("public") || Word("private"))
            Next();
        bool isFunction = Word("function");
        std::string kindWord = isFunction ? "Function" : "Sub";
        if (m_handler || !m_open.empty())
            Fail(kindWord + " inside " + (m_handler ? "an event handler" : "a block"));
        Next();
        Procedure proc;
        proc.line = line;
        proc.isFunction = isFunction;
        std::string problem;
        bool ok = Header(
            [&] {
                proc.name = TakeName();
                if (Sym("(")) {
                    Next();
                    while (!Sym(")")) {
                        if (Word("byval") || Word("byref"))
                            Next();
                        proc.params.push_back(TakeName());
                        if (Sym("(")) {  // an array parameter: a(
                            Next();
                            Expect(")");
                        }
                        if (!Sym(","))
                            break;
                        Next();
                    }
                    Expect(")");
                }
            },
            &problem);
        if (!ok)
            proc.body.push_back(MakeProblem(line, problem));
        Block body = ParseBody(Open::Proc);
        for (StmtPtr& s : body)
            proc.body.push_back(std::move(s));
        if (Word("end") && (Word("sub", 1) || Word("function", 1))) {
            Next();
            Next();
        } else {
            Later(line, kindWord + " without End " + kindWord);
        }
        if (!proc.name.empty())
            m_program.procedures.push_back(std::move(proc));
        return nullptr;
    }

    StmtPtr ParseIf() {
        StmtPtr s = NewStmt(StmtKind::If);
        int line = s->line;
        Next();
        IfArm first;
        std::string problem;
        try {
            first.cond = ParseExpr();
            ExpectWord("then", "Then");
        } catch (const SyntaxError& e) {
            problem = e.message;
        }
        if (problem.empty() && !AtLineEnd() && Tok().kind != TokenKind::Colon) {
            ++m_singleLine;
            ParseSingleLine(&first.body);
            if (Word("else")) {
                Next();
                ParseSingleLine(&s->elseBody);
            }
            --m_singleLine;
            s->arms.push_back(std::move(first));
            return s;
        }
        if (!problem.empty()) {
            // A broken If is a block If, owning the lines up to its End If,
            // when its line ends in Then.
            SkipLine();
            if (!IsWord(m_t[m_pos > 0 ? m_pos - 1 : 0], "then"))
                return MakeProblem(line, problem);
        }
        first.body = ParseBody(Open::If);
        s->arms.push_back(std::move(first));
        while (Word("elseif")) {
            int armLine = Tok().line;
            Next();
            IfArm arm;
            std::string armProblem;
            if (!Header(
                    [&] {
                        arm.cond = ParseExpr();
                        ExpectWord("then", "Then");
                    },
                    &armProblem)) {
                arm.cond = Node(ExprKind::False, armLine);
                arm.body.push_back(MakeProblem(armLine, armProblem));
            }
            Block body = ParseBody(Open::If);
            for (StmtPtr& b : body)
                arm.body.push_back(std::move(b));
            s->arms.push_back(std::move(arm));
        }
        if (Word("else")) {
            Next();
            s->elseBody = ParseBody(Open::If);
        }
        if (Word("end") && Word("if", 1)) {
            Next();
            Next();
        } else {
            Later(line, "If without End If");
        }
        return problem.empty() ? std::move(s) : MakeProblem(line, problem);
    }

    // The statements of a one-line If's Then or Else part, up to its Else
    // or the line's end.
    void ParseSingleLine(Block* body) {
        for (;;) {
            if (AtLineEnd() || Word("else"))
                return;
            if (Tok().kind == TokenKind::Colon) {
                Next();
                continue;
            }
            size_t before = m_pos;
            ParseStatementInto(body);
            if (m_pos == before)
                Next();
        }
    }

    StmtPtr ParseFor() {
        StmtPtr s = NewStmt(StmtKind::For);
        int line = s->line;
        Next();
        std::string problem;
        bool ok = Header(
            [&] {
                if (Word("each")) {
                    Next();
                    s->kind = StmtKind::ForEach;
                    s->name = TakeName();
                    ExpectWord("in", "In");
                    s->from = ParseExpr();
                    return;
                }
                s->name = TakeName();
                Expect("=");
                s->from = ParseExpr();
                ExpectWord("to", "To");
                s->to = ParseExpr();
                if (Word("step")) {
                    Next();
                    s->step = ParseExpr();
                }
            },
            &problem);
        s->body = ParseBody(Open::For);
        if (Word("next")) {
            Next();
            while (Tok().kind == TokenKind::Identifier || Sym(","))  // Next i
                Next();
        } else {
            Later(line, "For without Next");
        }
        return ok ? std::move(s) : MakeProblem(line, problem);
    }

    void ParseLoopCondition(Stmt* s, bool atTop) {
        if (!Word("while") && !Word("until"))
            return;
        if (s->cond)
            Fail("a Do loop with two conditions");
        s->until = Word("until");
        s->condAtTop = atTop;
        Next();
        s->cond = ParseExpr();
    }

    StmtPtr ParseDo() {
        StmtPtr s = NewStmt(StmtKind::Do);
        int line = s->line;
        Next();
        std::string problem;
        bool ok = Header([&] { ParseLoopCondition(s.get(), true); }, &problem);
        s->body = ParseBody(Open::Do);
        if (Word("loop")) {
            Next();
            try {
                ParseLoopCondition(s.get(), false);
                ExpectStatementEnd();
            } catch (const SyntaxError& e) {
                ok = false;
                problem = e.message;
                SkipLine();
            }
        } else {
            Later(line, "Do without Loop");
        }
        return ok ? std::move(s) : MakeProblem(line, problem);
    }

    StmtPtr ParseWhile() {
        StmtPtr s = NewStmt(StmtKind::While);
        int line = s->line;
        Next();
        std::string problem;
        bool ok = Header([&] { s->cond = ParseExpr(); }, &problem);
        s->body = ParseBody(Open::While);
        if (Word("wend"))
            Next();
        else
            Later(line, "While without Wend");
        return ok ? std::move(s) : MakeProblem(line, problem);
    }

    StmtPtr ParseSelect() {
        StmtPtr s = NewStmt(StmtKind::Select);
        int line = s->line;
        Next();
        std::string problem;
        bool ok = Header(
            [&] {
                ExpectWord("case", "Case");
                s->value = ParseExpr();
            },
            &problem);
        m_open.push_back(Open::Select);
        bool closed = false;
        for (;;) {
            SkipSeparators();
            if (Word("end") && Word("select", 1)) {
                Next();
                Next();
                closed = true;
                break;
            }
            if (Tok().kind == TokenKind::End || (!Word("case") && ClosesOpen()))
                break;
            if (!Word("case")) {
                int outsideLine = Tok().line;
                std::vector<StmtPtr> ignored;
                ParseStatementInto(&ignored);
                Later(outsideLine, "statement outside a Case");
                continue;
            }
            int caseLine = Tok().line;
            Next();
            CaseArm arm;
            try {
                if (Word("else")) {
                    Next();
                } else {
                    arm.values.push_back(ParseExpr());
                    while (Sym(",")) {
                        Next();
                        arm.values.push_back(ParseExpr());
                    }
                }
                ExpectStatementEnd();
            } catch (const SyntaxError& e) {
                arm.values.clear();
                arm.values.push_back(Node(ExprKind::False, caseLine));
                arm.body.push_back(MakeProblem(caseLine, e.message));
                SkipLine();
            }
            Block body = ParseBlock();
            for (StmtPtr& b : body)
                arm.body.push_back(std::move(b));
            s->cases.push_back(std::move(arm));
        }
        m_open.pop_back();
        if (!closed)
            Later(line, "Select without End Select");
        return ok ? std::move(s) : MakeProblem(line, problem);
    }

    StmtPtr ParseWith() {
        StmtPtr s = NewStmt(StmtKind::With);
        int line = s->line;
        Next();
        std::string problem;
        bool ok = Header([&] { s->value = ParseExpr(); }, &problem);
        ++m_withDepth;
        s->body = ParseBody(Open::With);
        --m_withDepth;
        if (Word("end") && Word("with", 1)) {
            Next();
            Next();
        } else {
            Later(line, "With without End With");
        }
        return ok ? std::move(s) : MakeProblem(line, problem);
    }

    StmtPtr ParseExit() {
        StmtPtr s = NewStmt(StmtKind::Exit);
        Next();
        if (Word("for") && IsOpen(Open::For))
            s->exitWhat = ExitWhat::For;
        else if (Word("do") && IsOpen(Open::Do))
            s->exitWhat = ExitWhat::Do;
        else if ((Word("sub") || Word("function")) && (m_handler || IsOpen(Open::Proc)))
            s->exitWhat = Word("sub") ? ExitWhat::Sub : ExitWhat::Function;
        else
            Fail(Tok().kind == TokenKind::Identifier ? "Exit " + Tok().text + " outside its block"
                                                     : "expected For, Do, Sub or Function");
        Next();
        return s;
    }

    StmtPtr ParseOnError() {
        StmtPtr s = NewStmt(StmtKind::OnError);
        Next();
        ExpectWord("error", "Error");
        if (Word("resume")) {
            Next();
            ExpectWord("next", "Next");
            s->resumeNext = true;
        } else if (Word("goto") && Tok(1).kind == TokenKind::Number && Tok(1).number == 0) {
            Next();
            Next();
        } else {
            Fail("only On Error Resume Next and On Error GoTo 0 are supported");
        }
        return s;
    }

    static bool IsAssignable(const Expr& e) {
        return e.kind == ExprKind::Name || e.kind == ExprKind::Member ||
               (e.kind == ExprKind::Call && e.left->kind != ExprKind::New);
    }

    // What starts with a name: an assignment, or a call with or without
    // parentheses ("F a, b", "obj.Method(x)", "F (a), b").
    StmtPtr ParseCallOrAssign(bool isSet, bool explicitCall, bool mustAssign = false) {
        StmtPtr s = NewStmt(StmtKind::Assign);
        ExprPtr target = ParseChain(!explicitCall);
        if (!explicitCall && Sym("=")) {
            if (!IsAssignable(*target))
                Fail("can't assign to this");
            Next();
            s->target = std::move(target);
            s->value = ParseExpr();
            s->isSet = isSet;
            return s;
        }
        if (mustAssign)
            Fail("expected '='");
        s->kind = StmtKind::Call;
        if (AtStatementEnd()) {
            s->target = std::move(target);
            return s;
        }
        if (explicitCall)
            Fail("expected the end of the statement");
        // "x (1) = 5" assigns to an element; "F (a) + 1, b" passes arguments.
        if (Sym("(") && target->kind != ExprKind::Call) {
            size_t save = m_pos;
            ExprPtr element = Node(ExprKind::Call, target->line);
            bool assigns = false;
            try {
                element->args = ParseArgsGroup();
                assigns = Sym("=");
            } catch (const SyntaxError&) {
            }
            if (assigns) {
                Next();
                element->left = std::move(target);
                s->kind = StmtKind::Assign;
                s->target = Done(std::move(element));
                s->value = ParseExpr();
                return s;
            }
            m_pos = save;
        }
        ExprPtr call = Node(ExprKind::Call, target->line);
        if (target->kind == ExprKind::Call && target->args.size() == 1 && Sym(",")) {
            // "F(a), b": the parentheses were the first argument's.
            call->args = std::move(target->args);
            call->left = std::move(target->left);
        } else {
            call->left = std::move(target);
            call->args.push_back(ParseOptionalArg());
        }
        while (Sym(",")) {
            Next();
            call->args.push_back(ParseOptionalArg());
        }
        s->target = Done(std::move(call));
        return s;
    }

    ExprPtr ParseOptionalArg() {
        if (Sym(",") || AtStatementEnd() || Sym(")"))
            return nullptr;
        return ParseExpr();
    }

    // ( [arg] {, [arg]} )
    std::vector<ExprPtr> ParseArgsGroup() {
        CDepth depth(this);
        Expect("(");
        std::vector<ExprPtr> args;
        if (Sym(")")) {
            Next();
            return args;
        }
        for (;;) {
            args.push_back(ParseOptionalArg());
            if (!Sym(","))
                break;
            Next();
        }
        Expect(")");
        return args;
    }

    // A statement's head: a name (or a With member) followed by members and
    // argument lists. In a statement, a '(' or '.' after a space starts the
    // first argument instead.
    ExprPtr ParseChain(bool statementHead) {
        ExprPtr e;
        int line = Tok().line;
        if (Sym(".")) {
            e = WithMember();
        } else if (Tok().kind == TokenKind::Identifier) {
            e = NameOrLiteral();
        } else {
            Fail("expected a statement");
        }
        for (;;) {
            if (Sym(".") && !(statementHead && Tok().spaceBefore)) {
                Next();
                ExprPtr member = Node(ExprKind::Member, line);
                member->text = TakeMemberName();
                member->left = std::move(e);
                e = Done(std::move(member));
            } else if (Sym("(") && !(statementHead && Tok().spaceBefore)) {
                ExprPtr call = Node(ExprKind::Call, line);
                call->args = ParseArgsGroup();
                call->left = std::move(e);
                e = Done(std::move(call));
            } else {
                return e;
            }
        }
    }

    ExprPtr WithMember() {
        if (m_withDepth == 0)
            Fail("'.' outside a With block");
        int line = Tok().line;
        Next();
        ExprPtr member = Node(ExprKind::Member, line);
        member->text = TakeMemberName();
        member->left = Node(ExprKind::WithObject, line);
        return Done(std::move(member));
    }

    ExprPtr NameOrLiteral() {
        const Token& t = Tok();
        ExprPtr e = Node(ExprKind::Name, t.line);
        e->text = t.text;
        if (!t.bracketed) {
            std::string w = AsciiLower(t.text);
            if (w == "true")
                e->kind = ExprKind::True;
            else if (w == "false")
                e->kind = ExprKind::False;
            else if (w == "empty")
                e->kind = ExprKind::Empty;
            else if (w == "null")
                e->kind = ExprKind::Null;
            else if (w == "nothing")
                e->kind = ExprKind::Nothing;
            else if (w == "new") {
                Next();
                e->kind = ExprKind::New;
                e->text = TakeName();
                return e;
            } else if (IsReservedWord(w))
                Fail("unexpected " + t.text);
        }
        Next();
        return e;
    }

    // --- expressions ---

    ExprPtr ParseExpr() { return ParseBinary(1); }

    static int BinaryPrecedence(const Token& t, Op* op) {
        struct Entry {
            const char* text;
            bool word;
            Op op;
            int prec;
        };
        static const Entry table[] = {
            {"imp", true, Op::Imp, 1},  {"eqv", true, Op::Eqv, 2},     {"xor", true, Op::Xor, 3},
            {"or", true, Op::Or, 4},    {"and", true, Op::And, 5},     {"=", false, Op::Eq, 7},
            {"<>", false, Op::Ne, 7},   {"<", false, Op::Lt, 7},       {">", false, Op::Gt, 7},
            {"<=", false, Op::Le, 7},   {">=", false, Op::Ge, 7},      {"is", true, Op::Is, 7},
            {"&", false, Op::Cat, 8},   {"+", false, Op::Add, 9},      {"-", false, Op::Sub, 9},
            {"mod", true, Op::Mod, 10}, {"\\", false, Op::IntDiv, 11}, {"*", false, Op::Mul, 12},
            {"/", false, Op::Div, 12},  {"^", false, Op::Pow, 14}};
        for (const Entry& e : table) {
            if (e.word ? IsWord(t, e.text) : IsSymbol(t, e.text)) {
                *op = e.op;
                return e.prec;
            }
        }
        return 0;
    }

    ExprPtr ParseBinary(int minPrec) {
        CDepth depth(this);
        ExprPtr left = ParseUnary();
        for (;;) {
            Op op;
            int prec = BinaryPrecedence(Tok(), &op);
            if (prec == 0 || prec < minPrec)
                return left;
            int line = Tok().line;
            Next();
            ExprPtr right = ParseBinary(prec + 1);
            ExprPtr e = Node(ExprKind::Binary, line);
            e->op = op;
            e->left = std::move(left);
            e->right = std::move(right);
            left = Done(std::move(e));
        }
    }

    ExprPtr ParseUnary() {
        CDepth depth(this);
        int line = Tok().line;
        if (Word("not") || Sym("-")) {
            bool isNot = Word("not");
            Next();
            ExprPtr e = Node(ExprKind::Unary, line);
            e->op = isNot ? Op::Not : Op::Neg;
            e->left = ParseBinary(isNot ? kPrecNot + 1 : kPrecNeg + 1);
            return Done(std::move(e));
        }
        if (Sym("+")) {
            Next();
            return ParseBinary(kPrecNeg + 1);
        }
        ExprPtr e = ParsePrimary();
        for (;;) {
            if (Sym(".") && Tok(1).kind == TokenKind::Identifier) {
                Next();
                ExprPtr member = Node(ExprKind::Member, line);
                member->text = TakeMemberName();
                member->left = std::move(e);
                e = Done(std::move(member));
            } else if (Sym("(")) {
                ExprPtr call = Node(ExprKind::Call, line);
                call->args = ParseArgsGroup();
                call->left = std::move(e);
                e = Done(std::move(call));
            } else {
                return e;
            }
        }
    }

    ExprPtr ParsePrimary() {
        const Token& t = Tok();
        switch (t.kind) {
            case TokenKind::Number: {
                ExprPtr e = Node(ExprKind::Number, t.line);
                e->number = t.number;
                Next();
                return e;
            }
            case TokenKind::String:
            case TokenKind::Date: {
                ExprPtr e =
                    Node(t.kind == TokenKind::String ? ExprKind::String : ExprKind::Date, t.line);
                e->text = t.text;
                Next();
                return e;
            }
            case TokenKind::Identifier:
                return NameOrLiteral();
            case TokenKind::Symbol:
                if (t.text == "(") {
                    Next();
                    ExprPtr e = ParseExpr();
                    Expect(")");
                    return e;
                }
                if (t.text == ".")
                    return WithMember();
                break;
            default:
                break;
        }
        Fail("expected an expression");
    }

    const std::vector<Token>& m_t;
    size_t m_pos = 0;
    bool m_handler;
    CProblemList* m_problems;
    std::vector<std::string_view> m_lines;
    Program m_program;
    std::vector<Open> m_open;
    std::vector<StmtPtr> m_later;
    int m_depth = 0;
    int m_singleLine = 0;
    int m_withDepth = 0;
};

}  // namespace

Program Parse(const std::vector<Token>& tokens, std::string_view source, bool handler,
              CProblemList* problems) {
    return CParser(tokens, source, handler, problems).Run();
}

}  // namespace vbs
