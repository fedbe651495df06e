// Declarations (types, functions, constants, globals, arrays, labels, Data) gathered
// before any code is generated, the module data they live in, and the final image.
#include <cstring>

#include "tools/elf2module/module_image.h"
#include "tools/elf2module/module_writer.h"
#include "tools/kbc/compiler.h"

namespace {

constexpr int32_t kMaxBlockElements = 1 << 20;

bool isNumeric(ValType t) {
  return t.vt == VT::Int || t.vt == VT::Float;
}

}  // namespace

std::string Compiler::typeName(ValType t) const {
  switch (t.vt) {
    case VT::Void: return "no value";
    case VT::Int: return "an integer";
    case VT::Float: return "a float";
    case VT::Str: return "a string";
    case VT::Null: return "Null";
    case VT::Obj: return "an object of type " + types_[t.type].spelling;
  }
  return "?";
}

ValType Compiler::typeOfNote(const TypeNote& note, SourcePos pos, ValType otherwise) {
  if (!note.typeName.empty()) {
    const auto found = typeIndex_.find(note.typeName);
    if (found == typeIndex_.end()) {
      fail(pos, "unknown type '" + note.typeSpelling + "'");
    }
    return {VT::Obj, found->second};
  }
  switch (note.sigil) {
    case '%': return {VT::Int};
    case '#': return {VT::Float};
    case '$': return {VT::Str};
    default: return otherwise;
  }
}

int32_t Compiler::literal(const std::string& text) {
  const auto found = literals_.find(text);
  if (found != literals_.end()) {
    return found->second;
  }
  const int32_t at = data_.here();
  data_.bytes.insert(data_.bytes.end(), text.begin(), text.end());
  data_.byte(0);
  data_.align4();
  literals_[text] = at;
  return at;
}

int32_t Compiler::globalSlot() {
  const int32_t at = data_.here();
  data_.word(0);
  return at;
}

void Compiler::typeWord(Emitter& out, ValType t) {
  switch (t.vt) {
    case VT::Int: out.symbolWord("__ksIntType"); break;
    case VT::Float: out.symbolWord("__ksFltType"); break;
    case VT::Str: out.symbolWord("__ksStrType"); break;
    default: out.addressWord(types_[t.type].desc); break;
  }
}

int32_t Compiler::vectorDescriptor(ValType elem, int32_t count) {
  const int32_t at = data_.here();
  data_.word(6);
  data_.word(uint32_t(count));
  typeWord(data_, elem);
  return at;
}

ConstValue Compiler::constEval(const Expr& e) {
  ConstValue v;
  switch (e.kind) {
    case ExprKind::IntLit:
      if (e.intValue > 2147483647LL) {
        fail(e.pos, "integer number is too large (the largest is 2147483647)");
      }
      v.type = {VT::Int};
      v.i = int32_t(e.intValue);
      return v;
    case ExprKind::FloatLit: v.type = {VT::Float}; v.f = e.floatValue; return v;
    case ExprKind::StrLit: v.type = {VT::Str}; v.s = e.text; return v;
    case ExprKind::Null: v.type = {VT::Null}; return v;
    case ExprKind::Name: {
      const auto found = consts_.find(e.text);
      if (found == consts_.end()) {
        fail(e.pos, "'" + e.spelling + "' is not a constant declared before this place");
      }
      return found->second;
    }
    case ExprKind::Unary: {
      const Expr& operand = *e.args[0];
      if (e.text == "-" && operand.kind == ExprKind::IntLit) {
        v.type = {VT::Int};
        v.i = int32_t(-operand.intValue);
        return v;
      }
      ConstValue a = constEval(operand);
      if (e.text == "-" || e.text == "+") {
        if (a.type.vt == VT::Int) {
          a.i = e.text == "-" ? int32_t(0u - uint32_t(a.i)) : a.i;
          return a;
        }
        if (a.type.vt == VT::Float) {
          a.f = e.text == "-" ? -a.f : a.f;
          return a;
        }
      }
      break;
    }
    case ExprKind::Binary: {
      const ConstValue a = constEval(*e.args[0]);
      const ConstValue b = constEval(*e.args[1]);
      if (e.text == "+" && a.type.vt == VT::Str && b.type.vt == VT::Str) {
        v.type = {VT::Str};
        v.s = a.s + b.s;
        return v;
      }
      if (isNumeric(a.type) && isNumeric(b.type) && (e.text == "+" || e.text == "-" || e.text == "*")) {
        if (a.type.vt == VT::Int && b.type.vt == VT::Int) {
          const uint32_t x = uint32_t(a.i), y = uint32_t(b.i);
          v.type = {VT::Int};
          v.i = int32_t(e.text == "+" ? x + y : e.text == "-" ? x - y : x * y);
          return v;
        }
        const float x = a.type.vt == VT::Int ? float(a.i) : a.f;
        const float y = b.type.vt == VT::Int ? float(b.i) : b.f;
        v.type = {VT::Float};
        v.f = e.text == "+" ? x + y : e.text == "-" ? x - y : x * y;
        return v;
      }
      break;
    }
    default: break;
  }
  fail(e.pos, "a constant value is needed here (numbers, text, constants and + - *)");
}

int32_t Compiler::constInt(const Expr& e, const char* what) {
  const ConstValue v = constEval(e);
  if (v.type.vt != VT::Int) {
    fail(e.pos, std::string(what) + " must be a constant integer");
  }
  return v.i;
}

void Compiler::declareTypes(Block& top) {
  for (auto& s : top) {
    if (s->kind != StmtKind::Type) {
      continue;
    }
    if (typeIndex_.count(s->name)) {
      fail(s->pos, "type '" + s->spelling + "' is declared twice");
    }
    typeIndex_[s->name] = int(types_.size());
    UserType t;
    t.spelling = s->spelling;
    t.pos = s->pos;
    types_.push_back(t);
  }
  for (auto& s : top) {
    if (s->kind != StmtKind::Type) {
      continue;
    }
    UserType& t = types_[typeIndex_[s->name]];
    for (const VarDecl& d : s->decls) {
      for (const FieldInfo& f : t.fields) {
        if (f.name == d.name) {
          fail(d.pos, "field '" + d.spelling + "' is declared twice in type " + t.spelling);
        }
      }
      FieldInfo f;
      f.name = d.name;
      f.spelling = d.spelling;
      f.type = typeOfNote(d.note, d.pos);
      if (d.vectorBound) {
        const int32_t bound = constInt(*d.vectorBound, "the size of a fixed-size block");
        if (bound < 0 || bound >= kMaxBlockElements) {
          fail(d.vectorBound->pos, "a fixed-size block's upper bound must be 0 to " + std::to_string(kMaxBlockElements - 1));
        }
        f.vector = true;
        f.count = bound + 1;
      }
      t.fields.push_back(f);
    }
  }
  // The descriptors: type code, the two list sentinels, the field types.
  for (UserType& t : types_) {
    data_.align4();
    t.desc = data_.here();
    data_.word(5);
    for (int sentinel = 0; sentinel < 2; ++sentinel) {
      const int32_t at = data_.here();
      data_.word(0);
      data_.addressWord(at);
      data_.addressWord(at);
      data_.word(0);
      data_.word(uint32_t(-1));
    }
    data_.word(uint32_t(t.fields.size()));
    for (size_t i = 0; i < t.fields.size(); ++i) {
      data_.word(0);  // filled below, once every descriptor has its place
    }
  }
  for (UserType& t : types_) {
    for (size_t i = 0; i < t.fields.size(); ++i) {
      FieldInfo& f = t.fields[i];
      if (f.vector) {
        f.vecDesc = vectorDescriptor(f.type, f.count);
      }
      Emitter word;
      if (f.vector) {
        word.addressWord(f.vecDesc);
      } else {
        typeWord(word, f.type);
      }
      const int32_t site = t.desc + 48 + int32_t(i) * 4;
      data_.patchWord(site, uint32_t(word.bytes[0] | word.bytes[1] << 8 | word.bytes[2] << 16 | word.bytes[3] << 24));
      Fixup fix = word.absolute[0];
      fix.offset = site;
      data_.absolute.push_back(fix);
    }
  }
}

void Compiler::declareFunctions(Block& top) {
  for (auto& s : top) {
    if (s->kind != StmtKind::Function) {
      continue;
    }
    if (functions_.count(s->name)) {
      fail(s->pos, "function '" + s->spelling + "' is declared twice");
    }
    if (commands_.count(s->name)) {
      fail(s->pos, "'" + s->spelling + "' is the name of a runtime command");
    }
    if (isBuiltin(s->name)) {
      fail(s->pos, "'" + s->spelling + "' is the name of a built-in function");
    }
    Function f;
    f.spelling = s->spelling;
    f.result = typeOfNote(s->note, s->pos);
    f.stmt = s.get();
    f.label = code_.newLabel();
    bool defaults = false;
    for (const VarDecl& d : s->decls) {
      for (const Param& p : f.params) {
        if (p.name == d.name) {
          fail(d.pos, "parameter '" + d.spelling + "' is named twice");
        }
      }
      Param p;
      p.name = d.name;
      p.type = typeOfNote(d.note, d.pos);
      p.pos = d.pos;
      if (d.init) {
        p.hasDefault = defaults = true;
        p.value = constEval(*d.init);
        if (!convertible(p.value.type, p.type)) {
          fail(d.init->pos, "the default is " + typeName(p.value.type) + ", the parameter " + typeName(p.type));
        }
      } else if (defaults) {
        fail(d.pos, "a parameter without a default cannot follow one with a default");
      }
      f.params.push_back(p);
    }
    functions_[s->name] = f;
  }
}

void Compiler::declareGlobals(Block& top) {
  for (auto& s : top) {
    if (s->kind == StmtKind::Const) {
      for (const VarDecl& d : s->decls) {
        if (consts_.count(d.name) || functions_.count(d.name)) {
          fail(d.pos, "'" + d.spelling + "' is already declared");
        }
        ConstValue v = constEval(*d.init);
        const ValType want = typeOfNote(d.note, d.pos, v.type);
        if (want.vt == VT::Obj || v.type.vt == VT::Null) {
          fail(d.pos, "a constant is an integer, a float or a string");
        }
        if (want != v.type) {
          if (want.vt == VT::Float && v.type.vt == VT::Int) {
            v.f = float(v.i);
          } else if (want.vt == VT::Int && v.type.vt == VT::Float) {
            v.i = int32_t(v.f);
          } else {
            fail(d.init->pos, "the value is " + typeName(v.type) + ", the constant " + typeName(want));
          }
          v.type = want;
        }
        consts_[d.name] = v;
      }
    }
  }
  for (auto& s : top) {
    if (s->kind == StmtKind::Global) {
      for (const VarDecl& d : s->decls) {
        if (globals_.count(d.name) || consts_.count(d.name) || arrays_.count(d.name) || functions_.count(d.name)) {
          fail(d.pos, "'" + d.spelling + "' is already declared");
        }
        Var v;
        v.type = typeOfNote(d.note, d.pos);
        v.slot = {true, globalSlot()};
        v.pos = d.pos;
        if (d.vectorBound) {
          const int32_t bound = constInt(*d.vectorBound, "the size of a fixed-size block");
          if (bound < 0 || bound >= kMaxBlockElements) {
            fail(d.vectorBound->pos, "a fixed-size block's upper bound must be 0 to " + std::to_string(kMaxBlockElements - 1));
          }
          v.vector = true;
          v.count = bound + 1;
          v.vecDesc = vectorDescriptor(v.type, v.count);
        }
        globals_[d.name] = v;
      }
    }
  }
}

// Labels and Data everywhere, in source order: a label marks both a place to jump to
// and the Data item that follows it.
void Compiler::collectLabels(Block& block, const std::string& bodyKey) {
  for (auto& s : block) {
    switch (s->kind) {
      case StmtKind::Label:
        if (labelBody_.count(s->name)) {
          fail(s->pos, "label '" + s->spelling + "' is declared twice");
        }
        labelBody_[s->name] = bodyKey;
        dataLabels_[s->name] = int(dataItems_.size());
        break;
      case StmtKind::Data:
        for (const ExprPtr& item : s->items) {
          const ConstValue v = constEval(*item);
          if (v.type.vt == VT::Null) {
            fail(item->pos, "Data holds numbers and text, not Null");
          }
          dataItems_.push_back({0, v});
        }
        break;
      case StmtKind::Function: collectLabels(s->body, s->name); break;
      default:
        collectLabels(s->body, bodyKey);
        for (Block& b : s->blocks) {
          collectLabels(b, bodyKey);
        }
        collectLabels(s->elseBlock, bodyKey);
        break;
    }
    if (s->kind == StmtKind::Dim) {
      for (const VarDecl& d : s->decls) {
        const ValType elem = typeOfNote(d.note, d.pos);
        const auto found = arrays_.find(d.name);
        if (found != arrays_.end()) {
          if (found->second.dims != int(d.dims.size()) || (d.note.given() && found->second.elem != elem)) {
            fail(d.pos, "array '" + d.spelling + "' was declared with another type or number of dimensions");
          }
          continue;
        }
        if (consts_.count(d.name) || globals_.count(d.name) || functions_.count(d.name)) {
          fail(d.pos, "'" + d.spelling + "' is already declared");
        }
        ArrayInfo a;
        a.elem = elem;
        a.dims = int(d.dims.size());
        a.pos = d.pos;
        a.record = data_.here();
        data_.word(0);
        data_.word(elem.vt == VT::Str ? 3 : elem.vt == VT::Obj ? 5 : elem.vt == VT::Float ? 2 : 1);
        data_.word(uint32_t(a.dims));
        for (int k = 0; k < a.dims; ++k) {
          data_.word(0);
        }
        arrays_[d.name] = a;
      }
    }
  }
}

std::vector<uint8_t> Compiler::image() {
  elf2module::ModuleImage out;
  // The data starts on a page of its own: stores next to running code make processors
  // (and emulators, page by page) throw away the code they have decoded.
  while (code_.bytes.size() % 4096) {
    code_.byte(0xCC);
  }
  const int32_t base = code_.here();
  out.code = code_.bytes;
  out.code.insert(out.code.end(), data_.bytes.begin(), data_.bytes.end());
  auto addTo = [&](int32_t site, int32_t amount) {
    uint32_t w;
    std::memcpy(&w, &out.code[site], 4);
    w += uint32_t(amount);
    std::memcpy(&out.code[site], &w, 4);
  };
  out.symbols.push_back({"__MAIN", 0});
  out.symbols.push_back({"__DATA", base + dataTable_});
  for (const Fixup& f : code_.relative) {
    out.relativeFixups.push_back({f.name, f.offset});
  }
  for (const Fixup& f : code_.absolute) {
    if (f.name == "__MAIN") {
      addTo(f.offset, base);  // every address in code is of the data
    }
    out.absoluteFixups.push_back({f.name, f.offset});
  }
  for (const Fixup& f : data_.absolute) {
    if (f.name == "__MAIN") {
      addTo(base + f.offset, base);
    }
    out.absoluteFixups.push_back({f.name, base + f.offset});
  }
  return elf2module::writeModuleImage(out);
}
