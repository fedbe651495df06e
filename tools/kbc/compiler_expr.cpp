// Expressions: type inference (cached per node) and code that leaves the value in eax.
// String results are new strings the code owns; object results are borrowed.
#include <cstring>

#include "tools/kbc/compiler.h"

namespace {

bool isNumeric(ValType t) {
  return t.vt == VT::Int || t.vt == VT::Float;
}

bool isObject(ValType t) {
  return t.vt == VT::Obj || t.vt == VT::Null;
}

uint32_t bitsOf(float f) {
  uint32_t w;
  std::memcpy(&w, &f, 4);
  return w;
}

bool isComparison(const std::string& op) {
  return op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=";
}

ValType sigilType(char sigil) {
  return sigil == '#' ? ValType{VT::Float} : sigil == '$' ? ValType{VT::Str} : ValType{VT::Int};
}

}  // namespace

bool Compiler::isBuiltin(const std::string& key) const {
  return key == "int" || key == "float" || key == "str" || key == "abs" || key == "sgn" || key == "handle";
}

const Var* Compiler::findVar(const std::string& key) const {
  if (body_) {
    const auto local = body_->vars.find(key);
    if (local != body_->vars.end()) {
      return &local->second;
    }
  }
  const auto global = globals_.find(key);
  return global == globals_.end() ? nullptr : &global->second;
}

const Command* Compiler::findCommand(const std::string& key) const {
  const auto found = commands_.find(key);
  return found == commands_.end() ? nullptr : &found->second;
}

void Compiler::checkSigil(const Expr& e, ValType t, const std::string& what) {
  if (e.note.sigil && sigilType(e.note.sigil) != t) {
    fail(e.pos, "'" + e.spelling + "' is " + what + " of " + typeName(t) + ": the sigil " + e.note.sigil +
                    " does not match");
  }
  if (!e.note.typeName.empty()) {
    const ValType noted = typeOfNote(e.note, e.pos);
    if (noted != t) {
      fail(e.pos, "'" + e.spelling + "' is " + what + " of " + typeName(t) + ", not of type " + e.note.typeSpelling);
    }
  }
}

ValType Compiler::infer(const Expr& e) {
  const auto found = inferred_.find(&e);
  if (found != inferred_.end()) {
    return found->second;
  }
  const ValType t = inferUncached(e);
  inferred_[&e] = t;
  return t;
}

ValType Compiler::inferUncached(const Expr& e) {
  switch (e.kind) {
    case ExprKind::IntLit: return {VT::Int};
    case ExprKind::FloatLit: return {VT::Float};
    case ExprKind::StrLit: return {VT::Str};
    case ExprKind::Null: return {VT::Null};
    case ExprKind::Name: {
      if (const Var* v = findVar(e.text)) {
        if (v->vector) {
          fail(e.pos, "'" + e.spelling + "' is a fixed-size block: index it with [ ]");
        }
        return v->type;
      }
      if (const auto c = consts_.find(e.text); c != consts_.end()) {
        return c->second.type;
      }
      if (arrays_.count(e.text)) {
        fail(e.pos, "array '" + e.spelling + "' needs its indexes in ( )");
      }
      if (const auto f = functions_.find(e.text); f != functions_.end()) {
        return f->second.result;
      }
      if (const Command* c = findCommand(e.text)) {
        return c->result ? sigilType(c->result) : ValType{VT::Void};
      }
      fail(e.pos, "unknown name '" + e.spelling + "'");
    }
    case ExprKind::Call: {
      if (const auto a = arrays_.find(e.text); a != arrays_.end()) {
        return a->second.elem;
      }
      if (const auto f = functions_.find(e.text); f != functions_.end()) {
        return f->second.result;
      }
      if (isBuiltin(e.text)) {
        if (e.args.size() != 1) {
          fail(e.pos, e.spelling + " takes one value");
        }
        if (e.text == "int" || e.text == "handle") {
          return {VT::Int};
        }
        if (e.text == "float") {
          return {VT::Float};
        }
        if (e.text == "str") {
          return {VT::Str};
        }
        const ValType t = infer(*e.args[0]);
        if (!isNumeric(t)) {
          fail(e.args[0]->pos, e.spelling + " needs a number, not " + typeName(t));
        }
        return t;
      }
      if (const Command* c = findCommand(e.text)) {
        return c->result ? sigilType(c->result) : ValType{VT::Void};
      }
      if (findVar(e.text)) {
        fail(e.pos, "'" + e.spelling + "' is a variable, not an array or function");
      }
      fail(e.pos, "unknown function, array or command '" + e.spelling + "'");
    }
    case ExprKind::Field: {
      const ValType left = infer(*e.args[0]);
      if (left.vt != VT::Obj) {
        fail(e.pos, "'\\' needs an object on its left, not " + typeName(left));
      }
      for (const FieldInfo& f : types_[left.type].fields) {
        if (f.name == e.text) {
          if (f.vector) {
            fail(e.pos, "field '" + f.spelling + "' is a fixed-size block: index it with [ ]");
          }
          return f.type;
        }
      }
      fail(e.pos, "type " + types_[left.type].spelling + " has no field '" + e.spelling + "'");
    }
    case ExprKind::Index: {
      const Expr& base = *e.args[0];
      if (base.kind == ExprKind::Name) {
        const Var* v = findVar(base.text);
        if (v && v->vector) {
          return v->type;
        }
      } else if (base.kind == ExprKind::Field) {
        const ValType left = infer(*base.args[0]);
        if (left.vt == VT::Obj) {
          for (const FieldInfo& f : types_[left.type].fields) {
            if (f.name == base.text && f.vector) {
              return f.type;
            }
          }
        }
      }
      fail(e.pos, "only fixed-size blocks are indexed with [ ]");
    }
    case ExprKind::Unary: {
      const ValType t = infer(*e.args[0]);
      if (e.text == "not") {
        if (t.vt == VT::Str || t.vt == VT::Void) {
          fail(e.pos, "Not needs a number or an object, not " + typeName(t));
        }
        return {VT::Int};
      }
      if (!isNumeric(t)) {
        fail(e.pos, "operator " + e.text + " needs a number, not " + typeName(t));
      }
      return e.text == "~" ? ValType{VT::Int} : t;
    }
    case ExprKind::Binary: {
      const ValType l = infer(*e.args[0]);
      const ValType r = infer(*e.args[1]);
      const std::string& op = e.text;
      if (l.vt == VT::Void || r.vt == VT::Void) {
        fail(l.vt == VT::Void ? e.args[0]->pos : e.args[1]->pos, "this command returns no value");
      }
      if (isComparison(op)) {
        if (isObject(l) || isObject(r)) {
          const bool strings = l.vt == VT::Str || r.vt == VT::Str;
          if (!strings) {
            if (!isObject(l) || !isObject(r) || (l.vt == VT::Obj && r.vt == VT::Obj && l.type != r.type)) {
              fail(e.pos, "cannot compare " + typeName(l) + " with " + typeName(r));
            }
            if (op != "=" && op != "<>") {
              fail(e.pos, "objects are compared only with = and <>");
            }
          }
        }
        return {VT::Int};
      }
      if (op == "+" && (l.vt == VT::Str || r.vt == VT::Str)) {
        if (!convertible(l, {VT::Str}) || !convertible(r, {VT::Str})) {
          fail(e.pos, "cannot join " + typeName(l) + " and " + typeName(r));
        }
        return {VT::Str};
      }
      if (!isNumeric(l) || !isNumeric(r)) {
        fail(e.pos, "operator " + op + " needs numbers, not " + typeName(isNumeric(l) ? r : l));
      }
      if (op == "^") {
        return {VT::Float};
      }
      if (op == "shl" || op == "shr" || op == "sar" || op == "and" || op == "or" || op == "xor") {
        return {VT::Int};
      }
      return (l.vt == VT::Float || r.vt == VT::Float) ? ValType{VT::Float} : ValType{VT::Int};
    }
    case ExprKind::New:
    case ExprKind::First:
    case ExprKind::Last:
    case ExprKind::ObjectOf: {
      const auto t = typeIndex_.find(e.text);
      if (t == typeIndex_.end()) {
        fail(e.pos, "unknown type '" + e.spelling + "'");
      }
      return {VT::Obj, t->second};
    }
    case ExprKind::After:
    case ExprKind::Before: {
      const ValType t = infer(*e.args[0]);
      if (t.vt != VT::Obj) {
        fail(e.args[0]->pos, std::string(e.kind == ExprKind::After ? "After" : "Before") +
                                 " needs an object, not " + typeName(t));
      }
      return t;
    }
  }
  fail(e.pos, "unexpected expression");
}

bool Compiler::convertible(ValType from, ValType to) const {
  if (from == to) {
    return true;
  }
  switch (to.vt) {
    case VT::Int:
    case VT::Float: return from.vt == VT::Int || from.vt == VT::Float || from.vt == VT::Str;
    case VT::Str: return from.vt != VT::Void;
    case VT::Obj: return from.vt == VT::Null;
    default: return false;
  }
}

void Compiler::callEntry(const char* link, int argBytes) {
  code_.call(link);
  code_.addEsp(argBytes);
}

// Left operand at [esp], right in eax: calls link(left, right).
void Compiler::callBinaryEntry(const char* link) {
  code_.popEcx();
  code_.pushEax();
  code_.pushEcx();
  callEntry(link, 8);
}

// A float result on the x87 stack becomes bits in eax; argBytes are still on the stack.
void Compiler::floatResultToEax(int argBytes) {
  if (argBytes >= 4) {
    code_.addEsp(argBytes - 4);
  } else {
    code_.pushEax();
  }
  code_.bytesOf({0xD9, 0x1C, 0x24});  // fstp dword [esp]
  code_.popEax();
}

void Compiler::convert(ValType from, ValType to, SourcePos pos) {
  if (from == to || (to.vt == VT::Obj && from.vt == VT::Null)) {
    return;
  }
  if (!convertible(from, to)) {
    fail(pos, "cannot use " + typeName(from) + " as " + typeName(to));
  }
  if (from.vt == VT::Int && to.vt == VT::Float) {
    code_.bytesOf({0x50, 0xDB, 0x04, 0x24, 0xD9, 0x1C, 0x24, 0x58});  // fild; fstp
  } else if (from.vt == VT::Float && to.vt == VT::Int) {
    // Truncation toward zero: the rounding field of the control word set to chop.
    code_.bytesOf({0x50, 0xD9, 0x04, 0x24, 0x83, 0xEC, 0x04, 0xD9, 0x3C, 0x24, 0x66, 0x8B, 0x04, 0x24, 0x66, 0x0D,
                   0x00, 0x0C, 0x66, 0x89, 0x44, 0x24, 0x02, 0xD9, 0x6C, 0x24, 0x02, 0xDB, 0x5C, 0x24, 0x04, 0xD9,
                   0x2C, 0x24, 0x83, 0xC4, 0x04, 0x58});
  } else if (to.vt == VT::Str) {
    code_.pushEax();
    callEntry(from.vt == VT::Int ? "__ksStrFromInt" : from.vt == VT::Float ? "__ksStrFromFloat" : "__ksObjToStr", 4);
  } else if (from.vt == VT::Str && to.vt == VT::Int) {
    code_.pushEax();
    callEntry("__ksStrToInt", 4);
  } else if (from.vt == VT::Str && to.vt == VT::Float) {
    code_.pushEax();
    code_.call("__ksStrToFloat");
    floatResultToEax(4);
  }
}

void Compiler::genValue(const Expr& e, ValType want) {
  const ValType t = infer(e);
  if (t.vt == VT::Void) {
    fail(e.pos, "'" + e.spelling + "' returns no value");
  }
  if (!convertible(t, want)) {
    fail(e.pos, "cannot use " + typeName(t) + " as " + typeName(want));
  }
  gen(e);
  convert(t, want, e.pos);
}

void Compiler::genConst(const ConstValue& c) {
  switch (c.type.vt) {
    case VT::Float: code_.movEax(int32_t(bitsOf(c.f))); break;
    case VT::Str:
      code_.pushAddress(literal(c.s));
      callEntry("__ksStrConst", 4);
      break;
    case VT::Int: code_.movEax(c.i); break;
    default: code_.movEax(0); break;
  }
}

void Compiler::loadFrom(ValType t) {
  if (t.vt == VT::Str) {
    code_.pushEax();
    callEntry("__ksStrLoad", 4);
  } else {
    code_.bytesOf({0x8B, 0x00});  // mov eax,[eax]
  }
}

void Compiler::nullCheck() {
  // test eax,eax; jz fail; cmp dword [eax],0; jne ok; fail: call _ksNullObjEx; ok:
  code_.bytesOf({0x85, 0xC0, 0x74, 0x05, 0x83, 0x38, 0x00, 0x75, 0x05});
  code_.call("__ksNullObjEx");
}

ValType Compiler::gen(const Expr& e) {
  const ValType t = infer(e);
  switch (e.kind) {
    case ExprKind::IntLit:
      if (e.intValue > 2147483647LL) {
        fail(e.pos, "integer number is too large (the largest is 2147483647)");
      }
      code_.movEax(int32_t(e.intValue));
      return t;
    case ExprKind::FloatLit: code_.movEax(int32_t(bitsOf(e.floatValue))); return t;
    case ExprKind::StrLit:
      code_.pushAddress(literal(e.text));
      callEntry("__ksStrConst", 4);
      return t;
    case ExprKind::Null: code_.movEax(0); return t;
    case ExprKind::Name: {
      if (const Var* v = findVar(e.text)) {
        checkSigil(e, v->type, "a variable");
        if (v->type.vt == VT::Str) {
          pushSlotAddress(v->slot);
          callEntry("__ksStrLoad", 4);
        } else {
          loadSlot(v->slot);
        }
        return t;
      }
      if (const auto c = consts_.find(e.text); c != consts_.end()) {
        checkSigil(e, c->second.type, "a constant");
        genConst(c->second);
        return t;
      }
      return genCall(e, false);
    }
    case ExprKind::Call: return genCall(e, false);
    case ExprKind::Field:
      genAddress(e);
      if (t.vt != VT::Str) {
        code_.bytes[code_.bytes.size() - 6] = 0x8B;  // the field's lea eax,[eax+4i] becomes its load
        return t;
      }
      loadFrom(t);
      return t;
    case ExprKind::Index:
      genAddress(e);
      loadFrom(t);
      return t;
    case ExprKind::Unary: return genUnary(e);
    case ExprKind::Binary: return genBinary(e);
    case ExprKind::New:
    case ExprKind::First:
    case ExprKind::Last:
      code_.pushAddress(types_[t.type].desc);
      callEntry(e.kind == ExprKind::New ? "__ksObjNew" : e.kind == ExprKind::First ? "__ksObjFirst" : "__ksObjLast", 4);
      return t;
    case ExprKind::After:
    case ExprKind::Before:
      gen(*e.args[0]);
      nullCheck();
      code_.pushEax();
      callEntry(e.kind == ExprKind::After ? "__ksObjNext" : "__ksObjPrev", 4);
      return t;
    case ExprKind::ObjectOf:
      genValue(*e.args[0], {VT::Int});
      code_.pushAddress(types_[t.type].desc);
      code_.pushEax();
      callEntry("__ksObjFromHandle", 8);
      return t;
  }
  return t;
}

ValType Compiler::genUnary(const Expr& e) {
  const ValType t = infer(e);
  const Expr& a = *e.args[0];
  if (e.text == "-") {
    if (a.kind == ExprKind::IntLit) {
      code_.movEax(int32_t(-a.intValue));
      return t;
    }
    gen(a);
    if (t.vt == VT::Int) {
      code_.bytesOf({0xF7, 0xD8});  // neg eax
    } else {
      code_.bytesOf({0x35, 0x00, 0x00, 0x00, 0x80});  // flip the sign bit
    }
    return t;
  }
  if (e.text == "+") {
    gen(a);
    return t;
  }
  if (e.text == "~") {
    genValue(a, {VT::Int});
    code_.bytesOf({0xF7, 0xD0});  // not eax
    return t;
  }
  // Not: 1 for zero, 0.0, Null or a deleted object; 0 otherwise.
  const ValType at = infer(a);
  gen(a);
  if (at.vt == VT::Float) {
    code_.bytesOf({0x25, 0xFF, 0xFF, 0xFF, 0x7F});  // and eax,0x7FFFFFFF (-0.0 is zero)
  } else if (isObject(at)) {
    code_.pushImm(0);
    code_.pushEax();
    callEntry("__ksObjCompare", 8);  // 0 when it equals Null
    code_.bytesOf({0x85, 0xC0});
  } else {
    code_.bytesOf({0x85, 0xC0});
  }
  code_.bytesOf({0x0F, 0x94, 0xC0, 0x0F, 0xB6, 0xC0});  // sete al; movzx eax,al
  return t;
}

// An integer operand that can be loaded straight into ecx: a literal, an integer
// constant or an integer variable.
bool Compiler::simpleInt(const Expr& e) {
  if (e.kind == ExprKind::IntLit) {
    return e.intValue <= 2147483647LL;
  }
  if (e.kind != ExprKind::Name || infer(e).vt != VT::Int) {
    return false;
  }
  const Var* v = findVar(e.text);
  return v ? !v->vector : consts_.count(e.text) != 0;
}

void Compiler::loadEcx(const Expr& e) {
  if (e.kind == ExprKind::IntLit) {
    code_.byte(0xB9);
    code_.word(uint32_t(e.intValue));
    return;
  }
  if (const Var* v = findVar(e.text)) {
    checkSigil(e, v->type, "a variable");
    if (inEbx(v->slot)) {
      code_.bytesOf({0x89, 0xD9});  // mov ecx,ebx
    } else if (v->slot.global) {
      code_.bytesOf({0x8B, 0x0D});  // mov ecx,[abs]
      code_.addressWord(v->slot.at);
    } else {
      code_.bytesOf({0x8B, 0x8D});  // mov ecx,[ebp+d]
      code_.word(uint32_t(v->slot.at));
    }
    return;
  }
  code_.byte(0xB9);
  code_.word(uint32_t(consts_.at(e.text).i));
}

// Two integer operands: the left in eax, the right in ecx.
void Compiler::genIntOperands(const Expr& a, const Expr& b) {
  if (simpleInt(a) && !simpleInt(b)) {
    // The right side first: the left one has no effects and loads without the stack.
    genValue(b, {VT::Int});
    code_.bytesOf({0x89, 0xC1});  // mov ecx,eax
    gen(a);
    return;
  }
  genValue(a, {VT::Int});
  if (simpleInt(b)) {
    loadEcx(b);
    return;
  }
  code_.pushEax();
  genValue(b, {VT::Int});
  code_.bytesOf({0x89, 0xC1, 0x58});  // mov ecx,eax; pop eax
}

// Float arithmetic without calls stays on the x87 stack (the convention leaves the
// stack empty at every call, so nothing that calls may run in between).
bool Compiler::pureFloat(const Expr& e, int depth) {
  if (depth > 6) {
    return false;
  }
  const ValType t = infer(e);
  if (t.vt != VT::Int && t.vt != VT::Float) {
    return false;
  }
  switch (e.kind) {
    case ExprKind::IntLit: return e.intValue <= 2147483647LL;
    case ExprKind::FloatLit: return true;
    case ExprKind::Name: {
      const Var* v = findVar(e.text);
      return v ? !v->vector : consts_.count(e.text) != 0;
    }
    case ExprKind::Unary: return e.text == "-" && t.vt == VT::Float && pureFloat(*e.args[0], depth + 1);
    case ExprKind::Binary:
      return t.vt == VT::Float && (e.text == "+" || e.text == "-" || e.text == "*" || e.text == "/") &&
             pureFloat(*e.args[0], depth + 1) && pureFloat(*e.args[1], depth + 1);
    default: return false;
  }
}

// Pushes a pure expression's value, as a float, on the x87 stack.
void Compiler::genFloatSt(const Expr& e) {
  const ValType t = infer(e);
  if (e.kind == ExprKind::Name) {
    if (const Var* v = findVar(e.text)) {
      checkSigil(e, v->type, "a variable");
      const uint8_t op = t.vt == VT::Int ? 0xDB : 0xD9;  // fild / fld dword
      if (inEbx(v->slot)) {
        slotOperand(v->slot, 0x89, 3);  // mov [home],ebx: the home is written back at the exit anyway
        slotOperand(v->slot, 0xDB, 0);  // fild dword [home]
      } else if (v->slot.global) {
        code_.bytesOf({op, 0x05});
        code_.addressWord(v->slot.at);
      } else {
        code_.bytesOf({op, 0x85});
        code_.word(uint32_t(v->slot.at));
      }
      return;
    }
  }
  if (e.kind == ExprKind::Binary) {
    genFloatSt(*e.args[0]);
    const std::string& op = e.text;
    const Expr& right = *e.args[1];
    // A right operand in memory is worked on from there: the same exact widening to
    // the x87's precision as a load, one instruction less.
    const uint8_t reg = op == "+" ? 0 : op == "*" ? 1 : op == "-" ? 4 : 6;
    const bool rightInt = infer(right).vt == VT::Int;
    const uint8_t memOp = rightInt ? 0xDA : 0xD8;  // fiadd.. m32int / fadd.. m32fp
    if (right.kind == ExprKind::Name) {
      if (const Var* v = findVar(right.text)) {
        checkSigil(right, v->type, "a variable");
        if (inEbx(v->slot)) {
          slotOperand(v->slot, 0x89, 3);  // mov [home],ebx
        }
        slotOperand(v->slot, memOp, reg);
        return;
      }
    }
    if (right.kind == ExprKind::IntLit || right.kind == ExprKind::FloatLit ||
        (right.kind == ExprKind::Name && consts_.count(right.text))) {
      uint32_t bits = 0;
      if (right.kind == ExprKind::IntLit) {
        bits = uint32_t(right.intValue);
      } else if (right.kind == ExprKind::FloatLit) {
        bits = bitsOf(right.floatValue);
      } else {
        checkSigil(right, consts_.at(right.text).type, "a constant");
        const ConstValue& c = consts_.at(right.text);
        bits = rightInt ? uint32_t(c.i) : bitsOf(c.f);
      }
      code_.bytesOf({memOp, uint8_t(0x05 | (reg << 3))});
      code_.addressWord(constantWord(bits));
      return;
    }
    genFloatSt(right);
    code_.bytesOf({0xDE, uint8_t(op == "+" ? 0xC1 : op == "-" ? 0xE9 : op == "*" ? 0xC9 : 0xF9)});  // f...p st1,st0
    return;
  }
  if (e.kind == ExprKind::Unary) {
    genFloatSt(*e.args[0]);
    code_.bytesOf({0xD9, 0xE0});  // fchs
    return;
  }
  // A literal or a constant: loaded from a word of its own in the data.
  uint32_t bits = 0;
  if (e.kind == ExprKind::IntLit) {
    bits = uint32_t(e.intValue);
  } else if (e.kind == ExprKind::FloatLit) {
    bits = bitsOf(e.floatValue);
  } else {
    checkSigil(e, consts_.at(e.text).type, "a constant");
    const ConstValue& c = consts_.at(e.text);
    bits = t.vt == VT::Int ? uint32_t(c.i) : bitsOf(c.f);
  }
  code_.bytesOf({uint8_t(t.vt == VT::Int ? 0xDB : 0xD9), 0x05});  // fild/fld dword [constant]
  code_.addressWord(constantWord(bits));
}

int32_t Compiler::constantWord(uint32_t bits) {
  const auto found = constantWords_.find(bits);
  if (found != constantWords_.end()) {
    return found->second;
  }
  const int32_t at = globalSlot();
  data_.patchWord(at, bits);
  return constantWords_[bits] = at;
}

ValType Compiler::genBinary(const Expr& e) {
  const Expr& a = *e.args[0];
  const Expr& b = *e.args[1];
  const ValType l = infer(a);
  const ValType r = infer(b);
  const ValType t = infer(e);
  const std::string& op = e.text;
  if (isComparison(op)) {
    // setcc codes for signed integer results.
    const uint8_t signedCc = op == "=" ? 0x94 : op == "<>" ? 0x95 : op == "<" ? 0x9C : op == ">" ? 0x9F
                             : op == "<=" ? 0x9E : 0x9D;
    if (l.vt == VT::Str || r.vt == VT::Str) {
      genValue(a, {VT::Str});
      code_.pushEax();
      genValue(b, {VT::Str});
      callBinaryEntry("__ksStrCompare");
      code_.bytesOf({0x83, 0xF8, 0x00, 0x0F, signedCc, 0xC0, 0x0F, 0xB6, 0xC0});
      return t;
    }
    if (isObject(l)) {
      gen(a);
      code_.pushEax();
      gen(b);
      callBinaryEntry("__ksObjCompare");
      code_.bytesOf({0x85, 0xC0, 0x0F, uint8_t(op == "=" ? 0x94 : 0x95), 0xC0, 0x0F, 0xB6, 0xC0});
      return t;
    }
    if (l.vt == VT::Int && r.vt == VT::Int) {
      genIntOperands(a, b);
      code_.bytesOf({0x39, 0xC8, 0x0F, signedCc, 0xC0, 0x0F, 0xB6, 0xC0});
      return t;
    }
    genValue(a, {VT::Float});
    code_.pushEax();
    genValue(b, {VT::Float});
    code_.pushEax();  // [esp] = right, [esp+4] = left
    // a < b is tested as b > a, so unordered (NaN) operands give false without a parity test.
    const bool swap = op == "<" || op == "<=";
    if (swap) {
      code_.bytesOf({0xD9, 0x04, 0x24, 0xD8, 0x5C, 0x24, 0x04});  // fld [esp]; fcomp [esp+4]
    } else {
      code_.bytesOf({0xD9, 0x44, 0x24, 0x04, 0xD8, 0x1C, 0x24});  // fld [esp+4]; fcomp [esp]
    }
    code_.bytesOf({0xDF, 0xE0, 0x9E});  // fnstsw ax; sahf
    if (op == "=") {
      code_.bytesOf({0x0F, 0x94, 0xC0, 0x0F, 0x9B, 0xC1, 0x20, 0xC8});  // sete al; setnp cl; and al,cl
    } else if (op == "<>") {
      code_.bytesOf({0x0F, 0x95, 0xC0, 0x0F, 0x9A, 0xC1, 0x08, 0xC8});  // setne al; setp cl; or al,cl
    } else if (op == "<" || op == ">") {
      code_.bytesOf({0x0F, 0x97, 0xC0});  // seta al
    } else {
      code_.bytesOf({0x0F, 0x93, 0xC0});  // setae al
    }
    code_.addEsp(8);
    code_.bytesOf({0x0F, 0xB6, 0xC0});
    return t;
  }
  if (t.vt == VT::Str) {
    genValue(a, t);
    code_.pushEax();
    genValue(b, t);
    callBinaryEntry("__ksStrConcat");
    return t;
  }
  if (op == "^" || (op == "mod" && t.vt == VT::Float)) {
    genValue(a, {VT::Float});
    code_.pushEax();
    genValue(b, {VT::Float});
    code_.popEcx();
    code_.pushEax();
    code_.pushEcx();
    code_.call(op == "^" ? "__ksFPow" : "__ksFMod");
    floatResultToEax(8);
    return {VT::Float};
  }
  if (t.vt == VT::Float && pureFloat(e, 0)) {
    genFloatSt(e);
    code_.bytesOf({0x50, 0xD9, 0x1C, 0x24, 0x58});  // push eax; fstp dword [esp]; pop eax
    return t;
  }
  const bool bits = op == "shl" || op == "shr" || op == "sar" || op == "and" || op == "or" || op == "xor";
  const ValType work = bits ? ValType{VT::Int} : t;
  int32_t divisor = 0;
  if (work.vt == VT::Int && (op == "/" || op == "mod") && constIntOperand(b, divisor) && divisor != 0) {
    genValue(a, work);
    genConstDivide(divisor, op == "mod");
    return t;
  }
  if ((op == "shl" || op == "shr" || op == "sar") && b.kind == ExprKind::IntLit && b.intValue <= 2147483647LL) {
    genValue(a, work);  // a constant count: the processor masks it to 0-31 as it does cl
    code_.bytesOf({0xC1, uint8_t(op == "shl" ? 0xE0 : op == "shr" ? 0xE8 : 0xF8), uint8_t(b.intValue & 31)});
    return t;
  }
  if (work.vt == VT::Int) {
    genIntOperands(a, b);
  } else {
    genValue(a, work);
    code_.pushEax();
    genValue(b, work);
  }
  if (work.vt == VT::Float) {
    uint8_t modrm = op == "+" ? 0x04 : op == "-" ? 0x24 : op == "*" ? 0x0C : 0x34;
    code_.pushEax();
    code_.bytesOf({0xD9, 0x44, 0x24, 0x04, 0xD8, modrm, 0x24, 0xD9, 0x5C, 0x24, 0x04, 0x58, 0x58});
    return t;
  }
  if (op == "+") {
    code_.bytesOf({0x01, 0xC8});
  } else if (op == "-") {
    code_.bytesOf({0x29, 0xC8});
  } else if (op == "*") {
    code_.bytesOf({0x0F, 0xAF, 0xC1});
  } else if (op == "/") {
    // A divisor of -1 negates (the smallest integer stays itself instead of faulting).
    code_.bytesOf({0x83, 0xF9, 0xFF, 0x75, 0x04, 0xF7, 0xD8, 0xEB, 0x03, 0x99, 0xF7, 0xF9});
  } else if (op == "mod") {
    code_.bytesOf({0x83, 0xF9, 0xFF, 0x75, 0x04, 0x31, 0xC0, 0xEB, 0x05, 0x99, 0xF7, 0xF9, 0x89, 0xD0});
  } else if (op == "shl") {
    code_.bytesOf({0xD3, 0xE0});
  } else if (op == "shr") {
    code_.bytesOf({0xD3, 0xE8});
  } else if (op == "sar") {
    code_.bytesOf({0xD3, 0xF8});
  } else if (op == "and") {
    code_.bytesOf({0x21, 0xC8});
  } else if (op == "or") {
    code_.bytesOf({0x09, 0xC8});
  } else if (op == "xor") {
    code_.bytesOf({0x31, 0xC8});
  }
  return t;
}

void Compiler::genArguments(const std::vector<const Expr*>& args, const std::vector<ValType>& types,
                            const std::vector<const ConstValue*>& defaults, SourcePos) {
  const int32_t n = int32_t(types.size());
  if (n == 0) {
    return;
  }
  code_.bytesOf({0x81, 0xEC});  // sub esp, 4n: the arguments are stored left to right
  code_.word(uint32_t(4 * n));
  for (int32_t i = 0; i < n; ++i) {
    if (i < int32_t(args.size())) {
      genValue(*args[i], types[i]);
    } else {
      genConst(*defaults[i]);
      convert(defaults[i]->type, types[i], {});
    }
    if (i == 0) {
      code_.bytesOf({0x89, 0x04, 0x24});
    } else if (4 * i < 128) {
      code_.bytesOf({0x89, 0x44, 0x24, uint8_t(4 * i)});
    } else {
      code_.bytesOf({0x89, 0x84, 0x24});
      code_.word(uint32_t(4 * i));
    }
  }
}

ValType Compiler::genCall(const Expr& e, bool statement) {
  const std::string& key = e.text;
  if (e.kind == ExprKind::Call) {
    if (const auto a = arrays_.find(key); a != arrays_.end()) {
      if (statement) {
        fail(e.pos, "an array element alone is not a statement");
      }
      genArrayAddress(a->second, e);
      loadFrom(a->second.elem);
      return a->second.elem;
    }
  }
  if (const auto f = functions_.find(key); f != functions_.end()) {
    checkSigil(e, f->second.result, "a function");
    return genFunctionCall(f->second, e);
  }
  if (isBuiltin(key) && e.kind == ExprKind::Call) {
    return genBuiltin(key, e);
  }
  if (const Command* c = findCommand(key)) {
    return genCommand(*c, e, statement);
  }
  if (isBuiltin(key)) {
    fail(e.pos, e.spelling + " takes one value in ( )");
  }
  if (findVar(key)) {
    fail(e.pos, "'" + e.spelling + "' is a variable, not a command or function");
  }
  fail(e.pos, "unknown command or function '" + e.spelling + "'");
}

ValType Compiler::genCommand(const Command& c, const Expr& e, bool statement) {
  const ValType result = c.result ? sigilType(c.result) : ValType{VT::Void};
  if (e.note.sigil && e.note.sigil != c.result) {
    fail(e.pos, c.name + " returns " + typeName(result) + ": the sigil " + e.note.sigil + " does not match");
  }
  if (!statement && result.vt == VT::Void) {
    fail(e.pos, c.name + " returns no value");
  }
  if (e.args.size() > c.params.size() || e.args.size() < c.required()) {
    const std::string range = c.required() == c.params.size()
                                  ? std::to_string(c.params.size())
                                  : std::to_string(c.required()) + " to " + std::to_string(c.params.size());
    fail(e.pos, c.name + " takes " + range + " argument" + (c.params.size() == 1 ? "" : "s") + ", not " +
                    std::to_string(e.args.size()));
  }
  std::vector<const Expr*> args;
  for (const ExprPtr& a : e.args) {
    args.push_back(a.get());
  }
  std::vector<ValType> types;
  std::vector<ConstValue> defaults(c.params.size());
  std::vector<const ConstValue*> defaultPtrs;
  for (size_t i = 0; i < c.params.size(); ++i) {
    const CommandParam& p = c.params[i];
    types.push_back(sigilType(p.sigil));
    if (p.defaultIsText) {
      defaults[i].type = {VT::Str};
    } else if (p.sigil == '#') {
      defaults[i].type = {VT::Float};
      defaults[i].f = float(p.defaultValue);
    } else {
      defaults[i].type = {VT::Int};
      defaults[i].i = p.defaultValue;
    }
    defaultPtrs.push_back(&defaults[i]);
  }
  genArguments(args, types, defaultPtrs, e.pos);
  code_.call(c.linkName);
  const int bytes = int(4 * c.params.size());
  if (c.result == '#') {
    floatResultToEax(bytes);
  } else {
    code_.addEsp(bytes);
  }
  return result;
}

ValType Compiler::genFunctionCall(Function& f, const Expr& e) {
  size_t required = 0;
  while (required < f.params.size() && !f.params[required].hasDefault) {
    ++required;
  }
  if (e.args.size() > f.params.size() || e.args.size() < required) {
    fail(e.pos, f.spelling + " takes " +
                    (required == f.params.size() ? std::to_string(required)
                                                 : std::to_string(required) + " to " + std::to_string(f.params.size())) +
                    " argument" + (f.params.size() == 1 ? "" : "s") + ", not " + std::to_string(e.args.size()));
  }
  std::vector<const Expr*> args;
  for (const ExprPtr& a : e.args) {
    args.push_back(a.get());
  }
  std::vector<ValType> types;
  std::vector<const ConstValue*> defaults;
  for (const Param& p : f.params) {
    types.push_back(p.type);
    defaults.push_back(&p.value);
  }
  genArguments(args, types, defaults, e.pos);
  code_.callLabel(f.label);
  code_.addEsp(int(4 * f.params.size()));
  return f.result;
}

ValType Compiler::genBuiltin(const std::string& name, const Expr& e) {
  const ValType t = infer(e);
  const Expr& a = *e.args[0];
  const ValType at = infer(a);
  if (name == "int" || name == "float" || name == "str") {
    genValue(a, t);
    return t;
  }
  if (name == "handle") {
    if (!isObject(at)) {
      fail(a.pos, "Handle needs an object, not " + typeName(at));
    }
    gen(a);
    code_.pushEax();
    callEntry("__ksObjToHandle", 4);
    return t;
  }
  gen(a);
  code_.pushEax();
  if (t.vt == VT::Int) {
    callEntry(name == "abs" ? "__ksAbs" : "__ksSgn", 4);
  } else {
    code_.call(name == "abs" ? "__ksFAbs" : "__ksFSgn");
    floatResultToEax(4);
  }
  return t;
}

ValType Compiler::genAddress(const Expr& e) {
  switch (e.kind) {
    case ExprKind::Name: {
      const Var* v = findVar(e.text);
      if (!v) {
        fail(e.pos, consts_.count(e.text) ? "a constant cannot be changed" : "unknown variable '" + e.spelling + "'");
      }
      if (v->vector) {
        fail(e.pos, "'" + e.spelling + "' is a fixed-size block: index it with [ ]");
      }
      checkSigil(e, v->type, "a variable");
      addressOfSlot(v->slot);
      return v->type;
    }
    case ExprKind::Call: {
      const auto a = arrays_.find(e.text);
      if (a == arrays_.end()) {
        fail(e.pos, "'" + e.spelling + "' is not an array: only variables, array elements and fields take a value");
      }
      return genArrayAddress(a->second, e);
    }
    case ExprKind::Field: {
      const ValType left = infer(*e.args[0]);
      const ValType t = infer(e);
      const auto& fields = types_[left.type].fields;
      size_t index = 0;
      while (fields[index].name != e.text) {
        ++index;
      }
      gen(*e.args[0]);
      nullCheck();
      code_.bytesOf({0x8B, 0x00, 0x8D, 0x80});  // mov eax,[eax] (the fields); lea eax,[eax+4i]
      code_.word(uint32_t(4 * index));
      return t;
    }
    case ExprKind::Index: {
      const ValType t = infer(e);
      const Expr& base = *e.args[0];
      int32_t count = 0;
      if (base.kind == ExprKind::Name) {
        const Var* v = findVar(base.text);
        count = v->count;
        loadSlot(v->slot);
      } else {
        const ValType left = infer(*base.args[0]);
        const auto& fields = types_[left.type].fields;
        size_t index = 0;
        while (fields[index].name != base.text) {
          ++index;
        }
        count = fields[index].count;
        gen(*base.args[0]);
        nullCheck();
        code_.bytesOf({0x8B, 0x00, 0x8B, 0x80});  // mov eax,[eax]; mov eax,[eax+4i] (the block)
        code_.word(uint32_t(4 * index));
      }
      code_.pushEax();
      genValue(*e.args[1], {VT::Int});
      if (options_.debug) {
        code_.byte(0x3D);  // cmp eax,count; jb ok; call _ksVecBoundsEx; ok:
        code_.word(uint32_t(count));
        code_.bytesOf({0x72, 0x05});
        code_.call("__ksVecBoundsEx");
      }
      code_.bytesOf({0x59, 0x8D, 0x04, 0x81});  // pop ecx; lea eax,[ecx+eax*4]
      return t;
    }
    default: fail(e.pos, "only variables, array elements and fields take a value");
  }
}

ValType Compiler::genArrayAddress(const ArrayInfo& a, const Expr& e) {
  if (int(e.args.size()) != a.dims) {
    fail(e.pos, "array '" + e.spelling + "' has " + std::to_string(a.dims) + " dimension" + (a.dims == 1 ? "" : "s") +
                    ", not " + std::to_string(e.args.size()));
  }
  checkSigil(e, a.elem, "an array");
  const int32_t sizes = a.record + 12;
  for (int k = 0; k < a.dims; ++k) {
    genValue(*e.args[k], {VT::Int});
    if (k == 0) {
      if (options_.debug) {
        code_.bytesOf({0x3B, 0x05});  // cmp eax,[size 0]; jb ok; call _ksArrayBoundsEx
        code_.addressWord(sizes);
        code_.bytesOf({0x72, 0x05});
        code_.call("__ksArrayBoundsEx");
      }
    } else {
      code_.bytesOf({0x8B, 0x0D});  // mov ecx,[size k-1]
      code_.addressWord(sizes + 4 * (k - 1));
      if (options_.debug) {
        // index * size(k-1) must fit and stay below size(k): that is index < count(k).
        code_.bytesOf({0xF7, 0xE1, 0x85, 0xD2, 0x75, 0x08, 0x3B, 0x05});
        code_.addressWord(sizes + 4 * k);
        code_.bytesOf({0x72, 0x05});
        code_.call("__ksArrayBoundsEx");
      } else {
        code_.bytesOf({0x0F, 0xAF, 0xC1});  // imul eax,ecx
      }
      code_.bytesOf({0x59, 0x01, 0xC8});  // pop ecx; add eax,ecx
    }
    if (k + 1 < a.dims) {
      code_.pushEax();
    }
  }
  code_.bytesOf({0xC1, 0xE0, 0x02, 0x8B, 0x0D});  // shl eax,2; mov ecx,[data]
  code_.addressWord(a.record);
  if (options_.debug) {
    code_.bytesOf({0x85, 0xC9, 0x75, 0x05});  // an undimensioned array has no element
    code_.call("__ksArrayBoundsEx");
  }
  code_.bytesOf({0x01, 0xC8});
  return a.elem;
}

// An integer literal, an integer constant, or either negated: its value.
bool Compiler::constIntOperand(const Expr& e, int32_t& value) {
  if (e.kind == ExprKind::Unary && e.text == "-" && e.args[0]->kind == ExprKind::IntLit) {
    value = int32_t(uint32_t(0) - uint32_t(e.args[0]->intValue));
    return e.args[0]->intValue <= 2147483648LL;
  }
  if (!simpleInt(e) || infer(e).vt != VT::Int) {
    return false;
  }
  if (e.kind == ExprKind::IntLit) {
    value = int32_t(e.intValue);
    return true;
  }
  if (findVar(e.text)) {
    return false;
  }
  value = consts_.at(e.text).i;
  return true;
}

namespace {

// The multiplier and shift that turn signed division by d (|d| >= 2) into a multiply
// keeping the high word: the quotient truncated toward zero for every 32-bit dividend.
void divisionMagic(int32_t d, int32_t& multiplier, int& shift) {
  const uint32_t two31 = 0x80000000u;
  const uint32_t ad = d < 0 ? 0u - uint32_t(d) : uint32_t(d);
  const uint32_t t = two31 + (uint32_t(d) >> 31);
  const uint32_t anc = t - 1 - t % ad;
  int p = 31;
  uint32_t q1 = two31 / anc, r1 = two31 - q1 * anc;
  uint32_t q2 = two31 / ad, r2 = two31 - q2 * ad;
  uint32_t delta = 0;
  do {
    ++p;
    q1 *= 2;
    r1 *= 2;
    if (r1 >= anc) {
      ++q1;
      r1 -= anc;
    }
    q2 *= 2;
    r2 *= 2;
    if (r2 >= ad) {
      ++q2;
      r2 -= ad;
    }
    delta = ad - r2;
  } while (q1 < delta || (q1 == delta && r1 == 0));
  uint32_t m = q2 + 1;
  if (d < 0) {
    m = 0u - m;
  }
  multiplier = int32_t(m);
  shift = p - 32;
}

}  // namespace

// eax / divisor or eax Mod divisor (divisor a nonzero constant) without idiv.
void Compiler::genConstDivide(int32_t divisor, bool modulo) {
  if (divisor == 1 || divisor == -1) {
    if (modulo) {
      code_.bytesOf({0x31, 0xC0});  // xor eax,eax
    } else if (divisor == -1) {
      code_.bytesOf({0xF7, 0xD8});  // neg eax: the smallest integer stays itself
    }
    return;
  }
  int32_t multiplier = 0;
  int shift = 0;
  divisionMagic(divisor, multiplier, shift);
  code_.bytesOf({0x89, 0xC1, 0xB8});  // mov ecx,eax (the dividend); mov eax,multiplier
  code_.word(uint32_t(multiplier));
  code_.bytesOf({0xF7, 0xE9});  // imul ecx: edx = the high word
  if (divisor > 0 && multiplier < 0) {
    code_.bytesOf({0x01, 0xCA});  // add edx,ecx
  } else if (divisor < 0 && multiplier > 0) {
    code_.bytesOf({0x29, 0xCA});  // sub edx,ecx
  }
  if (shift > 0) {
    code_.bytesOf({0xC1, 0xFA, uint8_t(shift)});  // sar edx,shift
  }
  code_.bytesOf({0x89, 0xD0, 0xC1, 0xE8, 0x1F, 0x01, 0xD0});  // mov eax,edx; shr eax,31; add eax,edx
  if (modulo) {
    code_.bytesOf({0x69, 0xC0});  // imul eax,eax,divisor; sub ecx,eax; mov eax,ecx
    code_.word(uint32_t(divisor));
    code_.bytesOf({0x29, 0xC1, 0x89, 0xC8});
  }
}
