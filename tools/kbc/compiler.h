// The compiler's state shared by its three parts: declarations and data
// (compiler_decl.cpp), expressions (compiler_expr.cpp) and statements
// (compiler_stmt.cpp). Values travel in eax: integers, float bits, string and object
// pointers; floats are worked on the x87 stack through memory.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/kbc/ast.h"
#include "tools/kbc/codegen.h"
#include "tools/kbc/command_table.h"
#include "tools/kbc/emitter.h"

enum class VT : uint8_t { Void, Int, Float, Str, Obj, Null };

struct ValType {
  VT vt = VT::Int;
  int type = -1;  // user type index for Obj
  bool operator==(const ValType& o) const { return vt == o.vt && (vt != VT::Obj || type == o.type); }
  bool operator!=(const ValType& o) const { return !(*this == o); }
};

struct Slot {
  bool global = true;
  int32_t at = 0;  // data offset (global) or ebp displacement (local)
};

struct Var {
  ValType type;
  Slot slot;
  bool vector = false;  // a fixed-size block: the slot holds the block pointer
  int32_t count = 0;    // its elements
  int32_t vecDesc = 0;  // its descriptor in the data
  SourcePos pos;
};

struct FieldInfo {
  std::string name;
  std::string spelling;
  ValType type;
  bool vector = false;
  int32_t count = 0;
  int32_t vecDesc = 0;
};

struct UserType {
  std::string spelling;
  std::vector<FieldInfo> fields;
  int32_t desc = 0;
  SourcePos pos;
};

struct ConstValue {
  ValType type;
  int32_t i = 0;
  float f = 0;
  std::string s;
};

struct Param {
  std::string name;
  ValType type;
  bool hasDefault = false;
  ConstValue value;
  SourcePos pos;
};

struct Function {
  std::string spelling;
  ValType result;
  std::vector<Param> params;
  int label = -1;
  Stmt* stmt = nullptr;
};

struct ArrayInfo {
  ValType elem;
  int dims = 0;
  int32_t record = 0;
  SourcePos pos;
};

// One body being compiled: the main program or a function.
struct Body {
  Function* function = nullptr;  // null for the main program
  std::map<std::string, Var> vars;
  std::map<std::string, int> labels;  // label key -> emitter label
  std::vector<Slot> strings, objects;  // released at a function's end
  std::vector<const Var*> vectors;    // freed at a function's end
  int32_t frameSlots = 0;
  Slot result;
  int epilogue = -1;
  int hidden = 0;
};

// Loops and string selections the Exit statement leaves.
struct Construct {
  bool loop = false;
  int exitLabel = -1;
  Slot selectSlot;  // a string Select's hidden value
  const Stmt* select = nullptr;  // that Select: a Goto to a label outside it releases the value
};

class Compiler {
 public:
  Compiler(const SourceSet& sources, const CompileOptions& options)
      : sources_(sources), options_(options), commands_(commandTable()) {}
  std::vector<uint8_t> compile(Program& program);

 private:
  const SourceSet& sources_;
  CompileOptions options_;
  const CommandTable& commands_;
  Emitter code_, data_;
  std::map<std::string, int> typeIndex_;
  std::vector<UserType> types_;
  std::map<std::string, Function> functions_;
  std::map<std::string, ConstValue> consts_;
  std::map<std::string, Var> globals_;
  std::map<std::string, ArrayInfo> arrays_;
  std::map<std::string, int32_t> literals_;
  std::map<uint32_t, int32_t> constantWords_;  // float and integer words the x87 loads
  std::map<std::string, int> dataLabels_;       // label -> item index in the Data table
  std::map<std::string, std::string> labelBody_;  // label -> "" (main) or function key
  std::vector<std::pair<int32_t, ConstValue>> dataItems_;
  int32_t dataTable_ = 0;
  Body* body_ = nullptr;
  std::vector<Construct> constructs_;
  // The integer For counter held in ebx for the loop (home slot written back on exit).
  bool counterInEbx_ = false;
  Slot counterSlot_;
  std::unordered_map<const Expr*, ValType> inferred_;
  std::vector<std::unique_ptr<Expr>> synthetic_;

  // compiler_decl.cpp: declarations, constants, data, the image.
  void declareTypes(Block& top);
  void declareFunctions(Block& top);
  void declareGlobals(Block& top);
  void collectLabels(Block& block, const std::string& bodyKey);
  ValType typeOfNote(const TypeNote& note, SourcePos pos, ValType otherwise = {});
  ConstValue constEval(const Expr& e);
  int32_t constInt(const Expr& e, const char* what);
  int32_t literal(const std::string& text);
  int32_t vectorDescriptor(ValType elem, int32_t count);
  void typeWord(Emitter& out, ValType t);
  int32_t globalSlot();
  std::string typeName(ValType t) const;
  std::vector<uint8_t> image();

  // compiler_expr.cpp
  ValType infer(const Expr& e);
  ValType inferUncached(const Expr& e);
  ValType gen(const Expr& e);
  void genValue(const Expr& e, ValType want);  // gen, then convert (with checks)
  void convert(ValType from, ValType to, SourcePos pos);
  bool convertible(ValType from, ValType to) const;
  ValType genBinary(const Expr& e);
  bool simpleInt(const Expr& e);
  bool pureFloat(const Expr& e, int depth);
  void genFloatSt(const Expr& e);
  int32_t constantWord(uint32_t bits);
  void loadEcx(const Expr& e);
  void genIntOperands(const Expr& a, const Expr& b);
  bool constIntOperand(const Expr& e, int32_t& value);
  void genConstDivide(int32_t divisor, bool modulo);
  bool callFree(const Expr& e, int depth);
  bool sameTarget(const Expr& a, const Expr& b);
  bool sameIndex(const Expr& a, const Expr& b);
  bool mentions(const Expr& e, const std::string& key);
  ValType genUnary(const Expr& e);
  ValType genCall(const Expr& e, bool statement);
  ValType genCommand(const Command& c, const Expr& e, bool statement);
  ValType genFunctionCall(Function& f, const Expr& e);
  ValType genBuiltin(const std::string& name, const Expr& e);
  void genArguments(const std::vector<const Expr*>& args, const std::vector<ValType>& types,
                    const std::vector<const ConstValue*>& defaults, SourcePos pos);
  void genConst(const ConstValue& c);
  ValType genAddress(const Expr& e);  // the slot's address in eax
  ValType genArrayAddress(const ArrayInfo& a, const Expr& e);
  void loadFrom(ValType t);           // eax: address -> value
  void nullCheck();                   // eax: object that must be live (kept in eax)
  void floatResultToEax(int argBytes);
  void callEntry(const char* link, int argBytes);
  void callBinaryEntry(const char* link);
  bool isBuiltin(const std::string& key) const;
  const Var* findVar(const std::string& key) const;
  const Command* findCommand(const std::string& key) const;
  void checkSigil(const Expr& e, ValType t, const std::string& what);

  // compiler_stmt.cpp
  void genBlock(const Block& block);
  void genStatement(const Stmt& s);
  void genFunction(Function& f);
  void genAssign(const Expr& target, const std::function<void(ValType)>& value, SourcePos pos);
  void genLocal(const Stmt& s);
  void genStored(const Expr& value, ValType want);
  void initialise(const VarDecl& d, const Var& v);
  void storeSlot(const Slot& slot, ValType t);   // value in eax
  void loadSlot(const Slot& slot);
  void addressOfSlot(const Slot& slot);
  void pushSlotAddress(const Slot& slot);
  Var& declareVar(const std::string& key, const std::string& spelling, ValType t, SourcePos pos);
  Slot newSlot(ValType t);
  void genCondJumpFalse(const Expr& cond, int label);
  bool genInPlace(const Stmt& s);
  void releaseSelectsLeft(const std::string* label);
  void addToSlot(const Slot& slot, int32_t value);
  void genDim(const Stmt& s);
  void genFor(const Stmt& s);
  void genIntFor(const Stmt& s, const Var& v, int32_t step, bool up);
  bool registerLoop(const Stmt& s);
  bool registerBlock(const Block& block, int depth);
  bool inEbx(const Slot& slot) const;
  void slotOperand(const Slot& slot, uint8_t op, uint8_t reg);
  void genForEach(const Stmt& s);
  void genSelect(const Stmt& s);
  void genRead(const Stmt& s);
  void debugStatement(SourcePos pos);
  int labelFor(const std::string& key, SourcePos pos);
};
