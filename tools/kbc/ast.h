// The syntax tree of a Kestrel Basic program. Every node keeps its source position so
// that semantic errors point at the place they concern.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/kbc/diagnostics.h"

// A written type: a sigil, ".Type", or nothing (integer unless stated otherwise).
struct TypeNote {
  char sigil = 0;         // '%', '#', '$' or 0
  std::string typeName;   // the user type after '.', lower-cased; empty when none
  std::string typeSpelling;
  bool given() const { return sigil != 0 || !typeName.empty(); }
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class ExprKind {
  IntLit, FloatLit, StrLit, Null,
  Name,       // a variable or constant: name, note
  Call,       // name(args): array element, user function, built-in or command
  Field,      // left \ name
  Index,      // left [ index ] (a vector)
  Unary,      // op left
  Binary,     // left op right
  New,        // New Type
  First, Last,  // First Type, Last Type
  After, Before,  // After e, Before e
  ObjectOf,   // Object.Type(handle)
};

struct Expr {
  ExprKind kind;
  SourcePos pos;
  int64_t intValue = 0;
  float floatValue = 0;
  std::string text;  // string value, name key, field key, operator, or type key
  std::string spelling;
  TypeNote note;
  bool parenthesised = false;  // a call written with parentheses
  int depth = 1;               // of the tree below: the compiler's recursion is bounded
  std::vector<ExprPtr> args;   // call arguments; [0] left, [1] right for operators
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

enum class StmtKind {
  Assign,     // target = value
  Call,       // a command, function or built-in used as a statement: expr (a Call)
  Local, Global,  // declarations
  Const,
  Dim,
  If,         // conds[i] -> blocks[i]; elseBlock
  Select,     // value; cases; blocks; elseBlock (Default)
  For,        // var = from To to [Step step]
  ForEach,    // var = Each Type
  While, Repeat,  // cond, body; Repeat: cond null means Forever
  Exit,
  Function,
  Return,     // value may be null
  Gosub, Goto, Label,
  Type,
  Data, Read, Restore,
  Delete, DeleteEach, Insert,
  End,        // the End command written as a statement
};

struct VarDecl {
  SourcePos pos;
  std::string name;  // key
  std::string spelling;
  TypeNote note;
  ExprPtr init;         // may be null
  ExprPtr vectorBound;  // name[bound]: a fixed-size block
  std::vector<ExprPtr> dims;  // Dim bounds
};

struct Stmt {
  StmtKind kind;
  SourcePos pos;
  std::string name;   // function, type, label or loop type name (key)
  std::string spelling;
  TypeNote note;      // function result type
  ExprPtr target;     // Assign target, loop variable, Insert's moved object
  ExprPtr value;      // Assign value, Select value, For from, Return value, Delete
  ExprPtr to, step;   // For; Insert's position (to)
  bool before = false;  // Insert Before
  std::vector<ExprPtr> conds;  // If conditions, Case values (flattened per case below)
  std::vector<std::vector<ExprPtr>> caseValues;
  std::vector<Block> blocks;
  Block elseBlock;
  bool hasElse = false;
  Block body;
  std::vector<VarDecl> decls;  // Local, Global, Const, Dim, Function parameters, Type fields
  std::vector<ExprPtr> items;  // Data values, Read targets
};

struct Program {
  Block statements;  // top level, includes spliced in
};
