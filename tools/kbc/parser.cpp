#include "tools/kbc/parser.h"

#include <set>

namespace {

constexpr int kMaxNesting = 200;  // blocks and expressions: deeper input is an error, not a crash
constexpr int kMaxExprDepth = 2000;  // operator chains such as 1+1+...+1

void measure(Expr& e) {
  for (const ExprPtr& a : e.args) {
    if (a && a->depth + 1 > e.depth) {
      e.depth = a->depth + 1;
    }
  }
  if (e.depth > kMaxExprDepth) {
    fail(e.pos, "expression is too long (more than " + std::to_string(kMaxExprDepth) + " operators deep)");
  }
}

class Parser {
 public:
  Parser(SourceSet& sources, const IncludeLoader& loader) : sources_(sources), loader_(loader) {}

  void parseFile(int file, Block& into) {
    std::vector<Token> saved = std::move(tokens_);
    const size_t savedAt = at_;
    tokens_ = lex(sources_.files[file].text, file);
    at_ = 0;
    skipSeparators();
    while (peek().kind != Tok::End) {
      if (isKw("include")) {
        const SourcePos pos = next().pos;
        if (peek().kind != Tok::String) {
          fail(peek().pos, "Include needs a file name in quotes");
        }
        const Token name = next();
        endStatement();
        if (++includeDepth_ > 16) {
          fail(pos, "includes nested more than 16 deep");
        }
        const int included = loader_(name.text, name.pos);
        parseFile(included, into);
        --includeDepth_;
      } else {
        const Token& t = peek();
        if (isBlockEnd()) {
          fail(t.pos, "'" + describe(t) + "' without the statement that opens its block");
        }
        into.push_back(statement(true));
        endStatement();
      }
      skipSeparators();
    }
    tokens_ = std::move(saved);
    at_ = savedAt;
  }

 private:
  SourceSet& sources_;
  const IncludeLoader& loader_;
  std::vector<Token> tokens_;
  size_t at_ = 0;
  int depth_ = 0;
  int includeDepth_ = 0;
  bool inFunction_ = false;
  int singleLineIf_ = 0;

  struct DepthGuard {
    Parser& p;
    DepthGuard(Parser& parser, SourcePos pos) : p(parser) {
      if (++p.depth_ > kMaxNesting) {
        fail(pos, "nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)");
      }
    }
    ~DepthGuard() { --p.depth_; }
  };

  const Token& peek(size_t ahead = 0) const {
    const size_t i = at_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  const Token& next() {
    const Token& t = peek();
    if (at_ < tokens_.size() - 1) {
      ++at_;
    }
    return t;
  }
  bool isKw(const char* key, size_t ahead = 0) const {
    return peek(ahead).kind == Tok::Keyword && peek(ahead).key == key;
  }
  bool isOp(const char* op, size_t ahead = 0) const {
    return peek(ahead).kind == Tok::Op && peek(ahead).text == op;
  }
  bool acceptKw(const char* key) {
    if (isKw(key)) {
      next();
      return true;
    }
    return false;
  }
  bool acceptOp(const char* op) {
    if (isOp(op)) {
      next();
      return true;
    }
    return false;
  }
  static std::string describe(const Token& t) {
    switch (t.kind) {
      case Tok::End: return "end of file";
      case Tok::Newline: return "end of line";
      case Tok::String: return "\"" + t.text + "\"";
      default: return t.text + (t.sigil ? std::string(1, t.sigil) : "");
    }
  }
  void expectOp(const char* op, const char* what) {
    if (!acceptOp(op)) {
      fail(peek().pos, std::string("expected ") + what + ", found '" + describe(peek()) + "'");
    }
  }
  void expectKw(const char* key, const char* what) {
    if (!acceptKw(key)) {
      fail(peek().pos, std::string("expected ") + what + ", found '" + describe(peek()) + "'");
    }
  }
  Token expectName(const char* what) {
    if (peek().kind != Tok::Name) {
      fail(peek().pos, std::string("expected ") + what + ", found '" + describe(peek()) + "'");
    }
    return next();
  }
  bool atStatementEnd() const {
    const Token& t = peek();
    return t.kind == Tok::Newline || t.kind == Tok::End || isOp(":") || (singleLineIf_ && isKw("else"));
  }
  void endStatement() {
    if (!atStatementEnd()) {
      fail(peek().pos, "expected the end of the statement, found '" + describe(peek()) + "'");
    }
  }
  void skipSeparators() {
    while (peek().kind == Tok::Newline || isOp(":")) {
      next();
    }
  }
  // Keywords that close or divide a block.
  bool isBlockEnd() const {
    if (peek().kind != Tok::Keyword) {
      return false;
    }
    static const std::set<std::string> enders = {"wend", "next", "until", "forever", "else", "elseif",
                                                  "endif", "case", "default", "field"};
    if (enders.count(peek().key)) {
      return true;
    }
    return isKw("end") && peek(1).kind == Tok::Keyword &&
           (peek(1).key == "if" || peek(1).key == "function" || peek(1).key == "type" || peek(1).key == "select");
  }

  Block block() {
    Block body;
    skipSeparators();
    while (!isBlockEnd()) {
      if (peek().kind == Tok::End) {
        return body;  // the caller reports the missing end
      }
      if (isKw("include")) {
        fail(peek().pos, "Include is allowed only at the top level");
      }
      body.push_back(statement(false));
      endStatement();
      skipSeparators();
    }
    return body;
  }

  void expectBlockEnd(const char* key, const char* second, const char* what, SourcePos opened) {
    if (peek().kind == Tok::End) {
      fail(opened, std::string("this block has no ") + what);
    }
    if (second) {
      if (isKw("end") && isKw(second, 1)) {
        next();
        next();
        return;
      }
    }
    if (key && acceptKw(key)) {
      return;
    }
    fail(peek().pos, std::string("expected ") + what + ", found '" + describe(peek()) + "'");
  }

  TypeNote typeNote(const Token& name) {
    TypeNote note;
    note.sigil = name.sigil;
    if (!name.sigil && isOp(".") && peek(1).kind == Tok::Name && !peek(1).sigil) {
      next();
      const Token& type = next();
      note.typeName = type.key;
      note.typeSpelling = type.text;
    }
    return note;
  }

  StmtPtr make(StmtKind kind, SourcePos pos) {
    auto s = std::make_unique<Stmt>();
    s->kind = kind;
    s->pos = pos;
    return s;
  }

  std::string labelName(const char* what) {
    acceptOp(".");
    return expectName(what).key;
  }

  StmtPtr statement(bool topLevel) {
    const Token& t = peek();
    DepthGuard guard(*this, t.pos);
    if (isOp(".") && peek(1).kind == Tok::Name) {
      auto s = make(StmtKind::Label, next().pos);
      const Token name = next();
      s->name = name.key;
      s->spelling = name.text;
      return s;
    }
    if (t.kind == Tok::Name) {
      return nameStatement();
    }
    if (t.kind != Tok::Keyword) {
      fail(t.pos, "a statement cannot start with '" + describe(t) + "'");
    }
    const SourcePos pos = t.pos;
    const std::string key = t.key;
    if (key == "const" || key == "global" || key == "local") {
      next();
      if (key == "global" && !topLevel) {
        fail(pos, "Global is allowed only at the top level");
      }
      if (key == "const" && !topLevel) {
        fail(pos, "Const is allowed only at the top level");
      }
      auto s = make(key == "const" ? StmtKind::Const : key == "global" ? StmtKind::Global : StmtKind::Local, pos);
      do {
        s->decls.push_back(varDecl(key != "const", key == "const"));
      } while (acceptOp(","));
      return s;
    }
    if (key == "dim") {
      next();
      auto s = make(StmtKind::Dim, pos);
      do {
        VarDecl d;
        const Token name = expectName("an array name");
        d.pos = name.pos;
        d.name = name.key;
        d.spelling = name.text;
        d.note = typeNote(name);
        expectOp("(", "'(' and the array's upper bounds");
        do {
          d.dims.push_back(expression());
        } while (acceptOp(","));
        expectOp(")", "')'");
        s->decls.push_back(std::move(d));
      } while (acceptOp(","));
      return s;
    }
    if (key == "if") {
      return ifStatement();
    }
    if (key == "select") {
      next();
      auto s = make(StmtKind::Select, pos);
      s->value = expression();
      endStatement();
      skipSeparators();
      while (acceptKw("case")) {
        std::vector<ExprPtr> values;
        do {
          values.push_back(expression());
        } while (acceptOp(","));
        s->caseValues.push_back(std::move(values));
        s->blocks.push_back(block());
      }
      if (isKw("default")) {
        next();
        s->hasElse = true;
        s->elseBlock = block();
      }
      expectBlockEnd(nullptr, "select", "'End Select'", pos);
      return s;
    }
    if (key == "for") {
      next();
      const Token var = expectName("the loop variable");
      auto target = nameExpr(var);
      expectOp("=", "'='");
      if (acceptKw("each")) {
        auto s = make(StmtKind::ForEach, pos);
        s->target = std::move(target);
        s->name = expectName("a type name").key;
        s->body = block();
        expectBlockEnd("next", nullptr, "'Next'", pos);
        skipLoopName();
        return s;
      }
      auto s = make(StmtKind::For, pos);
      s->target = std::move(target);
      s->value = expression();
      expectKw("to", "'To'");
      s->to = expression();
      if (acceptKw("step")) {
        s->step = expression();
      }
      s->body = block();
      expectBlockEnd("next", nullptr, "'Next'", pos);
      skipLoopName();
      return s;
    }
    if (key == "while") {
      next();
      auto s = make(StmtKind::While, pos);
      s->value = expression();
      s->body = block();
      expectBlockEnd("wend", nullptr, "'Wend'", pos);
      return s;
    }
    if (key == "repeat") {
      next();
      auto s = make(StmtKind::Repeat, pos);
      s->body = block();
      if (acceptKw("forever")) {
        return s;
      }
      expectBlockEnd("until", nullptr, "'Until' or 'Forever'", pos);
      s->value = expression();
      return s;
    }
    if (key == "exit") {
      next();
      return make(StmtKind::Exit, pos);
    }
    if (key == "function") {
      if (!topLevel) {
        fail(pos, "Function is allowed only at the top level");
      }
      return functionStatement();
    }
    if (key == "return") {
      next();
      auto s = make(StmtKind::Return, pos);
      if (!atStatementEnd()) {
        s->value = expression();
      }
      return s;
    }
    if (key == "gosub" || key == "goto") {
      next();
      auto s = make(key == "gosub" ? StmtKind::Gosub : StmtKind::Goto, pos);
      s->name = labelName("a label");
      return s;
    }
    if (key == "type") {
      if (!topLevel) {
        fail(pos, "Type is allowed only at the top level");
      }
      return typeStatement();
    }
    if (key == "data") {
      next();
      auto s = make(StmtKind::Data, pos);
      do {
        s->items.push_back(expression());
      } while (acceptOp(","));
      return s;
    }
    if (key == "read") {
      next();
      auto s = make(StmtKind::Read, pos);
      do {
        s->items.push_back(postfix());
      } while (acceptOp(","));
      return s;
    }
    if (key == "restore") {
      next();
      auto s = make(StmtKind::Restore, pos);
      if (!atStatementEnd()) {
        s->name = labelName("a label");
      }
      return s;
    }
    if (key == "delete") {
      next();
      if (acceptKw("each")) {
        auto s = make(StmtKind::DeleteEach, pos);
        s->name = expectName("a type name").key;
        return s;
      }
      auto s = make(StmtKind::Delete, pos);
      s->value = expression();
      return s;
    }
    if (key == "insert") {
      next();
      auto s = make(StmtKind::Insert, pos);
      s->target = expression();
      if (acceptKw("before")) {
        s->before = true;
      } else {
        expectKw("after", "'Before' or 'After'");
      }
      s->to = expression();
      return s;
    }
    if (key == "end" && !isBlockEnd()) {
      next();
      return make(StmtKind::End, pos);
    }
    fail(pos, "'" + describe(t) + "' cannot start a statement here");
  }

  void skipLoopName() {
    if (peek().kind == Tok::Name) {
      next();
    }
  }

  VarDecl varDecl(bool allowVector, bool needsValue) {
    VarDecl d;
    const Token name = expectName("a name");
    d.pos = name.pos;
    d.name = name.key;
    d.spelling = name.text;
    d.note = typeNote(name);
    if (allowVector && acceptOp("[")) {
      d.vectorBound = expression();
      expectOp("]", "']'");
    }
    if (acceptOp("=")) {
      if (d.vectorBound) {
        fail(peek().pos, "a fixed-size block takes no initial value");
      }
      d.init = expression();
    } else if (needsValue) {
      fail(peek().pos, "a Const needs '=' and its value");
    }
    return d;
  }

  StmtPtr functionStatement() {
    const SourcePos pos = next().pos;
    auto s = make(StmtKind::Function, pos);
    const Token name = expectName("the function's name");
    s->name = name.key;
    s->spelling = name.text;
    s->note = typeNote(name);
    expectOp("(", "'(' and the parameters");
    if (!isOp(")")) {
      do {
        s->decls.push_back(varDecl(false, false));
      } while (acceptOp(","));
    }
    expectOp(")", "')'");
    inFunction_ = true;
    s->body = block();
    inFunction_ = false;
    expectBlockEnd(nullptr, "function", "'End Function'", pos);
    return s;
  }

  StmtPtr typeStatement() {
    const SourcePos pos = next().pos;
    auto s = make(StmtKind::Type, pos);
    const Token name = expectName("the type's name");
    if (name.sigil) {
      fail(name.pos, "a type name takes no sigil");
    }
    s->name = name.key;
    s->spelling = name.text;
    endStatement();
    skipSeparators();
    while (acceptKw("field")) {
      do {
        s->decls.push_back(varDecl(true, false));
        if (s->decls.back().init) {
          fail(s->decls.back().init->pos, "a field takes no initial value");
        }
      } while (acceptOp(","));
      endStatement();
      skipSeparators();
    }
    expectBlockEnd(nullptr, "type", "'Field' or 'End Type'", pos);
    return s;
  }

  StmtPtr ifStatement() {
    const SourcePos pos = next().pos;
    auto s = make(StmtKind::If, pos);
    s->conds.push_back(expression());
    const bool then = acceptKw("then");
    (void)then;
    if (peek().kind != Tok::Newline && peek().kind != Tok::End && !isOp(":")) {
      // Single-line form: statements separated by ':' up to the end of the line.
      ++singleLineIf_;
      s->blocks.push_back(lineStatements());
      if (acceptKw("else")) {
        s->hasElse = true;
        s->elseBlock = lineStatements();
      }
      --singleLineIf_;
      return s;
    }
    s->blocks.push_back(block());
    for (;;) {
      if (isKw("elseif") || (isKw("else") && isKw("if", 1))) {
        if (next().key == "else") {
          next();
        }
        s->conds.push_back(expression());
        acceptKw("then");
        s->blocks.push_back(block());
        continue;
      }
      if (acceptKw("else")) {
        s->hasElse = true;
        s->elseBlock = block();
      }
      break;
    }
    expectBlockEnd("endif", "if", "'EndIf'", pos);
    return s;
  }

  Block lineStatements() {
    Block body;
    for (;;) {
      if (peek().kind == Tok::Newline || peek().kind == Tok::End || isKw("else")) {
        return body;
      }
      if (isOp(":")) {
        next();
        continue;
      }
      if (isBlockEnd()) {
        fail(peek().pos, "'" + describe(peek()) + "' cannot stand in a single-line If");
      }
      body.push_back(statement(false));
      endStatement();
    }
  }

  ExprPtr nameExpr(const Token& name) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Name;
    e->pos = name.pos;
    e->text = name.key;
    e->spelling = name.text;
    e->note = typeNote(name);
    return e;
  }

  // A statement that starts with a name: an assignment, or a call of a command or
  // function with its arguments, with or without parentheses.
  StmtPtr nameStatement() {
    const size_t start = at_;
    const SourcePos pos = peek().pos;
    ExprPtr target = postfix();
    if (acceptOp("=")) {
      auto s = make(StmtKind::Assign, pos);
      s->target = std::move(target);
      s->value = expression();
      return s;
    }
    if (target->kind == ExprKind::Call && atStatementEnd()) {
      auto s = make(StmtKind::Call, pos);
      s->value = std::move(target);
      return s;
    }
    // Name followed by an argument list without parentheses.
    at_ = start;
    const Token name = next();
    auto call = std::make_unique<Expr>();
    call->kind = ExprKind::Call;
    call->pos = name.pos;
    call->text = name.key;
    call->spelling = name.text;
    call->note.sigil = name.sigil;
    if (!atStatementEnd()) {
      do {
        call->args.push_back(expression());
      } while (acceptOp(","));
    }
    auto s = make(StmtKind::Call, pos);
    s->value = std::move(call);
    return s;
  }

  ExprPtr binary(const std::string& op, SourcePos pos, ExprPtr left, ExprPtr right) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Binary;
    e->pos = pos;
    e->text = op;
    e->args.push_back(std::move(left));
    e->args.push_back(std::move(right));
    measure(*e);
    return e;
  }

  ExprPtr unary(const std::string& op, SourcePos pos, ExprPtr operand) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Unary;
    e->pos = pos;
    e->text = op;
    e->args.push_back(std::move(operand));
    measure(*e);
    return e;
  }

 public:
  ExprPtr expression() {
    DepthGuard guard(*this, peek().pos);
    ExprPtr left = andExpr();
    while (isKw("or") || isKw("xor")) {
      const Token& op = next();
      left = binary(op.key, op.pos, std::move(left), andExpr());
    }
    return left;
  }

 private:
  ExprPtr andExpr() {
    ExprPtr left = notExpr();
    while (isKw("and")) {
      const Token& op = next();
      left = binary("and", op.pos, std::move(left), notExpr());
    }
    return left;
  }

  ExprPtr notExpr() {
    if (isKw("not")) {
      const Token& op = next();
      DepthGuard guard(*this, op.pos);
      return unary("not", op.pos, notExpr());
    }
    return comparison();
  }

  ExprPtr comparison() {
    ExprPtr left = additive();
    while (isOp("=") || isOp("<>") || isOp("<") || isOp(">") || isOp("<=") || isOp(">=")) {
      const Token& op = next();
      left = binary(op.text, op.pos, std::move(left), additive());
    }
    return left;
  }

  ExprPtr additive() {
    ExprPtr left = multiplicative();
    while (isOp("+") || isOp("-")) {
      const Token& op = next();
      left = binary(op.text, op.pos, std::move(left), multiplicative());
    }
    return left;
  }

  ExprPtr multiplicative() {
    ExprPtr left = unaryExpr();
    while (isOp("*") || isOp("/") || isKw("mod") || isKw("shl") || isKw("shr") || isKw("sar")) {
      const Token& op = next();
      left = binary(op.kind == Tok::Op ? op.text : op.key, op.pos, std::move(left), unaryExpr());
    }
    return left;
  }

  ExprPtr unaryExpr() {
    if (isOp("-") || isOp("+") || isOp("~")) {
      const Token& op = next();
      DepthGuard guard(*this, op.pos);
      return unary(op.text, op.pos, unaryExpr());
    }
    return power();
  }

  ExprPtr power() {
    ExprPtr base = postfix();
    if (isOp("^")) {
      const Token& op = next();
      DepthGuard guard(*this, op.pos);
      return binary("^", op.pos, std::move(base), unaryExpr());  // right-associative
    }
    return base;
  }

  ExprPtr postfix() {
    ExprPtr e = primary();
    for (;;) {
      if (isOp("\\")) {
        const SourcePos pos = next().pos;
        const Token name = expectName("a field name");
        auto f = std::make_unique<Expr>();
        f->kind = ExprKind::Field;
        f->pos = pos;
        f->text = name.key;
        f->spelling = name.text;
        f->note.sigil = name.sigil;
        f->args.push_back(std::move(e));
        measure(*f);
        e = std::move(f);
      } else if (isOp("[")) {
        const SourcePos pos = next().pos;
        auto ix = std::make_unique<Expr>();
        ix->kind = ExprKind::Index;
        ix->pos = pos;
        ix->args.push_back(std::move(e));
        ix->args.push_back(expression());
        expectOp("]", "']'");
        measure(*ix);
        e = std::move(ix);
      } else {
        return e;
      }
    }
  }

  ExprPtr primary() {
    const Token& t = peek();
    auto e = std::make_unique<Expr>();
    e->pos = t.pos;
    switch (t.kind) {
      case Tok::Int:
        e->kind = ExprKind::IntLit;
        e->intValue = next().intValue;
        return e;
      case Tok::Float:
        e->kind = ExprKind::FloatLit;
        e->floatValue = next().floatValue;
        return e;
      case Tok::String:
        e->kind = ExprKind::StrLit;
        e->text = next().text;
        return e;
      case Tok::Name: {
        const Token name = next();
        if (isOp("(")) {
          next();
          e->kind = ExprKind::Call;
          e->text = name.key;
          e->spelling = name.text;
          e->note.sigil = name.sigil;
          e->parenthesised = true;
          if (!isOp(")")) {
            do {
              e->args.push_back(expression());
            } while (acceptOp(","));
          }
          expectOp(")", "')' or ','");
          return e;
        }
        return nameExpr(name);
      }
      case Tok::Op:
        if (t.text == "(") {
          next();
          ExprPtr inner = expression();
          expectOp(")", "')'");
          return inner;
        }
        break;
      case Tok::Keyword: {
        const std::string key = t.key;
        if (key == "null") {
          next();
          e->kind = ExprKind::Null;
          return e;
        }
        if (key == "true" || key == "false") {
          next();
          e->kind = ExprKind::IntLit;
          e->intValue = key == "true";
          return e;
        }
        if (key == "new" || key == "first" || key == "last") {
          next();
          e->kind = key == "new" ? ExprKind::New : key == "first" ? ExprKind::First : ExprKind::Last;
          const Token type = expectName("a type name");
          e->text = type.key;
          e->spelling = type.text;
          return e;
        }
        if (key == "after" || key == "before") {
          next();
          e->kind = key == "after" ? ExprKind::After : ExprKind::Before;
          e->args.push_back(postfix());
          return e;
        }
        if (key == "object") {
          next();
          expectOp(".", "'.' and a type name");
          const Token type = expectName("a type name");
          e->kind = ExprKind::ObjectOf;
          e->text = type.key;
          e->spelling = type.text;
          expectOp("(", "'(' and a handle");
          e->args.push_back(expression());
          expectOp(")", "')'");
          return e;
        }
        break;
      }
      default: break;
    }
    fail(t.pos, "expected a value, found '" + describe(t) + "'");
  }
};

}  // namespace

Program parseProgram(SourceSet& sources, int mainFile, const IncludeLoader& loader) {
  Program program;
  Parser parser(sources, loader);
  parser.parseFile(mainFile, program.statements);
  return program;
}
