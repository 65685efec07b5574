// Hardware faults inside a call made the call's C++ exception: each kind reaches its fault
// frame as what it is, our destructors above the frame run, the thread's handler chain is as it
// was, and the thread goes on (a stack overflow twice over).
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "platform/structured_fault_win.h"

namespace kovra::win {
namespace {

void* HandlerChainHead() {
#if defined(__i386__)
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
#else
  return nullptr;
#endif
}

// Low addresses that no page is mapped at, read through a variable the compiler cannot see.
volatile uintptr_t g_unmapped = 0x10;

void WriteUnmapped(uintptr_t offset) {
  *reinterpret_cast<volatile int*>(g_unmapped + offset) = 1;
}

// Deeper until the stack runs out (the limit is never reached).
__attribute__((noinline)) int Recurse(int depth) {
  volatile char room[1024];
  room[0] = static_cast<char>(depth);
  if (depth > (1 << 30))
    return room[0];
  return Recurse(depth + 1) + room[0];
}

struct FaultCase {
  const char* name;
  std::function<void()> fault;
  DWORD code;
  FaultKind kind;
  const char* text;  // part of the exception's text
};

TEST(StructuredFault, EachHardwareFaultBecomesTheCallsException) {
  if (sizeof(void*) == 8)
    GTEST_SKIP() << "the 64-bit build has no fault frame";
  volatile int zero = 0;
  const FaultCase cases[] = {
      {"read", [] { (void)*reinterpret_cast<volatile int*>(g_unmapped - 0x10); },
       EXCEPTION_ACCESS_VIOLATION, FaultKind::kAccessViolation, "reading address 0x00000000"},
      {"write", [] { WriteUnmapped(0); }, EXCEPTION_ACCESS_VIOLATION, FaultKind::kAccessViolation,
       "writing address 0x00000010"},
      {"divide", [&zero] { zero = 10 / zero; }, EXCEPTION_INT_DIVIDE_BY_ZERO,
       FaultKind::kIntegerDivideByZero, "integer divide by zero (exception 0xC0000094)"},
      {"illegal", [] { asm volatile("ud2"); }, EXCEPTION_ILLEGAL_INSTRUCTION,
       FaultKind::kIllegalInstruction, "illegal instruction"},
      {"overflow", [] { Recurse(0); }, EXCEPTION_STACK_OVERFLOW, FaultKind::kStackOverflow,
       "stack overflow"},
      {"overflow again", [] { Recurse(0); }, EXCEPTION_STACK_OVERFLOW, FaultKind::kStackOverflow,
       "stack overflow"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    void* const head = HandlerChainHead();
    bool destroyed = false;
    try {
      struct Guard {
        bool& destroyed;
        ~Guard() { destroyed = true; }
      } guard{destroyed};
      CallForeign("the probe", c.fault);
      ADD_FAILURE() << "no fault";
    } catch (const StructuredFault& e) {
      EXPECT_EQ(e.facts().code, c.code);
      EXPECT_EQ(e.kind(), c.kind);
      const std::string text = e.what();
      EXPECT_NE(text.find(c.text), std::string::npos) << text;
      EXPECT_NE(text.find("win_tests.exe+0x"), std::string::npos) << text;
      EXPECT_NE(text.find(", in the probe"), std::string::npos) << text;
    }
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(HandlerChainHead(), head);
  }
}

TEST(StructuredFault, ResultsAndOurOwnExceptionsPassThrough) {
  void* const head = HandlerChainHead();
  EXPECT_EQ(CallForeign("sum", [] { return 40 + 2; }), 42);
  EXPECT_EQ(CallForeign("text", [] { return std::string("kept"); }), "kept");
  EXPECT_THROW(CallForeign("throws", [] { throw std::runtime_error("ours"); }), std::runtime_error);
  EXPECT_EQ(HandlerChainHead(), head);
  // Nested frames: the inner one takes the fault, the outer one sees a C++ exception.
  EXPECT_THROW(CallForeign("outer", [] { CallForeign("inner", [] { WriteUnmapped(0x10); }); }),
               StructuredFault);
  EXPECT_EQ(HandlerChainHead(), head);
}

TEST(StructuredFault, ModuleOffsetOfAnAddressInsideAModuleAndOutside) {
  const auto base = reinterpret_cast<uintptr_t>(::GetModuleHandleW(L"kernel32.dll"));
  EXPECT_EQ(ModuleOffsetText(base + 0x1234), "kernel32.dll+0x1234");
  EXPECT_EQ(ModuleOffsetText(0x10), "0x00000010");
}

}  // namespace
}  // namespace kovra::win
