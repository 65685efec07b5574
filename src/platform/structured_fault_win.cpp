#include "platform/structured_fault_win.h"

#include <cstdio>

#include "base/text.h"
#include "platform/win_text_win.h"

namespace kovra::win {

std::optional<FaultKind> FaultKindOf(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      return FaultKind::kAccessViolation;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      return FaultKind::kIllegalInstruction;
    case EXCEPTION_PRIV_INSTRUCTION:
      return FaultKind::kPrivilegedInstruction;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      return FaultKind::kIntegerDivideByZero;
    case EXCEPTION_INT_OVERFLOW:
      return FaultKind::kIntegerOverflow;
    case EXCEPTION_STACK_OVERFLOW:
      return FaultKind::kStackOverflow;
    case EXCEPTION_IN_PAGE_ERROR:
      return FaultKind::kInPageError;
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return FaultKind::kDatatypeMisalignment;
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
      return FaultKind::kArrayBoundsExceeded;
    default:
      return std::nullopt;
  }
}

std::string_view FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kAccessViolation:
      return "access violation";
    case FaultKind::kIllegalInstruction:
      return "illegal instruction";
    case FaultKind::kPrivilegedInstruction:
      return "privileged instruction";
    case FaultKind::kIntegerDivideByZero:
      return "integer divide by zero";
    case FaultKind::kIntegerOverflow:
      return "integer overflow";
    case FaultKind::kStackOverflow:
      return "stack overflow";
    case FaultKind::kInPageError:
      return "in-page error";
    case FaultKind::kDatatypeMisalignment:
      return "datatype misalignment";
    case FaultKind::kArrayBoundsExceeded:
      return "array bounds exceeded";
  }
  return "hardware exception";
}

std::string ModuleOffsetText(uintptr_t address) {
  MEMORY_BASIC_INFORMATION region{};
  if (::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) != 0 &&
      region.Type == MEM_IMAGE && region.AllocationBase != nullptr) {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length =
        ::GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      std::wstring_view name(path, length);
      if (const size_t slash = name.find_last_of(L"\\/"); slash != std::wstring_view::npos)
        name.remove_prefix(slash + 1);
      return Narrow(name) +
             StrPrintf("+0x%lX", static_cast<unsigned long>(
                                     address - reinterpret_cast<uintptr_t>(region.AllocationBase)));
    }
  }
  return StrPrintf("0x%08lX", static_cast<unsigned long>(address));
}

namespace {

std::string FaultText(const FaultFacts& facts, FaultKind kind, std::string_view call) {
  std::string text(FaultKindName(kind));
  text += StrPrintf(" (exception 0x%08lX) at ", static_cast<unsigned long>(facts.code));
  text += ModuleOffsetText(facts.address);
  if (facts.has_data_address) {
    const char* access = facts.access == 1   ? "writing"
                         : facts.access == 8 ? "executing"
                                             : "reading";
    text +=
        StrPrintf(", %s address 0x%08lX", access, static_cast<unsigned long>(facts.data_address));
  }
  if (!call.empty())
    text.append(", in ").append(call);
  return text;
}

}  // namespace

StructuredFault::StructuredFault(const FaultFacts& facts, FaultKind kind, std::string_view call)
    : std::runtime_error(FaultText(facts, kind, call)), facts_(facts), kind_(kind) {}

#if defined(__i386__)

namespace {

// The frame as the system sees it: an EXCEPTION_REGISTRATION record (the previous record and
// the handler) first, then what the handler needs to go back to RunInFaultFrame.
struct FaultFrame {
  void* previous;
  void* handler;
  void* resume[5];  // __builtin_setjmp's buffer
  FaultFacts* facts;
};

void* ChainHead() {
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(void* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// The flags of an exception record that say the handler is called to unwind, not to handle.
constexpr DWORD kUnwindFlags = 0x66;

}  // namespace

// Calls RtlUnwind(frame, 0, record, 0): the handlers of the frames registered after `frame` run
// their unwinding, and `frame` becomes the head of the chain. RtlUnwind does not keep EBX, ESI
// and EDI on every version, so this keeps them itself.
extern "C" void kovra_unwind_to(void* frame, EXCEPTION_RECORD* record, void* rtl_unwind);
asm(".text\n"
    ".globl _kovra_unwind_to\n"
    "_kovra_unwind_to:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  pushl $0\n"
    "  pushl 12(%ebp)\n"
    "  pushl $0\n"
    "  pushl 8(%ebp)\n"
    "  call *16(%ebp)\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

extern "C" EXCEPTION_DISPOSITION __cdecl kovra_fault_frame_handler(EXCEPTION_RECORD* record,
                                                                   void* established, CONTEXT*,
                                                                   void*) {
  if ((record->ExceptionFlags & kUnwindFlags) != 0 || !FaultKindOf(record->ExceptionCode))
    return ExceptionContinueSearch;
  FaultFrame* frame = static_cast<FaultFrame*>(established);
  FaultFacts& facts = *frame->facts;
  facts.code = record->ExceptionCode;
  facts.address = reinterpret_cast<uintptr_t>(record->ExceptionAddress);
  if ((record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION ||
       record->ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
      record->NumberParameters >= 2) {
    facts.has_data_address = true;
    facts.access = record->ExceptionInformation[0];
    facts.data_address = record->ExceptionInformation[1];
  }
  kovra_unwind_to(frame, record, reinterpret_cast<void*>(&::RtlUnwind));
  SetChainHead(frame->previous);
  __builtin_longjmp(frame->resume, 1);
}

__attribute__((noinline)) bool RunInFaultFrame(void (*body)(void*), void* context,
                                               FaultFacts& facts) {
  FaultFrame frame{};
  frame.handler = reinterpret_cast<void*>(&kovra_fault_frame_handler);
  frame.facts = &facts;
  frame.previous = ChainHead();
  // Back here from the handler: the chain is as it was before the frame was registered.
  if (__builtin_setjmp(frame.resume) != 0)
    return false;
  SetChainHead(&frame);
  body(context);
  SetChainHead(frame.previous);
  return true;
}

#else

// The 64-bit build (a test build for machines that run no 32-bit programs; the product is the
// 32-bit executable) has table-based exception handling, which this compiler offers no way to
// write around a call: the call runs without a fault frame there, and a fault reaches the
// process's unhandled-exception path as it would without one.
bool RunInFaultFrame(void (*body)(void*), void* context, FaultFacts&) {
  body(context);
  return true;
}

#endif

void RestoreStackGuard() {
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  const uintptr_t page = system.dwPageSize;
  MEMORY_BASIC_INFORMATION here{};
  if (::VirtualQuery(&here, &here, sizeof here) == 0)
    return;
  // The lowest committed pages of the stack: the guard page goes on the lowest of them, as long
  // as that leaves the running code a page of room above it.
  auto* at = static_cast<BYTE*>(here.AllocationBase);
  MEMORY_BASIC_INFORMATION region{};
  while (::VirtualQuery(at, &region, sizeof region) != 0 && region.State != MEM_COMMIT &&
         region.AllocationBase == here.AllocationBase)
    at = static_cast<BYTE*>(region.BaseAddress) + region.RegionSize;
  if (region.State != MEM_COMMIT || region.AllocationBase != here.AllocationBase ||
      (region.Protect & PAGE_GUARD) != 0)
    return;
  const uintptr_t lowest = reinterpret_cast<uintptr_t>(region.BaseAddress);
  const uintptr_t running = reinterpret_cast<uintptr_t>(&system) & ~(page - 1);
  if (lowest + page >= running)
    return;
  DWORD previous = 0;
  ::VirtualProtect(region.BaseAddress, page, PAGE_READWRITE | PAGE_GUARD, &previous);
}

}  // namespace kovra::win
