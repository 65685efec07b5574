// Exits 0 when a write to address 0 reaches a vectored exception handler as what it is: an
// access violation, flagged as a write, at address 0. The test environment runs it before the
// Windows tests, so that an emulation of 32-bit code whose faults arrive as something else
// (structured exception handling would break) fails loudly instead of causing odd failures.
#include <windows.h>

#include <cstdio>

namespace {

LONG CALLBACK OnException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  const bool as_such = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
                       record.NumberParameters >= 2 && record.ExceptionInformation[0] == 1 &&
                       record.ExceptionInformation[1] == 0;
  if (as_such) {
    std::printf("an access violation reached its handler as one\n");
  } else {
    std::printf(
        "a write to address 0 reached its handler as exception 0x%08lX (%lu parameters,"
        " first %lu)\n",
        static_cast<unsigned long>(record.ExceptionCode),
        static_cast<unsigned long>(record.NumberParameters),
        static_cast<unsigned long>(record.NumberParameters ? record.ExceptionInformation[0] : 0));
  }
  std::fflush(stdout);
  ExitProcess(as_such ? 0 : 1);
}

}  // namespace

int main() {
  AddVectoredExceptionHandler(1, OnException);
  volatile int* nowhere = nullptr;
  *nowhere = 1;
  std::printf("a write to address 0 raised no exception\n");
  return 2;
}
