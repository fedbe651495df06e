// The SymbolTable: registered entries keyed by the signature pointer itself, not its
// text, with the one enumeration cursor that nextSymbol walks.
#pragma once
#include <cstdint>
#include <map>

class SymbolTable {
 public:
  // The next registered name, linking everything on the first call of an
  // enumeration; null (and an emptied table) after the last.
  const char* next();
  int32_t value(const char* name) const;  // -1 when the pointer is not a key
  void clear();
  void add(const char* name, void* entry) { entries_[name] = entry; }

 private:
  std::map<const char*, void*> entries_;
  std::map<const char*, void*>::const_iterator cursor_;
};
