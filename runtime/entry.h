// The one template that turns a plain C++ handler into an entry compiled code can call:
// it realigns the stack (compiled code keeps only 4-byte alignment) and turns a ksEx
// into the jump back to runProgram, so no exception ever crosses compiled frames.
#pragma once
#include "basic/ks_error.h"
#include "runtime/program_jump.h"

namespace entry_detail {

template <auto Handler>
struct Wrapper;

template <typename Result, typename... Args, Result (*Handler)(Args...)>
struct Wrapper<Handler> {
  __attribute__((force_align_arg_pointer)) static Result call(Args... args) {
    const char* message;
    try {
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
