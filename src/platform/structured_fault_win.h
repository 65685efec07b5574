// A hardware fault inside a call into code that is not ours (a COM server, the shell, the XML
// parser) made the failure of that call: a structured-exception frame of our own around the
// call catches the fault, unwinds the foreign frames back to it and a C++ exception is thrown
// from there, so the destructors of our frames above it run.
//
// This compiler's C++ exceptions are DWARF based: no catch sees a structured exception, so
// without such a frame a fault ends the process. On the 32-bit build the frame is an x86
// EXCEPTION_REGISTRATION record on the thread's FS:[0] chain; it takes only the hardware faults
// listed in FaultKind and only when they reach it, that is after every frame the faulting DLL
// registered has declined them: what a DLL raises and handles itself stays its own.
//
// What the call leaves behind: the foreign frames are unwound as the system unwinds them (their
// own termination handlers run), our frames between the fault frame and the fault are not. So
// the callable given to CallForeign holds nothing that needs a destructor: it is a thin lambda
// around the one foreign call. A lock held inside the faulting DLL stays held; the tool's later
// waits are bounded, so such a lock costs at most its own step.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kovra::win {

// The hardware exceptions a fault frame takes.
enum class FaultKind {
  kAccessViolation,
  kIllegalInstruction,
  kPrivilegedInstruction,
  kIntegerDivideByZero,
  kIntegerOverflow,
  kStackOverflow,
  kInPageError,
  kDatatypeMisalignment,
  kArrayBoundsExceeded,
};

// The kind of a hardware exception code; nothing for any other code (C++ exceptions of other
// compilers, RPC errors, breakpoints, what a program raises on purpose).
std::optional<FaultKind> FaultKindOf(DWORD code);
// "access violation", "integer divide by zero", ...
std::string_view FaultKindName(FaultKind kind);

// What the frame saw of a fault, copied from the exception record while it was raised.
struct FaultFacts {
  DWORD code = 0;
  uintptr_t address = 0;  // of the faulting instruction
  // For an access violation and an in-page error: the address read, written or executed.
  bool has_data_address = false;
  ULONG_PTR access = 0;  // 0 read, 1 write, 8 execute
  uintptr_t data_address = 0;
};

// "module.dll+0x1234" for an address inside a loaded module, else "0x12345678".
std::string ModuleOffsetText(uintptr_t address);

// A hardware fault taken by a fault frame, thrown from the frame's own function. Its text names
// the exception code and kind, where it happened as module+offset, the address of an access
// violation, and the call it happened in.
class StructuredFault : public std::runtime_error {
 public:
  StructuredFault(const FaultFacts& facts, FaultKind kind, std::string_view call);
  const FaultFacts& facts() const { return facts_; }
  FaultKind kind() const { return kind_; }

 private:
  FaultFacts facts_;
  FaultKind kind_;
};

// Runs body(context) inside a fault frame. True when it returned; false when a hardware fault
// was raised inside it and reached the frame (facts then say which). `body` must not let a C++
// exception leave it.
[[nodiscard]] bool RunInFaultFrame(void (*body)(void*), void* context, FaultFacts& facts);

// Gives the thread's stack its guard page back after a stack overflow was caught (XP has no
// _resetstkoflw); without it a second overflow would end the process.
void RestoreStackGuard();

// Runs `call` (a thin lambda around one foreign call) inside a fault frame and returns what it
// returns. A hardware fault inside it throws StructuredFault naming `what`; a C++ exception
// leaving `call` is passed on unchanged.
template <typename Call>
auto CallForeign(std::string_view what, Call&& call) -> decltype(call()) {
  using Result = decltype(call());
  struct Context {
    Call& call;
    std::exception_ptr thrown;
    std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
  } context{call, nullptr};
  const auto body = [](void* raw) {
    Context& c = *static_cast<Context*>(raw);
    try {
      if constexpr (std::is_void_v<Result>) {
        c.call();
        c.result = true;
      } else {
        c.result.emplace(c.call());
      }
    } catch (...) {
      c.thrown = std::current_exception();
    }
  };
  FaultFacts facts;
  if (!RunInFaultFrame(body, &context, facts)) {
    const std::optional<FaultKind> kind = FaultKindOf(facts.code);
    if (kind == FaultKind::kStackOverflow)
      RestoreStackGuard();
    throw StructuredFault(facts, kind.value_or(FaultKind::kAccessViolation), what);
  }
  if (context.thrown)
    std::rethrow_exception(context.thrown);
  if constexpr (!std::is_void_v<Result>)
    return std::move(*context.result);
}

}  // namespace kovra::win
