// ksheader: prints kestrel_runtime.h, the C declaration of every entry the runtime
// registers, under the link names compiled code calls. The build runs it, so the header
// follows the registry: commands are declared from their own signatures; the internal
// entries, whose signatures are bare names, from the table below, and an internal
// entry registered without a prototype here (or a prototype for one no longer
// registered) fails the build.
//
//   ksheader kestrel_runtime.h
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "runtime/command_registry.h"
#include "runtime/module_image.h"
#include "runtime/signature_check.h"

namespace {

// Internal entries by registered name; "%s" stands for the link name.
const std::map<std::string, std::string> kInternal = {
    {"_ksDebugStmt", "void %s(int first, int second)"},
    {"_ksDebugEnter", "void %s(int first, int second, int third)"},
    {"_ksDebugLeave", "void %s(void)"},
    {"_ksIntType", "extern int %s"},
    {"_ksFltType", "extern int %s"},
    {"_ksStrType", "extern int %s"},
    {"_ksCStrType", "extern int %s"},
    {"_ksStrLoad", "struct ksStr* %s(struct ksStr** variable)"},
    {"_ksStrRelease", "void %s(struct ksStr* string)"},
    {"_ksStrStore", "void %s(struct ksStr** variable, struct ksStr* value)"},
    {"_ksStrCompare", "int %s(struct ksStr* left, struct ksStr* right)"},
    {"_ksStrConcat", "struct ksStr* %s(struct ksStr* left, struct ksStr* right)"},
    {"_ksStrToInt", "int %s(struct ksStr* string)"},
    {"_ksStrFromInt", "struct ksStr* %s(int value)"},
    {"_ksStrToFloat", "float %s(struct ksStr* string)"},
    {"_ksStrFromFloat", "struct ksStr* %s(float value)"},
    {"_ksStrConst", "struct ksStr* %s(const char* text)"},
    {"_ksDimArray", "void %s(struct ksArray* array)"},
    {"_ksUndimArray", "void %s(struct ksArray* array)"},
    {"_ksArrayBoundsEx", "void %s(void)"},
    {"_ksVecAlloc", "int* %s(struct ksVector* vector)"},
    {"_ksVecFree", "void %s(int* block, struct ksVector* vector)"},
    {"_ksVecBoundsEx", "void %s(void)"},
    {"_ksObjNew", "struct ksObj* %s(struct ksType* type)"},
    {"_ksObjDelete", "void %s(struct ksObj* object)"},
    {"_ksObjDeleteEach", "void %s(struct ksType* type)"},
    {"_ksObjRelease", "void %s(struct ksObj* object)"},
    {"_ksObjStore", "void %s(struct ksObj** variable, struct ksObj* object)"},
    {"_ksObjCompare", "int %s(struct ksObj* left, struct ksObj* right)"},
    {"_ksObjNext", "struct ksObj* %s(struct ksObj* object)"},
    {"_ksObjPrev", "struct ksObj* %s(struct ksObj* object)"},
    {"_ksObjFirst", "struct ksObj* %s(struct ksType* type)"},
    {"_ksObjLast", "struct ksObj* %s(struct ksType* type)"},
    {"_ksObjInsBefore", "struct ksObj* %s(struct ksObj* moved, struct ksObj* position)"},
    {"_ksObjInsAfter", "struct ksObj* %s(struct ksObj* moved, struct ksObj* position)"},
    {"_ksObjEachFirst", "int %s(struct ksObj** variable, struct ksType* type)"},
    {"_ksObjEachNext", "int %s(struct ksObj** variable)"},
    {"_ksObjToStr", "struct ksStr* %s(struct ksObj* object)"},
    {"_ksObjToHandle", "int %s(struct ksObj* object)"},
    {"_ksObjFromHandle", "struct ksObj* %s(int handle, struct ksType* type)"},
    {"_ksNullObjEx", "void %s(void)"},
    {"_ksRestore", "void %s(struct ksData* item)"},
    {"_ksReadInt", "int %s(void)"},
    {"_ksReadFloat", "float %s(void)"},
    {"_ksReadStr", "struct ksStr* %s(void)"},
    {"_ksAbs", "int %s(int value)"},
    {"_ksSgn", "int %s(int value)"},
    {"_ksMod", "int %s(int left, int right)"},
    {"_ksFAbs", "float %s(float value)"},
    {"_ksFSgn", "float %s(float value)"},
    {"_ksFMod", "float %s(float left, float right)"},
    {"_ksFPow", "float %s(float base, float exponent)"},
};

const std::set<std::string> kCKeywords = {
    "auto",   "break",  "case",     "char",   "const",    "continue", "default",  "do",
    "double", "else",   "enum",     "extern", "float",    "for",      "goto",     "if",
    "inline", "int",    "long",     "register", "restrict", "return", "short",    "signed",
    "sizeof", "static", "struct",   "switch", "typedef",  "union",    "unsigned", "void",
    "volatile", "while", "bool",    "true",   "false"};

// The C type of a signature sigil: % int (handles included), # float, $ string.
const char* cType(char sigil) {
  switch (sigil) {
    case '%': return "int";
    case '#': return "float";
    case '$': return "struct ksStr*";
    default: return "void";
  }
}

// "%Instr$string$find%from=1" -> "int _finstr(struct ksStr* string, struct ksStr* find, int from)".
// The signature is well formed (checked by signatureProblem first).
std::string commandPrototype(const char* signature) {
  const char* p = signature;
  const char result = (*p == '%' || *p == '#' || *p == '$') ? *p++ : 0;
  while (*p && *p != '%' && *p != '#' && *p != '$') {
    ++p;  // the command name
  }
  std::string parameters;
  while (*p) {
    const char sigil = *p++;
    std::string name;
    while (*p && *p != '=' && *p != '%' && *p != '#' && *p != '$') {
      name += *p++;
    }
    if (*p == '=') {  // the default: compiled code passes every argument
      p += p[1] == '"' ? 3 : 1;
      while (*p && *p != '%' && *p != '#' && *p != '$') {
        ++p;
      }
    }
    if (kCKeywords.count(name)) {
      name += '_';
    }
    parameters += (parameters.empty() ? "" : ", ") + std::string(cType(sigil)) + " " + name;
  }
  return std::string(cType(result)) + " " + linkName(signature) + "(" +
         (parameters.empty() ? "void" : parameters) + ")";
}

std::string internalPrototype(const std::string& pattern, const std::string& link) {
  const auto at = pattern.find("%s");
  return pattern.substr(0, at) + link + pattern.substr(at + 2);
}

std::vector<std::string> registered;

void collect(CommandSignature signature, void*) {
  registered.emplace_back(signature);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ksheader OUTPUT.h\n");
    return 2;
  }
  linkAll(collect);
  std::string commands;
  std::string internals;
  std::set<std::string> links;
  std::set<std::string> internalSeen;
  int problems = 0;
  for (const std::string& signature : registered) {
    const std::string link = linkName(signature.c_str());
    if (const std::string problem = signatureProblem(signature.c_str()); !problem.empty()) {
      std::fprintf(stderr, "ksheader: signature %s: %s\n", signature.c_str(), problem.c_str());
      ++problems;
    } else if (!links.insert(link).second) {
      std::fprintf(stderr, "ksheader: link name %s registered twice\n", link.c_str());
      ++problems;
    } else if (signature[0] != '_') {
      commands += "/* " + signature + " */\n" + commandPrototype(signature.c_str()) + ";\n";
    } else if (const auto found = kInternal.find(signature); found == kInternal.end()) {
      std::fprintf(stderr, "ksheader: internal entry %s has no C prototype in %s\n", signature.c_str(),
                   __FILE__);
      ++problems;
    } else {
      internals += internalPrototype(found->second, link) + ";\n";
      internalSeen.insert(signature);
    }
  }
  for (const auto& [name, prototype] : kInternal) {
    if (!internalSeen.count(name)) {
      std::fprintf(stderr, "ksheader: %s has a prototype but is not registered\n", name.c_str());
      ++problems;
    }
  }
  if (problems) {
    return 1;
  }
  const std::string output = argv[1];
  const std::string temporary = output + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "ksheader: cannot write %s\n", temporary.c_str());
    return 1;
  }
  std::fprintf(out,
      "/* kestrel_runtime.h: every entry of the Kestrel runtime, declared for C programs.\n"
      " * Generated at build time by ksheader from the runtime's own registry: do not edit.\n"
      " *\n"
      " * A program defines void __MAIN(void) as its entry and may call only these (there is\n"
      " * no libc). A command is \"_f\" + its lower-cased name, declared under its Kestrel\n"
      " * signature (%% integer or handle, # float, $ string; the first sigil is the result).\n"
      " * Compiled code passes every argument: a default in a signature is the compiler's.\n"
      " * A string argument belongs to the callee, a string result to the caller. */\n"
      "#ifndef KESTREL_RUNTIME_H\n"
      "#define KESTREL_RUNTIME_H\n\n"
      "struct ksStr;    /* a runtime string */\n"
      "struct ksObj;    /* a record of a user type */\n"
      "struct ksType;   /* a user type's descriptor, in the program's data */\n"
      "struct ksVector; /* a vector descriptor, in the program's data */\n"
      "struct ksArray;  /* a global array's record, in the program's data */\n"
      "struct ksData;   /* an item of a Data table */\n\n"
      "/* Commands (%zu). */\n%s\n"
      "/* Internal entries of compiled code and type-code data symbols (%zu). */\n%s\n"
      "#endif\n",
      links.size() - internalSeen.size(), commands.c_str(), internalSeen.size(), internals.c_str());
  if (std::fclose(out) != 0 || std::rename(temporary.c_str(), output.c_str()) != 0) {
    std::fprintf(stderr, "ksheader: cannot write %s\n", output.c_str());
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
