// User-type objects: per-type pools of 512 records, the used list in creation order,
// reference counts, deleted shells, the text form and the handle tables.
#include "basic/objects.h"

#include <bit>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "basic/arrays.h"
#include "basic/block_registry.h"
#include "basic/ks_error.h"
#include "basic/number_text.h"
#include "basic/slots.h"

namespace {

constexpr int kRecordsPerBlock = 512;
constexpr int kMaxTextDepth = 8;

int activeObjects = 0;      // created and not yet deleted
int unreleasedObjects = 0;  // not yet returned to a free list
int32_t handleCounter = 0;  // last handle issued
std::unordered_map<ksObj*, int32_t> objectHandles;
std::unordered_map<int32_t, ksObj*> handleObjects;
// Types whose lists point into this run's blocks; their sentinels are reset at the end.
std::unordered_set<ksType*> typesInUse;
int textDepth = 0;
ksObj* textRoot = nullptr;

void unlink(ksObj* o) {
  o->prev->next = o->next;
  o->next->prev = o->prev;
}

void linkBefore(ksObj* o, ksObj* position) {
  o->next = position;
  o->prev = position->prev;
  position->prev->next = o;
  position->prev = o;
}

void linkAfter(ksObj* o, ksObj* position) {
  linkBefore(o, position->next);
}

// A free list is only taken from at the head and added to at the tail, so its records
// need forward links only; the sentinel's prev is the tail.
inline void appendFree(ksObj* o, ksType* type) {
  ksObj* const sentinel = &type->freeList;
  o->next = sentinel;
  sentinel->prev->next = o;
  sentinel->prev = o;
}

inline ksObj* takeFree(ksType* type) {
  ksObj* const sentinel = &type->freeList;
  ksObj* const o = sentinel->next;
  sentinel->next = o->next;
  if (sentinel->next == sentinel) {
    sentinel->prev = sentinel;
  }
  return o;
}

// Drops one reference; at 0 the record goes to the tail of its type's free list.
inline void releaseObject(ksObj* o) {
  if (o && --o->refs == 0) {
    unlink(o);
    --unreleasedObjects;
    appendFree(o, o->type);
  }
}

void emptySentinel(ksObj& sentinel) {
  sentinel.fields = nullptr;
  sentinel.next = sentinel.prev = &sentinel;
  sentinel.type = nullptr;
  sentinel.refs = -1;
}

void addBlock(ksType* type) {
  const size_t recordSize = sizeof(ksObj) + 4 * static_cast<size_t>(type->fieldCount);
  auto* block = static_cast<char*>(blockAlloc(recordSize * kRecordsPerBlock));
  typesInUse.insert(type);
  for (int i = 0; i < kRecordsPerBlock; ++i) {
    auto* record = reinterpret_cast<ksObj*>(block + recordSize * i);
    record->type = type;
    appendFree(record, type);
  }
}

// The first live record from `o` onward in the direction given; null at the sentinel.
ksObj* liveFrom(ksObj* o, bool forward) {
  while (o->type && !o->fields) {
    o = forward ? o->next : o->prev;
  }
  return o->type ? o : nullptr;
}

void appendText(std::string& text, ksObj* o) {
  if (!o || !o->fields) {
    text += "[NULL]";
    return;
  }
  if (o == textRoot) {
    text += "[ROOT]";
    return;
  }
  if (textDepth == kMaxTextDepth) {
    text += "....";
    return;
  }
  ++textDepth;
  ksObj* const outerRoot = textRoot;
  if (!textRoot) {
    textRoot = o;
  }
  const ksType* type = o->type;
  text += '[';
  for (int i = 0; i < type->fieldCount; ++i) {
    if (i) {
      text += ',';
    }
    const int32_t slot = o->fields[i];
    switch (type->fieldCode(i)) {
      case kIntType:
        text += intToText(slot);
        break;
      case kFloatType:
        text += floatToText(std::bit_cast<float>(slot));
        break;
      case kStringType:
        text += '"';
        text += ksStrText(slotPointer<ksStr>(slot));
        text += '"';
        break;
      case kObjectType:
        appendText(text, slotPointer<ksObj>(slot));
        break;
      default:
        text += "???";
        break;
    }
  }
  text += ']';
  textRoot = outerRoot;
  --textDepth;
}

}  // namespace

ksObj* ksObjNew(ksType* type) {
  if (type->freeList.next == &type->freeList) {
    addBlock(type);
  }
  ksObj* o = takeFree(type);
  o->type = type;
  o->refs = 1;
  int32_t* const fields = reinterpret_cast<int32_t*>(o + 1);
  o->fields = fields;
  const int count = type->fieldCount;
  int32_t* const* const fieldTypes = type->fieldTypes();
  for (int i = 0; i < count; ++i) {
    int32_t* const fieldType = fieldTypes[i];
    fields[i] = *fieldType == kVectorType ? pointerSlot(ksVecAlloc(reinterpret_cast<ksVecType*>(fieldType))) : 0;
  }
  ++unreleasedObjects;
  ++activeObjects;
  linkBefore(o, &type->used);
  return o;
}

void ksObjDelete(ksObj* o) {
  if (!o || !o->fields) {
    return;
  }
  int32_t* const fields = o->fields;
  const int count = o->type->fieldCount;
  int32_t* const* const fieldTypes = o->type->fieldTypes();
  for (int i = 0; i < count; ++i) {
    const int32_t slot = fields[i];
    if (slot == 0) {
      continue;
    }
    int32_t* const fieldType = fieldTypes[i];
    switch (*fieldType) {
      case kStringType:
        ksStrRelease(slotPointer<ksStr>(slot));
        break;
      case kObjectType:
        releaseObject(slotPointer<ksObj>(slot));
        break;
      case kVectorType:
        ksVecFree(slotPointer<int32_t>(slot), reinterpret_cast<ksVecType*>(fieldType));
        break;
      default:
        break;
    }
    fields[i] = 0;
  }
  if (!objectHandles.empty()) {
    const auto entry = objectHandles.find(o);
    if (entry != objectHandles.end()) {
      handleObjects.erase(entry->second);
      objectHandles.erase(entry);
    }
  }
  o->fields = nullptr;
  releaseObject(o);
  --activeObjects;
}

// The next live record is found before each deletion: a live record keeps its own
// reference, so deleting another object can never free it, whereas a shell that the
// deleted object referenced may go to the free list at once.
void ksObjDeleteEach(ksType* type) {
  ksObj* o = liveFrom(type->used.next, true);
  while (o) {
    ksObj* const next = liveFrom(o->next, true);
    ksObjDelete(o);
    o = next;
  }
}

void ksObjRelease(ksObj* o) {
  releaseObject(o);
}

void ksObjStore(ksObj** slot, ksObj* o) {
  if (o) {
    ++o->refs;
  }
  releaseObject(*slot);
  *slot = o;
}

int32_t ksObjCompare(ksObj* a, ksObj* b) {
  const int32_t* x = a ? a->fields : nullptr;
  const int32_t* y = b ? b->fields : nullptr;
  return x == y ? 0 : 1;
}

ksObj* ksObjNext(ksObj* o) {
  return liveFrom(o->next, true);
}

ksObj* ksObjPrev(ksObj* o) {
  return liveFrom(o->prev, false);
}

ksObj* ksObjFirst(ksType* type) {
  return liveFrom(type->used.next, true);
}

ksObj* ksObjLast(ksType* type) {
  return liveFrom(type->used.prev, false);
}

// Records of different types live on different lists; moving one onto another's
// list would corrupt both, so such a request is ignored.
ksObj* ksObjInsBefore(ksObj* a, ksObj* b) {
  if (a != b && a->type == b->type) {
    unlink(a);
    linkBefore(a, b);
  }
  return a;
}

ksObj* ksObjInsAfter(ksObj* a, ksObj* b) {
  if (a != b && a->type == b->type) {
    unlink(a);
    linkAfter(a, b);
  }
  return a;
}

namespace {

int32_t storeLoopObject(ksObj** var, ksObj* found) {
  if (found) {
    ++found->refs;
  }
  releaseObject(*var);
  *var = found;
  return found ? 1 : 0;
}

}  // namespace

int32_t ksObjEachFirst(ksObj** var, ksType* type) {
  return storeLoopObject(var, ksObjFirst(type));
}

int32_t ksObjEachNext(ksObj** var) {
  return storeLoopObject(var, *var ? ksObjNext(*var) : nullptr);
}

ksStr* ksObjToStr(ksObj* o) {
  std::string text;
  appendText(text, o);
  return ksStrNew(std::string_view(text));
}

int32_t ksObjToHandle(ksObj* o) {
  if (!o || !o->fields) {
    return 0;
  }
  const auto entry = objectHandles.find(o);
  if (entry != objectHandles.end()) {
    return entry->second;
  }
  const int32_t handle = ++handleCounter;
  objectHandles.emplace(o, handle);
  handleObjects.emplace(handle, o);
  return handle;
}

ksObj* ksObjFromHandle(int32_t handle, ksType* type) {
  const auto entry = handleObjects.find(handle);
  if (entry == handleObjects.end() || entry->second->type != type) {
    return nullptr;
  }
  return entry->second;
}

void ksNullObjEx() {
  runtimeError("Object does not exist");
}

int ksObjActiveCount() {
  return activeObjects;
}

int ksObjUnreleasedCount() {
  return unreleasedObjects;
}

void objectsReset() {
  for (ksType* type : typesInUse) {
    emptySentinel(type->used);
    emptySentinel(type->freeList);
  }
  typesInUse.clear();
  objectHandles.clear();
  handleObjects.clear();
  handleCounter = 0;
  activeObjects = 0;
  unreleasedObjects = 0;
  textDepth = 0;
  textRoot = nullptr;
}
