// The one template that turns a plain C++ handler into an entry compiled code can call:
// it realigns the stack (compiled code keeps only 4-byte alignment) and turns a ksEx
// into the jump back to runProgram, so no exception ever crosses compiled frames. A
// runaway recursion is stopped here, as "Stack overflow!", while the stack still has
// room for the libraries a handler calls.
#pragma once
#include "basic/ks_error.h"
#include "platform/fault_guard.h"
#include "runtime/program_jump.h"

namespace entry_detail {

template <auto Handler>
struct Wrapper;

template <typename Result, typename... Args, Result (*Handler)(Args...)>
struct Wrapper<Handler> {
  // Never inlined: inlined into a caller, the realignment would be lost.
  __attribute__((force_align_arg_pointer, noinline)) static Result call(Args... args) {
    const char* message;
    try {
      if (belowProgramStackFloor()) {
        runtimeError("Stack overflow!");
      }
      return Handler(args...);
    } catch (const ksEx& e) {
      message = e.message;
    } catch (...) {
      message = reportForeignException();
    }
    // Outside the catch block, so the exception object is already freed.
    unwindToProgram(message);
  }
};

}  // namespace entry_detail

// The registered address of a handler's wrapper.
template <auto Handler>
void* ksEntry() {
  return reinterpret_cast<void*>(&entry_detail::Wrapper<Handler>::call);
}

// The hottest entries (string temporaries, object creation and list walks) are
// registered bare, without a wrapper, because the realignment costs more than their
// work. A bare entry cannot throw and calls only other bare entries or, on rare slow
// paths, wrapped handlers (ksWrapped), so compiled code's 4-byte stack alignment
// never reaches code that expects 16. KS_BARE_ENTRY puts such a function in a
// section of its own, where a build test checks that it calls nothing else.
#define KS_BARE_ENTRY __attribute__((section(".text.ks_bare")))

template <auto Handler>
void* ksBareEntry() {
  return reinterpret_cast<void*>(Handler);
}

// A call through a handler's wrapper, for a bare entry's slow path.
template <auto Handler, typename... Args>
inline __attribute__((always_inline)) auto ksWrapped(Args... args) {
  return entry_detail::Wrapper<Handler>::call(args...);
}
