// 32-bit slots shared with compiled code (object fields, array and vector elements)
// hold integers, float bits or pointers; these read and write them as pointers.
#pragma once
#include <cstdint>

static_assert(sizeof(void*) == 4, "compiled code keeps pointers in 32-bit slots");

template <typename T>
T* slotPointer(int32_t slot) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(static_cast<uint32_t>(slot)));
}

template <typename T>
int32_t pointerSlot(T* pointer) {
  return static_cast<int32_t>(reinterpret_cast<uintptr_t>(pointer));
}
