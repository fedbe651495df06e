// User-type objects: per-type pools of 512 records, the used list in creation order,
// reference counts, deleted shells, the text form and the handle tables. Creating,
// deleting and walking objects are bare entries (runtime/entry.h): list operations,
// with the heap work (new blocks, vectors, large strings, handles) on wrapped paths.
#include "basic/objects.h"

#include <bit>
#include <string>
#include <unordered_map>
#include <vector>

#include "basic/arrays.h"
#include "basic/block_registry.h"
#include "basic/ks_error.h"
#include "basic/number_text.h"
#include "basic/slots.h"
#include "basic/string_pool.h"
#include "runtime/entry.h"

namespace {

constexpr int kRecordsPerBlock = 512;
constexpr int kMaxTextDepth = 8;

// The active and unreleased counts are counted on the used lists when asked for (only
// RuntimeStats asks), which keeps New and Delete free of global updates.
int32_t handleCounter = 0;  // last handle issued
std::unordered_map<ksObj*, int32_t> objectHandles;
std::unordered_map<int32_t, ksObj*> handleObjects;

// What the runtime keeps of a type from its first block of the run: the fields New
// and Delete must visit (those holding strings, objects or vectors; numbers need
// nothing) and how many of its objects have handles. It hangs off the free-list
// sentinel's fields word, which no list walk reads.
struct ManagedField {
  int32_t slot;
  int32_t code;
};

struct TypeInfo {
  bool hasVectors = false;
  int32_t handles = 0;  // live objects with a handle
  std::vector<ManagedField> fields;

  int count() const { return static_cast<int>(fields.size()); }
};

// Types whose lists point into this run's blocks; their sentinels are reset at the end.
std::unordered_map<ksType*, TypeInfo> typesInUse;
int textDepth = 0;
ksObj* textRoot = nullptr;

inline void unlink(ksObj* o) {
  o->prev->next = o->next;
  o->next->prev = o->prev;
}

inline void linkBefore(ksObj* o, ksObj* position) {
  o->next = position;
  o->prev = position->prev;
  position->prev->next = o;
  position->prev = o;
}

inline void linkAfter(ksObj* o, ksObj* position) {
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

inline void freeRecord(ksObj* o) {
  unlink(o);
  appendFree(o, o->type);
}

// Drops one reference; at 0 the record goes to the tail of its type's free list.
// Only a shell gets there (a live object holds its own reference until deleted).
inline void releaseObject(ksObj* o) {
  if (o && --o->refs == 0) {
    freeRecord(o);
  }
}

void emptySentinel(ksObj& sentinel) {
  sentinel.fields = nullptr;
  sentinel.next = sentinel.prev = &sentinel;
  sentinel.type = nullptr;
  sentinel.refs = -1;
}

inline TypeInfo& infoOf(const ksType* type) {
  return *reinterpret_cast<TypeInfo*>(type->freeList.fields);
}

void makeInfo(ksType* type, TypeInfo& info) {
  int32_t* const* const fieldTypes = type->fieldTypes();
  for (int i = 0; i < type->fieldCount; ++i) {
    const int32_t code = *fieldTypes[i];
    if (code == kStringType || code == kObjectType || code == kVectorType) {
      info.fields.push_back({i, code});
      info.hasVectors = info.hasVectors || code == kVectorType;
    }
  }
  type->freeList.fields = reinterpret_cast<int32_t*>(&info);
}

void addBlock(ksType* type) {
  const size_t recordSize = sizeof(ksObj) + 4 * static_cast<size_t>(type->fieldCount);
  auto* block = static_cast<char*>(blockAlloc(recordSize * kRecordsPerBlock));
  const auto [entry, first] = typesInUse.try_emplace(type);
  if (first) {
    makeInfo(type, entry->second);
  }
  for (int i = 0; i < kRecordsPerBlock; ++i) {
    auto* record = reinterpret_cast<ksObj*>(block + recordSize * i);
    record->type = type;
    appendFree(record, type);
  }
}

// The first live record from `o` onward in the direction given; null at the sentinel.
inline ksObj* liveFrom(ksObj* o, bool forward) {
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

// Every slot of a new record reads 0 (vector fields get their blocks afterwards):
// deletion leaves number slots as they were.
inline ksObj* takeRecord(ksType* type) {
  ksObj* const o = takeFree(type);
  o->refs = 1;
  int32_t* const fields = reinterpret_cast<int32_t*>(o + 1);
  o->fields = fields;
#pragma GCC unroll 4  // most types have a few fields: fewer loop steps per New
  for (int i = 0, count = type->fieldCount; i < count; ++i) {
    fields[i] = 0;
    asm volatile("");  // keeps this a loop: bare entries must not call memset
  }
  linkBefore(o, &type->used);
  return o;
}

ksVecType* vectorType(const ksType* type, int32_t slot) {
  return reinterpret_cast<ksVecType*>(type->fieldTypes()[slot]);
}

ksObj* newWithHeap(ksType* type) {
  if (type->freeList.next == &type->freeList) {
    addBlock(type);
  }
  ksObj* const o = takeRecord(type);
  const TypeInfo& info = infoOf(type);
  for (int k = 0; k < info.count(); ++k) {
    const ManagedField field = info.fields[k];
    if (field.code == kVectorType) {
      o->fields[field.slot] = pointerSlot(ksVecAlloc(vectorType(type, field.slot)));
    }
  }
  return o;
}

// Clears the managed fields from index `first` on that need no heap call: objects and
// strings with buffers a node keeps. Returns the index of the first one that does (a
// vector, a string with a large buffer), or the count of managed fields.
inline int clearSlotsInline(ksObj* o, int first) {
  int32_t* const fields = o->fields;
  const TypeInfo& info = infoOf(o->type);
  const int count = info.count();
  const ManagedField* const managed = info.fields.data();
  for (int k = first; k < count; ++k) {
    const ManagedField field = managed[k];
    const int32_t slot = fields[field.slot];
    if (slot == 0) {
      continue;
    }
    switch (field.code) {
      case kStringType: {
        ksStr* const s = slotPointer<ksStr>(slot);
        if (!releasesInline(s)) {
          return k;
        }
        string_pool::returnNode(s);
        break;
      }
      case kObjectType:
        releaseObject(slotPointer<ksObj>(slot));
        break;
      default:
        return k;
    }
    fields[field.slot] = 0;
  }
  return count;
}

// Drops the reference creation gave: the record becomes a shell that stays on the used
// list while other references remain, or goes straight to the free list.
inline void finishDelete(ksObj* o) {
  o->fields = nullptr;
  if (--o->refs == 0) {
    freeRecord(o);
  }
}

void deleteWithHeap(ksObj* o, int first) {
  int32_t* const fields = o->fields;
  TypeInfo& info = infoOf(o->type);
  for (int k = clearSlotsInline(o, first); k < info.count(); k = clearSlotsInline(o, k + 1)) {
    const ManagedField field = info.fields[k];
    if (field.code == kVectorType) {
      ksVecFree(slotPointer<int32_t>(fields[field.slot]), vectorType(o->type, field.slot));
    } else {
      ksStrRelease(slotPointer<ksStr>(fields[field.slot]));
    }
    fields[field.slot] = 0;
  }
  const auto entry = objectHandles.find(o);
  if (entry != objectHandles.end()) {
    handleObjects.erase(entry->second);
    objectHandles.erase(entry);
    --info.handles;
  }
  finishDelete(o);
}

// The whole delete on the wrapped path: one argument, so a bare entry reaches it with
// a plain jump.
void deleteWithHandle(ksObj* o) {
  deleteWithHeap(o, 0);
}

// Whether any managed field holds a string, object or vector to release.
inline bool holdsValues(const ksObj* o, const TypeInfo& info) {
  int32_t any = 0;
  for (const ManagedField& field : info.fields) {
    any |= o->fields[field.slot];
  }
  return any != 0;
}

// Delete's second half for a record holding values or a handle: still bare, releasing
// inline what needs no heap call.
__attribute__((noinline)) KS_BARE_ENTRY void releaseValuesAndDelete(ksObj* o) {
  if (infoOf(o->type).handles) {
    return ksWrapped<&deleteWithHandle>(o);
  }
  const int stop = clearSlotsInline(o, 0);
  if (stop < infoOf(o->type).count()) {
    return ksWrapped<&deleteWithHeap>(o, stop);
  }
  finishDelete(o);
}

}  // namespace

KS_BARE_ENTRY ksObj* ksObjNew(ksType* type) {
  if (type->freeList.next == &type->freeList || infoOf(type).hasVectors) {
    return ksWrapped<&newWithHeap>(type);
  }
  return takeRecord(type);
}

// Kept small for a record with nothing to release, the commonest delete.
KS_BARE_ENTRY void ksObjDelete(ksObj* o) {
  if (!o || !o->fields) {
    return;
  }
  const TypeInfo& info = infoOf(o->type);
  if (info.handles || holdsValues(o, info)) {
    return releaseValuesAndDelete(o);
  }
  // Nothing from the check needs keeping in registers: saying so spares the short
  // path a register save and restore.
  asm("" : "+r"(o));
  finishDelete(o);
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

KS_BARE_ENTRY void ksObjRelease(ksObj* o) {
  releaseObject(o);
}

KS_BARE_ENTRY void ksObjStore(ksObj** slot, ksObj* o) {
  if (o) {
    ++o->refs;
  }
  releaseObject(*slot);
  *slot = o;
}

KS_BARE_ENTRY int32_t ksObjCompare(ksObj* a, ksObj* b) {
  const int32_t* x = a ? a->fields : nullptr;
  const int32_t* y = b ? b->fields : nullptr;
  return x == y ? 0 : 1;
}

KS_BARE_ENTRY ksObj* ksObjNext(ksObj* o) {
  return liveFrom(o->next, true);
}

KS_BARE_ENTRY ksObj* ksObjPrev(ksObj* o) {
  return liveFrom(o->prev, false);
}

KS_BARE_ENTRY ksObj* ksObjFirst(ksType* type) {
  return liveFrom(type->used.next, true);
}

KS_BARE_ENTRY ksObj* ksObjLast(ksType* type) {
  return liveFrom(type->used.prev, false);
}

// Records of different types live on different lists; moving one onto another's
// list would corrupt both, so such a request is ignored.
KS_BARE_ENTRY ksObj* ksObjInsBefore(ksObj* a, ksObj* b) {
  if (a != b && a->type == b->type) {
    unlink(a);
    linkBefore(a, b);
  }
  return a;
}

KS_BARE_ENTRY ksObj* ksObjInsAfter(ksObj* a, ksObj* b) {
  if (a != b && a->type == b->type) {
    unlink(a);
    linkAfter(a, b);
  }
  return a;
}

namespace {

inline int32_t storeLoopObject(ksObj** var, ksObj* found) {
  if (found) {
    ++found->refs;
  }
  releaseObject(*var);
  *var = found;
  return found ? 1 : 0;
}

}  // namespace

KS_BARE_ENTRY int32_t ksObjEachFirst(ksObj** var, ksType* type) {
  return storeLoopObject(var, ksObjFirst(type));
}

KS_BARE_ENTRY int32_t ksObjEachNext(ksObj** var) {
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
  ++infoOf(o->type).handles;
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

namespace {

// Records on the used lists: all of them, or only the live ones (shells have no fields).
int countRecords(bool liveOnly) {
  int count = 0;
  for (const auto& [type, info] : typesInUse) {
    for (const ksObj* o = type->used.next; o != &type->used; o = o->next) {
      count += !liveOnly || o->fields ? 1 : 0;
    }
  }
  return count;
}

}  // namespace

int ksObjActiveCount() {
  return countRecords(true);
}

int ksObjUnreleasedCount() {
  return countRecords(false);
}

void objectsReset() {
  for (auto& [type, info] : typesInUse) {
    emptySentinel(type->used);
    emptySentinel(type->freeList);
  }
  typesInUse.clear();
  objectHandles.clear();
  handleObjects.clear();
  handleCounter = 0;
  textDepth = 0;
  textRoot = nullptr;
}
