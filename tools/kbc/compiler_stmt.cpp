// Statements, function bodies and the program's entry. A statement leaves the stack as
// it found it, so Gosub can use the processor's call and return.
#include <cstring>
#include <stdexcept>

#include "tools/kbc/compiler.h"

namespace {

bool isNumeric(ValType t) {
  return t.vt == VT::Int || t.vt == VT::Float;
}

uint32_t bitsOf(float f) {
  uint32_t w;
  std::memcpy(&w, &f, 4);
  return w;
}

ConstValue zeroOf(ValType t) {
  ConstValue c;
  c.type = t.vt == VT::Obj ? ValType{VT::Null} : t;
  return c;
}

}  // namespace

std::vector<uint8_t> Compiler::compile(Program& program) {
  Block& top = program.statements;
  declareTypes(top);
  declareFunctions(top);
  declareGlobals(top);
  collectLabels(top, "");
  for (auto& [site, value] : dataItems_) {
    if (value.type.vt == VT::Str) {
      site = literal(value.s);
    }
  }
  data_.align4();
  dataTable_ = data_.here();
  for (const auto& [site, value] : dataItems_) {
    switch (value.type.vt) {
      case VT::Int: data_.word(1); data_.word(uint32_t(value.i)); break;
      case VT::Float: data_.word(2); data_.word(bitsOf(value.f)); break;
      default: data_.word(4); data_.addressWord(site); break;
    }
  }
  data_.word(0);
  data_.word(0);

  Body main;
  body_ = &main;
  code_.pushAddress(dataTable_);  // reads start at the first Data item
  callEntry("__ksRestore", 4);
  genBlock(top);
  code_.ret();
  for (auto& s : top) {
    if (s->kind == StmtKind::Function) {
      genFunction(functions_[s->name]);
    }
  }
  body_ = nullptr;
  return image();
}

bool Compiler::inEbx(const Slot& slot) const {
  return counterInEbx_ && slot.global == counterSlot_.global && slot.at == counterSlot_.at;
}

// op with the slot's memory as its r/m operand and `reg` in the modrm reg field.
void Compiler::slotOperand(const Slot& slot, uint8_t op, uint8_t reg) {
  code_.bytesOf({op, uint8_t((slot.global ? 0x05 : 0x85) | (reg << 3))});
  if (slot.global) {
    code_.addressWord(slot.at);
  } else {
    code_.word(uint32_t(slot.at));
  }
}

void Compiler::loadSlot(const Slot& slot) {
  if (inEbx(slot)) {
    code_.bytesOf({0x89, 0xD8});  // mov eax,ebx
  } else if (slot.global) {
    code_.loadGlobal(slot.at);
  } else {
    code_.loadLocal(slot.at);
  }
}

void Compiler::addressOfSlot(const Slot& slot) {
  if (inEbx(slot)) {
    throw std::logic_error("kbc: the address of a register-held loop counter");
  }
  if (slot.global) {
    code_.movEaxAddress(slot.at);
  } else {
    code_.leaLocal(slot.at);
  }
}

void Compiler::pushSlotAddress(const Slot& slot) {
  if (inEbx(slot)) {
    throw std::logic_error("kbc: the address of a register-held loop counter");
  }
  if (slot.global) {
    code_.pushAddress(slot.at);
  } else {
    code_.leaLocal(slot.at);
    code_.pushEax();
  }
}

void Compiler::storeSlot(const Slot& slot, ValType t) {
  if (t.vt == VT::Str || t.vt == VT::Obj) {
    code_.pushEax();
    pushSlotAddress(slot);
    callEntry(t.vt == VT::Str ? "__ksStrStore" : "__ksObjStore", 8);
  } else if (inEbx(slot)) {
    code_.bytesOf({0x89, 0xC3});  // mov ebx,eax
  } else if (slot.global) {
    code_.storeGlobal(slot.at);
  } else {
    code_.storeLocal(slot.at);
  }
}

Slot Compiler::newSlot(ValType t) {
  if (!body_->function) {
    return {true, globalSlot()};
  }
  const Slot slot{false, -4 * ++body_->frameSlots};
  if (t.vt == VT::Str) {
    body_->strings.push_back(slot);
  } else if (t.vt == VT::Obj) {
    body_->objects.push_back(slot);
  }
  return slot;
}

Var& Compiler::declareVar(const std::string& key, const std::string& spelling, ValType t, SourcePos pos) {
  if (body_->vars.count(key)) {
    fail(pos, "'" + spelling + "' is already declared here");
  }
  if (consts_.count(key) || arrays_.count(key) || functions_.count(key)) {
    fail(pos, "'" + spelling + "' is already the name of a " +
                  (consts_.count(key) ? "constant" : arrays_.count(key) ? "array" : "function"));
  }
  if (!body_->function && globals_.count(key)) {
    fail(pos, "'" + spelling + "' is already a global");
  }
  if (t.vt == VT::Void || t.vt == VT::Null) {
    fail(pos, "a variable needs a type");
  }
  Var v;
  v.type = t;
  v.pos = pos;
  v.slot = newSlot(t);
  return body_->vars[key] = v;
}

int Compiler::labelFor(const std::string& key, SourcePos pos) {
  const auto where = labelBody_.find(key);
  const std::string here = body_->function ? body_->function->stmt->name : "";
  if (where == labelBody_.end()) {
    fail(pos, "unknown label '" + key + "'");
  }
  if (where->second != here) {
    fail(pos, "label '" + key + "' is in " + (where->second.empty() ? "the main program" : "another function") +
                  ": jumps stay inside their function");
  }
  const auto found = body_->labels.find(key);
  if (found != body_->labels.end()) {
    return found->second;
  }
  return body_->labels[key] = code_.newLabel();
}

void Compiler::debugStatement(SourcePos pos) {
  code_.pushImm(pos.line);
  code_.pushAddress(literal(sources_.files[pos.file].path));
  callEntry("__ksDebugStmt", 8);
}

void Compiler::genBlock(const Block& block) {
  for (const StmtPtr& s : block) {
    genStatement(*s);
  }
}

void Compiler::genCondJumpFalse(const Expr& cond, int label) {
  const ValType t = infer(cond);
  if (cond.kind == ExprKind::Binary && infer(*cond.args[0]).vt == VT::Int && infer(*cond.args[1]).vt == VT::Int) {
    // An integer comparison jumps on the flags: the opposite condition skips the block.
    const std::string& op = cond.text;
    const int skip = op == "=" ? 0x5 : op == "<>" ? 0x4 : op == "<" ? 0xD : op == ">" ? 0xE : op == "<=" ? 0xF
                     : op == ">=" ? 0xC : -1;
    if (skip >= 0) {
      genIntOperands(*cond.args[0], *cond.args[1]);
      code_.bytesOf({0x39, 0xC8});  // cmp eax,ecx
      code_.jcc(skip, label);
      return;
    }
  }
  if (t.vt == VT::Str || t.vt == VT::Void) {
    fail(cond.pos, "a condition needs a number or an object, not " + typeName(t));
  }
  gen(cond);
  if (t.vt == VT::Float) {
    code_.bytesOf({0x25, 0xFF, 0xFF, 0xFF, 0x7F});  // and eax,0x7FFFFFFF: -0.0 is false too
  } else if (t.vt == VT::Obj || t.vt == VT::Null) {
    code_.pushImm(0);
    code_.pushEax();
    callEntry("__ksObjCompare", 8);
    code_.bytesOf({0x85, 0xC0});
  } else {
    code_.bytesOf({0x85, 0xC0});
  }
  code_.jcc(0x4, label);
}

void Compiler::genAssign(const Expr& target, const std::function<void(ValType)>& value, SourcePos pos) {
  if (target.kind == ExprKind::Name) {
    const Var* v = findVar(target.text);
    if (!v) {
      if (consts_.count(target.text)) {
        fail(target.pos, "a constant cannot be changed");
      }
      if (arrays_.count(target.text)) {
        fail(target.pos, "array '" + target.spelling + "' needs its indexes in ( )");
      }
      v = &declareVar(target.text, target.spelling, typeOfNote(target.note, target.pos, {VT::Int}), target.pos);
    }
    if (v->vector) {
      fail(target.pos, "'" + target.spelling + "' is a fixed-size block: index it with [ ]");
    }
    checkSigil(target, v->type, "a variable");
    value(v->type);
    storeSlot(v->slot, v->type);
    return;
  }
  if (target.kind != ExprKind::Call && target.kind != ExprKind::Field && target.kind != ExprKind::Index) {
    fail(pos, "only variables, array elements and fields take a value");
  }
  const ValType t = genAddress(target);
  code_.pushEax();
  value(t);
  code_.popEcx();
  if (t.vt == VT::Str || t.vt == VT::Obj) {
    code_.pushEax();
    code_.pushEcx();
    callEntry(t.vt == VT::Str ? "__ksStrStore" : "__ksObjStore", 8);
  } else {
    code_.bytesOf({0x89, 0x01});  // mov [ecx],eax
  }
}

void Compiler::initialise(const VarDecl& d, const Var& v) {
  if (v.vector) {
    const int skip = code_.newLabel();
    loadSlot(v.slot);
    code_.bytesOf({0x85, 0xC0});
    code_.jcc(0x4, skip);
    code_.pushAddress(v.vecDesc);
    code_.pushEax();
    callEntry("__ksVecFree", 8);
    code_.place(skip);
    code_.pushAddress(v.vecDesc);
    callEntry("__ksVecAlloc", 4);
    if (v.slot.global) {
      code_.storeGlobal(v.slot.at);
    } else {
      code_.storeLocal(v.slot.at);
    }
    return;
  }
  if (d.init) {
    genStored(*d.init, v.type);
  } else {
    code_.movEax(0);
  }
  storeSlot(v.slot, v.type);
}

// A value about to be stored: an empty literal is stored as the null slot, which reads
// as "" and holds no string.
void Compiler::genStored(const Expr& value, ValType want) {
  if (want.vt == VT::Str && value.kind == ExprKind::StrLit && value.text.empty()) {
    code_.movEax(0);
  } else {
    genValue(value, want);
  }
}

void Compiler::genLocal(const Stmt& s) {
  for (const VarDecl& d : s.decls) {
    const ValType t = typeOfNote(d.note, d.pos, {VT::Int});
    Var& v = declareVar(d.name, d.spelling, t, d.pos);
    if (d.vectorBound) {
      const int32_t bound = constInt(*d.vectorBound, "the size of a fixed-size block");
      if (bound < 0 || bound >= (1 << 20)) {
        fail(d.vectorBound->pos, "a fixed-size block's upper bound must be 0 to " + std::to_string((1 << 20) - 1));
      }
      v.vector = true;
      v.count = bound + 1;
      v.vecDesc = vectorDescriptor(t, v.count);
      if (body_->function) {
        if (t.vt == VT::Str) {
          body_->strings.pop_back();  // the slot holds a block, freed as one
        } else if (t.vt == VT::Obj) {
          body_->objects.pop_back();
        }
        body_->vectors.push_back(&v);
      }
    }
    initialise(d, v);
  }
}

void Compiler::genDim(const Stmt& s) {
  for (const VarDecl& d : s.decls) {
    const ArrayInfo& a = arrays_.at(d.name);
    for (const ExprPtr& bound : d.dims) {
      genValue(*bound, {VT::Int});
      code_.bytesOf({0x85, 0xC0, 0x79, 0x05});  // a negative bound is out of bounds
      code_.call("__ksArrayBoundsEx");
      code_.pushEax();
    }
    const int fresh = code_.newLabel();
    code_.loadGlobal(a.record);
    code_.bytesOf({0x85, 0xC0});
    code_.jcc(0x4, fresh);
    code_.pushAddress(a.record);
    callEntry("__ksUndimArray", 4);
    code_.place(fresh);
    for (int k = a.dims - 1; k >= 0; --k) {
      code_.popEax();
      code_.storeGlobal(a.record + 12 + 4 * k);
    }
    code_.pushAddress(a.record);
    callEntry("__ksDimArray", 4);
  }
}

void Compiler::genFor(const Stmt& s) {
  const Expr& target = *s.target;
  const Var* v = findVar(target.text);
  if (!v) {
    if (consts_.count(target.text)) {
      fail(target.pos, "a constant cannot be changed");
    }
    v = &declareVar(target.text, target.spelling, typeOfNote(target.note, target.pos, {VT::Int}), target.pos);
  }
  checkSigil(target, v->type, "a variable");
  if (!isNumeric(v->type) || v->vector) {
    fail(target.pos, "a For variable is an integer or a float, not " + typeName(v->type));
  }
  const ValType t = v->type;
  ConstValue step;
  step.type = {VT::Int};
  step.i = 1;
  if (s.step) {
    step = constEval(*s.step);
    if (!isNumeric(step.type)) {
      fail(s.step->pos, "Step must be a constant number");
    }
  }
  const double stepValue = step.type.vt == VT::Int ? double(step.i) : double(step.f);
  if (stepValue == 0) {
    fail(s.step->pos, "Step cannot be 0");
  }
  if (t.vt == VT::Int && step.type.vt == VT::Float) {
    fail(s.step->pos, "an integer loop needs an integer Step");
  }
  const bool up = stepValue > 0;
  if (t.vt == VT::Int) {
    genIntFor(s, *v, step.i, up);
    return;
  }
  genValue(*s.value, t);
  storeSlot(v->slot, t);
  const Slot end = newSlot(t);
  genValue(*s.to, t);
  storeSlot(end, t);
  const int top = code_.newLabel();
  const int exit = code_.newLabel();
  code_.place(top);
  loadSlot(end);
  code_.pushEax();
  loadSlot(v->slot);
  code_.pushEax();  // [esp] = variable, [esp+4] = end
  if (up) {
    code_.bytesOf({0xD9, 0x04, 0x24, 0xD8, 0x5C, 0x24, 0x04});  // variable > end ends it
  } else {
    code_.bytesOf({0xD9, 0x44, 0x24, 0x04, 0xD8, 0x1C, 0x24});  // end > variable ends it
  }
  code_.bytesOf({0xDF, 0xE0, 0x9E, 0x8D, 0x64, 0x24, 0x08});  // fnstsw ax; sahf; lea esp,[esp+8]
  code_.jcc(0x7, exit);                                       // ja
  constructs_.push_back({true, exit, {}});
  genBlock(s.body);
  constructs_.pop_back();
  loadSlot(v->slot);
  const float f = step.type.vt == VT::Int ? float(step.i) : step.f;
  code_.pushEax();
  code_.pushImm(int32_t(bitsOf(f)));
  code_.bytesOf({0xD9, 0x44, 0x24, 0x04, 0xD8, 0x04, 0x24, 0xD9, 0x5C, 0x24, 0x04, 0x58, 0x58});
  storeSlot(v->slot, t);
  code_.jmp(top);
  code_.place(exit);
}

// An integer loop tests at its foot (one jump a turn), steps the variable in memory and
// compares it with a constant last value directly.
void Compiler::genIntFor(const Stmt& s, const Var& v, int32_t step, bool up) {
  genValue(*s.value, {VT::Int});
  storeSlot(v.slot, {VT::Int});
  int32_t last = 0;
  const bool constantEnd = constIntOperand(*s.to, last);
  Slot end;
  if (!constantEnd) {
    end = newSlot({VT::Int});
    genValue(*s.to, {VT::Int});
    storeSlot(end, {VT::Int});
  }
  const bool inRegister = registerLoop(s);
  if (inRegister) {
    // The caller's ebx is kept on the stack for the loop; the counter lives in ebx.
    code_.byte(0x53);           // push ebx
    slotOperand(v.slot, 0x8B, 3);  // mov ebx,[home]
    counterInEbx_ = true;
    counterSlot_ = v.slot;
  }
  const int test = code_.newLabel();
  const int body = code_.newLabel();
  const int exit = code_.newLabel();
  code_.jmp(test);
  code_.place(body);
  constructs_.push_back({true, exit, {}});
  genBlock(s.body);
  constructs_.pop_back();
  addToSlot(v.slot, step);
  code_.place(test);
  const uint8_t reg = inRegister ? 3 : 0;  // ebx or eax
  if (!inRegister) {
    loadSlot(v.slot);
  }
  if (constantEnd) {
    code_.bytesOf({0x81, uint8_t(0xF8 | reg)});  // cmp reg,last
    code_.word(uint32_t(last));
  } else {
    slotOperand(end, 0x3B, reg);  // cmp reg,[end]
  }
  code_.jcc(up ? 0xE : 0xD, body);  // jle / jge: another turn
  code_.place(exit);
  if (inRegister) {
    counterInEbx_ = false;
    slotOperand(v.slot, 0x89, 3);  // mov [home],ebx: every way out comes here
    code_.byte(0x5B);              // pop ebx
  }
}

// Whether an integer loop may keep its counter in ebx: nothing in its body calls
// (no runtime entry, function, Gosub or jump), so nothing else can read the variable's
// home, and every way out is the loop's own exit.
bool Compiler::registerLoop(const Stmt& s) {
  return !options_.debug && !counterInEbx_ && registerBlock(s.body, 0);
}

bool Compiler::registerBlock(const Block& block, int depth) {
  if (depth > 8) {
    return false;
  }
  const auto plainVar = [&](const Expr& target, VT vt) {
    if (target.kind != ExprKind::Name) {
      return false;
    }
    const Var* v = findVar(target.text);
    return v && !v->vector && v->type.vt == vt;
  };
  for (const StmtPtr& p : block) {
    const Stmt& s = *p;
    switch (s.kind) {
      case StmtKind::Assign:
        if (plainVar(*s.target, VT::Int) && callFree(*s.value, 0)) {
          break;
        }
        if (plainVar(*s.target, VT::Float) && pureFloat(*s.value, 0)) {
          break;  // stored straight from the x87 stack
        }
        return false;
      case StmtKind::If:
        for (const ExprPtr& c : s.conds) {
          if (!callFree(*c, 0)) {
            return false;
          }
        }
        for (const Block& b : s.blocks) {
          if (!registerBlock(b, depth + 1)) {
            return false;
          }
        }
        if (!registerBlock(s.elseBlock, depth + 1)) {
          return false;
        }
        break;
      case StmtKind::For: {
        // A literal Step (or none), so a bad Step is still reported where the loop is compiled.
        const Expr* step = s.step.get();
        if (step && step->kind == ExprKind::Unary && step->text == "-") {
          step = step->args[0].get();
        }
        if (step && (step->kind != ExprKind::IntLit || step->intValue == 0)) {
          return false;
        }
        if (!plainVar(*s.target, VT::Int) || !callFree(*s.value, 0) ||
            !callFree(*s.to, 0) || !registerBlock(s.body, depth + 1)) {
          return false;
        }
        break;
      }
      case StmtKind::Exit: break;  // leaves this loop or a loop inside it
      default: return false;
    }
  }
  return true;
}

void Compiler::genForEach(const Stmt& s) {
  const Expr& target = *s.target;
  const auto type = typeIndex_.find(s.name);
  if (type == typeIndex_.end()) {
    fail(s.pos, "unknown type '" + s.name + "'");
  }
  const ValType t{VT::Obj, type->second};
  const Var* v = findVar(target.text);
  if (!v) {
    v = &declareVar(target.text, target.spelling, typeOfNote(target.note, target.pos, t), target.pos);
  }
  checkSigil(target, v->type, "a variable");
  if (v->type != t || v->vector) {
    fail(target.pos, "the loop variable is " + typeName(v->type) + ", the loop walks objects of type " + types_[t.type].spelling);
  }
  const int top = code_.newLabel();
  const int exit = code_.newLabel();
  code_.pushAddress(types_[t.type].desc);
  pushSlotAddress(v->slot);
  callEntry("__ksObjEachFirst", 8);
  code_.bytesOf({0x85, 0xC0});
  code_.jcc(0x4, exit);
  code_.place(top);
  constructs_.push_back({true, exit, {}});
  genBlock(s.body);
  constructs_.pop_back();
  pushSlotAddress(v->slot);
  callEntry("__ksObjEachNext", 4);
  code_.bytesOf({0x85, 0xC0});
  code_.jcc(0x5, top);
  code_.place(exit);
}

void Compiler::genSelect(const Stmt& s) {
  const ValType t = infer(*s.value);
  if (t.vt == VT::Void) {
    fail(s.value->pos, "this command returns no value");
  }
  const std::string key = "#select" + std::to_string(body_->hidden++);
  const ValType held = t.vt == VT::Null ? ValType{VT::Null} : t;
  Var v;
  v.type = held.vt == VT::Null ? ValType{VT::Int} : held;
  v.slot = newSlot(v.type);
  body_->vars[key] = v;
  genValue(*s.value, v.type);
  storeSlot(v.slot, v.type);
  if (v.type.vt == VT::Str) {
    constructs_.push_back({false, -1, v.slot, &s});
  }
  const int end = code_.newLabel();
  const int otherwise = code_.newLabel();
  std::vector<int> bodies;
  for (const auto& values : s.caseValues) {
    bodies.push_back(code_.newLabel());
    for (const ExprPtr& value : values) {
      // Select value = case value, through the one comparison the language has.
      auto test = std::make_unique<Expr>();
      test->kind = ExprKind::Binary;
      test->pos = value->pos;
      test->text = "=";
      auto name = std::make_unique<Expr>();
      name->kind = ExprKind::Name;
      name->pos = value->pos;
      name->text = key;
      name->spelling = "Select";
      test->args.push_back(std::move(name));
      test->args.push_back(std::move(const_cast<ExprPtr&>(value)));
      gen(*test);
      const_cast<ExprPtr&>(value) = std::move(test->args[1]);
      synthetic_.push_back(std::move(test));  // kept alive: the type cache is keyed by address
      code_.bytesOf({0x85, 0xC0});
      code_.jcc(0x5, bodies.back());
    }
  }
  code_.jmp(otherwise);
  for (size_t i = 0; i < bodies.size(); ++i) {
    code_.place(bodies[i]);
    genBlock(s.blocks[i]);
    code_.jmp(end);
  }
  code_.place(otherwise);
  genBlock(s.elseBlock);
  code_.place(end);
  if (v.type.vt == VT::Str) {
    constructs_.pop_back();
    code_.movEax(0);
    storeSlot(v.slot, v.type);
  }
}

void Compiler::genRead(const Stmt& s) {
  for (const ExprPtr& item : s.items) {
    genAssign(*item, [&](ValType want) {
      switch (want.vt) {
        case VT::Int: callEntry("__ksReadInt", 0); break;
        case VT::Float:
          code_.call("__ksReadFloat");
          floatResultToEax(0);
          break;
        case VT::Str: callEntry("__ksReadStr", 0); break;
        default: fail(item->pos, "Read fills numbers and strings, not " + typeName(want));
      }
    }, item->pos);
  }
}

void Compiler::genStatement(const Stmt& s) {
  switch (s.kind) {
    case StmtKind::Label:
    case StmtKind::Function:
    case StmtKind::Type:
    case StmtKind::Const:
    case StmtKind::Data: break;
    default:
      if (options_.debug) {
        debugStatement(s.pos);
      }
  }
  switch (s.kind) {
    case StmtKind::Assign:
      if (genInPlace(s)) {
        break;
      }
      genAssign(*s.target, [&](ValType want) { genStored(*s.value, want); }, s.pos);
      break;
    case StmtKind::Call: {
      const ValType t = genCall(*s.value, true);
      if (t.vt == VT::Str) {
        code_.pushEax();
        callEntry("__ksStrRelease", 4);
      }
      break;
    }
    case StmtKind::Local: genLocal(s); break;
    case StmtKind::Global:
      for (const VarDecl& d : s.decls) {
        initialise(d, globals_.at(d.name));
      }
      break;
    case StmtKind::Dim: genDim(s); break;
    case StmtKind::If: {
      const int end = code_.newLabel();
      for (size_t i = 0; i < s.conds.size(); ++i) {
        const int next = code_.newLabel();
        genCondJumpFalse(*s.conds[i], next);
        genBlock(s.blocks[i]);
        code_.jmp(end);
        code_.place(next);
      }
      genBlock(s.elseBlock);
      code_.place(end);
      break;
    }
    case StmtKind::Select: genSelect(s); break;
    case StmtKind::For: genFor(s); break;
    case StmtKind::ForEach: genForEach(s); break;
    case StmtKind::While: {
      const int top = code_.newLabel();
      const int exit = code_.newLabel();
      code_.place(top);
      genCondJumpFalse(*s.value, exit);
      constructs_.push_back({true, exit, {}});
      genBlock(s.body);
      constructs_.pop_back();
      code_.jmp(top);
      code_.place(exit);
      break;
    }
    case StmtKind::Repeat: {
      const int top = code_.newLabel();
      const int exit = code_.newLabel();
      code_.place(top);
      constructs_.push_back({true, exit, {}});
      genBlock(s.body);
      constructs_.pop_back();
      if (s.value) {
        genCondJumpFalse(*s.value, top);
      } else {
        code_.jmp(top);
      }
      code_.place(exit);
      break;
    }
    case StmtKind::Exit: {
      int i = int(constructs_.size()) - 1;
      while (i >= 0 && !constructs_[i].loop) {
        --i;
      }
      if (i < 0) {
        fail(s.pos, "Exit is outside a loop");
      }
      for (int j = int(constructs_.size()) - 1; j > i; --j) {  // strings the Exit leaves behind
        code_.movEax(0);
        storeSlot(constructs_[j].selectSlot, {VT::Str});
      }
      code_.jmp(constructs_[i].exitLabel);
      break;
    }
    case StmtKind::Return:
      if (!body_->function) {
        if (s.value) {
          fail(s.value->pos, "Return with a value belongs in a function");
        }
        releaseSelectsLeft(nullptr);
        code_.ret();  // back from Gosub, or the end of the program
        break;
      }
      if (s.value) {
        genValue(*s.value, body_->function->result);
      } else {
        genConst(zeroOf(body_->function->result));
        convert(zeroOf(body_->function->result).type, body_->function->result, s.pos);
      }
      code_.storeLocal(body_->result.at);
      code_.jmp(body_->epilogue);
      break;
    case StmtKind::Gosub:
      if (body_->function) {
        fail(s.pos, "Gosub belongs in the main program");
      }
      code_.callLabel(labelFor(s.name, s.pos));
      break;
    case StmtKind::Goto: {
      const int target = labelFor(s.name, s.pos);
      releaseSelectsLeft(&s.name);
      code_.jmp(target);
      break;
    }
    case StmtKind::Label: code_.place(labelFor(s.name, s.pos)); break;
    case StmtKind::Read: genRead(s); break;
    case StmtKind::Restore: {
      int index = 0;
      if (!s.name.empty()) {
        const auto found = dataLabels_.find(s.name);
        if (found == dataLabels_.end()) {
          fail(s.pos, "unknown label '" + s.name + "'");
        }
        index = found->second;
      }
      code_.pushAddress(dataTable_ + 8 * index);
      callEntry("__ksRestore", 4);
      break;
    }
    case StmtKind::Delete: {
      const ValType t = infer(*s.value);
      if (t.vt != VT::Obj && t.vt != VT::Null) {
        fail(s.value->pos, "Delete needs an object, not " + typeName(t));
      }
      gen(*s.value);
      code_.pushEax();
      callEntry("__ksObjDelete", 4);
      break;
    }
    case StmtKind::DeleteEach: {
      const auto type = typeIndex_.find(s.name);
      if (type == typeIndex_.end()) {
        fail(s.pos, "unknown type '" + s.name + "'");
      }
      code_.pushAddress(types_[type->second].desc);
      callEntry("__ksObjDeleteEach", 4);
      break;
    }
    case StmtKind::Insert: {
      const ValType a = infer(*s.target);
      const ValType b = infer(*s.to);
      if (a.vt != VT::Obj || b != a) {
        fail(s.pos, "Insert moves an object before or after another of the same type");
      }
      gen(*s.target);
      nullCheck();
      code_.pushEax();
      gen(*s.to);
      nullCheck();
      callBinaryEntry(s.before ? "__ksObjInsBefore" : "__ksObjInsAfter");
      break;
    }
    case StmtKind::End: code_.call(findCommand("end")->linkName); break;
    default: break;
  }
}

void Compiler::genFunction(Function& f) {
  Body b;
  b.function = &f;
  body_ = &b;
  constructs_.clear();
  code_.place(f.label);
  code_.bytesOf({0x55, 0x89, 0xE5});  // push ebp; mov ebp,esp
  const int init = code_.newLabel();
  const int start = code_.newLabel();
  code_.jmp(init);
  code_.place(start);
  for (size_t i = 0; i < f.params.size(); ++i) {
    const Param& p = f.params[i];
    Var v;
    v.type = p.type;
    v.slot = {false, int32_t(8 + 4 * i)};
    v.pos = p.pos;
    b.vars[p.name] = v;
    if (p.type.vt == VT::Str) {
      b.strings.push_back(v.slot);
    } else if (p.type.vt == VT::Obj) {
      b.objects.push_back(v.slot);
    }
  }
  b.result = {false, -4 * ++b.frameSlots};
  b.epilogue = code_.newLabel();
  genBlock(f.stmt->body);
  genConst(zeroOf(f.result));
  code_.storeLocal(b.result.at);
  code_.place(b.epilogue);
  if (options_.debug) {
    callEntry("__ksDebugLeave", 0);
  }
  for (const Slot& slot : b.strings) {
    code_.bytesOf({0xFF, 0xB5});  // push dword [ebp+d]
    code_.word(uint32_t(slot.at));
    callEntry("__ksStrRelease", 4);
  }
  for (const Slot& slot : b.objects) {
    code_.bytesOf({0xFF, 0xB5});
    code_.word(uint32_t(slot.at));
    callEntry("__ksObjRelease", 4);
  }
  for (const Var* v : b.vectors) {
    const int skip = code_.newLabel();
    loadSlot(v->slot);
    code_.bytesOf({0x85, 0xC0});
    code_.jcc(0x4, skip);
    code_.pushAddress(v->vecDesc);
    code_.pushEax();
    callEntry("__ksVecFree", 8);
    code_.place(skip);
  }
  code_.loadLocal(b.result.at);
  code_.bytesOf({0x89, 0xEC, 0x5D, 0xC3});  // mov esp,ebp; pop ebp; ret
  code_.place(init);
  if (b.frameSlots > 0) {
    code_.byte(0xB9);  // mov ecx,n; zero: push 0; dec ecx; jnz zero
    code_.word(uint32_t(b.frameSlots));
    code_.bytesOf({0x6A, 0x00, 0x49, 0x75, 0xFB});
  }
  for (size_t i = 0; i < f.params.size(); ++i) {
    if (f.params[i].type.vt != VT::Obj) {
      continue;
    }
    // The caller lends the object; the parameter holds its own reference.
    const int32_t at = int32_t(8 + 4 * i);
    code_.loadLocal(at);
    code_.bytesOf({0xC7, 0x85});
    code_.word(uint32_t(at));
    code_.word(0);
    code_.pushEax();
    code_.leaLocal(at);
    code_.pushEax();
    callEntry("__ksObjStore", 8);
  }
  if (options_.debug) {
    code_.pushImm(f.stmt->pos.line);
    code_.pushAddress(literal(sources_.files[f.stmt->pos.file].path));
    code_.pushAddress(literal(f.spelling));
    callEntry("__ksDebugEnter", 12);
  }
  code_.jmp(start);
  body_ = nullptr;
}

namespace {

bool blockHasLabel(const Block& block, const std::string& label) {
  for (const StmtPtr& s : block) {
    if (s->kind == StmtKind::Label && s->name == label) {
      return true;
    }
    bool inside = blockHasLabel(s->body, label) || blockHasLabel(s->elseBlock, label);
    for (const Block& b : s->blocks) {
      inside = inside || blockHasLabel(b, label);
    }
    if (inside) {
      return true;
    }
  }
  return false;
}

}  // namespace

// A jump out of string Selects (to `label`, or out of all of them when null) releases
// the values they hold: nothing keeps a string alive once its Select is left.
void Compiler::releaseSelectsLeft(const std::string* label) {
  for (int j = int(constructs_.size()) - 1; j >= 0; --j) {
    const Construct& c = constructs_[j];
    if (c.loop || !c.select) {
      continue;
    }
    if (label) {
      bool inside = blockHasLabel(c.select->elseBlock, *label);
      for (const Block& b : c.select->blocks) {
        inside = inside || blockHasLabel(b, *label);
      }
      if (inside) {
        break;  // the jump stays inside this Select and so inside the ones around it
      }
    }
    code_.movEax(0);
    storeSlot(c.selectSlot, {VT::Str});
  }
}

// add dword [slot],value
void Compiler::addToSlot(const Slot& slot, int32_t value) {
  if (inEbx(slot)) {
    code_.bytesOf({0x81, 0xC3});  // add ebx,value
  } else {
    slotOperand(slot, 0x81, 0);  // add [slot],value
  }
  code_.word(uint32_t(value));
}

// An integer expression whose evaluation calls nothing and changes nothing, so it may be
// worked out after the stored-to place is read: literals, variables, constants and
// integer operators over them.
bool Compiler::callFree(const Expr& e, int depth) {
  if (depth > 8 || infer(e).vt != VT::Int) {
    return false;
  }
  switch (e.kind) {
    case ExprKind::IntLit: return e.intValue <= 2147483647LL;
    case ExprKind::Name: return simpleInt(e);
    case ExprKind::Unary: return (e.text == "-" || e.text == "~") && callFree(*e.args[0], depth + 1);
    case ExprKind::Binary:
      return e.text != "^" && infer(*e.args[0]).vt == VT::Int && infer(*e.args[1]).vt == VT::Int &&
             callFree(*e.args[0], depth + 1) && callFree(*e.args[1], depth + 1);
    default: return false;
  }
}

// The same variable or the same array element (indexes written alike and call-free).
bool Compiler::sameTarget(const Expr& a, const Expr& b) {
  if (a.kind != b.kind || a.text != b.text || a.note.sigil != b.note.sigil ||
      a.note.typeName != b.note.typeName || a.args.size() != b.args.size()) {
    return false;
  }
  if (a.kind == ExprKind::Name) {
    const Var* v = findVar(a.text);
    return v && !v->vector && v->type.vt == VT::Int;
  }
  if (a.kind == ExprKind::IntLit) {
    return a.intValue == b.intValue;
  }
  if (a.kind == ExprKind::Call) {
    const auto found = arrays_.find(a.text);
    if (found == arrays_.end() || found->second.elem.vt != VT::Int || int(a.args.size()) != found->second.dims) {
      return false;
    }
    for (size_t k = 0; k < a.args.size(); ++k) {
      if (!callFree(*a.args[k], 0) || !sameIndex(*a.args[k], *b.args[k])) {
        return false;
      }
    }
    return true;
  }
  return false;
}

// Whether a call-free expression reads the variable `key`.
bool Compiler::mentions(const Expr& e, const std::string& key) {
  if (e.kind == ExprKind::Name && e.text == key) {
    return true;
  }
  for (const ExprPtr& a : e.args) {
    if (mentions(*a, key)) {
      return true;
    }
  }
  return false;
}

// Two call-free index expressions written alike.
bool Compiler::sameIndex(const Expr& a, const Expr& b) {
  if (a.kind != b.kind || a.text != b.text || a.args.size() != b.args.size()) {
    return false;
  }
  if (a.kind == ExprKind::IntLit && a.intValue != b.intValue) {
    return false;
  }
  for (size_t k = 0; k < a.args.size(); ++k) {
    if (!sameIndex(*a.args[k], *b.args[k])) {
      return false;
    }
  }
  return true;
}

// x = x + terms or x = x - terms (x an integer variable or array element, the terms
// call-free) adds each term to x in memory instead of loading, adding and storing.
bool Compiler::genInPlace(const Stmt& s) {
  if (s.target->kind == ExprKind::Name) {
    // A float variable takes pure float arithmetic straight from the x87 stack.
    const Var* v = findVar(s.target->text);
    if (v && !v->vector && v->type.vt == VT::Float && !inEbx(v->slot) && pureFloat(*s.value, 0)) {
      checkSigil(*s.target, v->type, "a variable");
      genFloatSt(*s.value);
      code_.bytesOf({0xD9, uint8_t(v->slot.global ? 0x1D : 0x9D)});  // fstp dword [slot]
      if (v->slot.global) {
        code_.addressWord(v->slot.at);
      } else {
        code_.word(uint32_t(v->slot.at));
      }
      return true;
    }
  }
  // An integer field of an object variable is a term too: reading it changes nothing
  // (a null object raises its error before anything is stored).
  const auto inPlaceTerm = [&](const Expr& t) {
    if (callFree(t, 0)) {
      return true;
    }
    if (t.kind != ExprKind::Field || infer(t).vt != VT::Int || t.args[0]->kind != ExprKind::Name) {
      return false;
    }
    const Var* object = findVar(t.args[0]->text);
    return object && !object->vector && object->type.vt == VT::Obj;
  };
  std::vector<std::pair<bool, const Expr*>> terms;  // (subtract, term), last first
  const Expr* e = s.value.get();
  while (e->kind == ExprKind::Binary && (e->text == "+" || e->text == "-") && infer(*e).vt == VT::Int &&
         inPlaceTerm(*e->args[1]) && !sameTarget(*s.target, *e)) {
    terms.push_back({e->text == "-", e->args[1].get()});
    e = e->args[0].get();
  }
  if (terms.empty() || !sameTarget(*s.target, *e) || infer(*e).vt != VT::Int) {
    return false;
  }
  for (const auto& term : terms) {
    if (s.target->kind == ExprKind::Name && mentions(*term.second, s.target->text)) {
      return false;  // a later term would read the partly updated variable
    }
  }
  if (s.target->kind == ExprKind::Name) {
    const Var* v = findVar(s.target->text);
    checkSigil(*s.target, v->type, "a variable");
    const Slot& slot = v->slot;
    for (auto it = terms.rbegin(); it != terms.rend(); ++it) {
      genValue(*it->second, {VT::Int});
      if (inEbx(slot)) {
        code_.bytesOf({uint8_t(it->first ? 0x29 : 0x01), 0xC3});  // add/sub ebx,eax
      } else {
        slotOperand(slot, uint8_t(it->first ? 0x29 : 0x01), 0);  // add/sub [slot],eax
      }
    }
    return true;
  }
  genAddress(*s.target);
  for (auto it = terms.rbegin(); it != terms.rend(); ++it) {
    const Expr& term = *it->second;
    if (simpleInt(term)) {
      loadEcx(term);
    } else {
      code_.pushEax();
      genValue(term, {VT::Int});
      code_.bytesOf({0x89, 0xC1, 0x58});  // mov ecx,eax; pop eax
    }
    code_.bytesOf({uint8_t(it->first ? 0x29 : 0x01), 0x08});  // add/sub [eax],ecx
  }
  return true;
}
