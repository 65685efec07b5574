/* Preloaded into 32-bit (i386) programs that qemu's user-mode emulator runs, and into nothing
 * else. qemu leaves -1 in the trap-number slot of the signal context of the faults it delivers;
 * Wine's 32-bit signal handlers choose the Windows exception by that number, so without a real
 * number an access violation arrives as an illegal instruction and structured exception
 * handling breaks. This library wraps sigaction() for the fault signals and, before the
 * program's handler runs, writes the number the Linux kernel itself would have written.
 *
 * Built by the host compiler with -m32 -ffreestanding -nostdlib against the i386 libc, so it
 * needs no 32-bit development packages: the few i386 layouts it uses are written out here.
 * It must use no thread-local storage and no stack protector: it runs before Wine has
 * restored its segment registers. */

typedef unsigned int u32;

/* glibc's i386 struct sigaction. */
struct i386_sigaction {
  void* handler; /* sa_handler or sa_sigaction */
  u32 mask[32];  /* sigset_t: 1024 bits */
  int flags;
  void (*restorer)(void);
};

/* The start of struct siginfo. */
struct i386_siginfo {
  int signo;
  int errno_value;
  int code;
};

/* The start of ucontext_t: flags, link, stack (3 words), then mcontext's 19 general registers. */
struct i386_ucontext {
  u32 flags;
  void* link;
  u32 stack[3];
  int gregs[19];
};

enum { kRegTrapNo = 12 };
enum { kSigIll = 4, kSigTrap = 5, kSigBus = 7, kSigFpe = 8, kSigSegv = 11, kSignalCount = 65 };
enum { kSaSigInfo = 4 };
enum { kSegvMapErr = 1, kSegvAccErr = 2, kFpeIntDiv = 1, kFpeIntOvf = 2, kSiKernel = 0x80 };
/* x86 exception vectors. */
enum {
  kTrapDivide = 0,
  kTrapDebug = 1,
  kTrapBreakpoint = 3,
  kTrapOverflow = 4,
  kTrapInvalidOpcode = 6,
  kTrapSegmentNotPresent = 11,
  kTrapStackFault = 12,
  kTrapGeneralProtection = 13,
  kTrapPageFault = 14,
  kTrapFpuError = 16
};

typedef void (*SigInfoHandler)(int, struct i386_siginfo*, void*);
typedef int (*SigactionFunction)(int, const struct i386_sigaction*, struct i386_sigaction*);

void* dlsym(void* handle, const char* name);
#define RTLD_NEXT ((void*)-1l)

/* The program's own handlers of the wrapped signals. Written when the program installs one;
 * a fault between the two writes is not a case this library needs to handle. */
static SigInfoHandler program_handlers[kSignalCount];
static SigactionFunction real_sigaction;

static int is_wrapped(int signo) {
  return signo == kSigSegv || signo == kSigBus || signo == kSigFpe || signo == kSigIll ||
         signo == kSigTrap;
}

static int trap_number(const struct i386_siginfo* info) {
  switch (info->signo) {
    case kSigSegv:
      return info->code == kSegvMapErr || info->code == kSegvAccErr ? kTrapPageFault
                                                                    : kTrapGeneralProtection;
    case kSigBus:
      return kTrapStackFault;
    case kSigFpe:
      if (info->code == kFpeIntDiv)
        return kTrapDivide;
      if (info->code == kFpeIntOvf)
        return kTrapOverflow;
      return kTrapFpuError;
    case kSigTrap:
      return info->code == kSiKernel ? kTrapBreakpoint : kTrapDebug;
    default:
      return kTrapInvalidOpcode;
  }
}

static void give_trap_number(int signo, struct i386_siginfo* info, void* context) {
  struct i386_ucontext* uc = (struct i386_ucontext*)context;
  /* Only the emulator's "no number" is replaced; a real kernel's number is left alone. */
  if (uc && info && uc->gregs[kRegTrapNo] == -1)
    uc->gregs[kRegTrapNo] = trap_number(info);
  program_handlers[signo](signo, info, context);
}

int sigaction(int signo, const struct i386_sigaction* act, struct i386_sigaction* old) {
  if (!real_sigaction) {
    real_sigaction = (SigactionFunction)dlsym(RTLD_NEXT, "sigaction");
    if (!real_sigaction)
      return -1;
  }
  if (signo <= 0 || signo >= kSignalCount || !is_wrapped(signo))
    return real_sigaction(signo, act, old);

  SigInfoHandler previous = program_handlers[signo];
  int result;
  if (act && (act->flags & kSaSigInfo) && act->handler != (void*)0 && act->handler != (void*)1) {
    struct i386_sigaction wrapped = *act;
    wrapped.handler = (void*)give_trap_number;
    program_handlers[signo] = (SigInfoHandler)act->handler;
    result = real_sigaction(signo, &wrapped, old);
    if (result != 0)
      program_handlers[signo] = previous;
  } else {
    result = real_sigaction(signo, act, old);
    if (result == 0 && act)
      program_handlers[signo] = 0;
  }
  /* The program sees its own handler, never the wrapper. */
  if (result == 0 && old && old->handler == (void*)give_trap_number)
    old->handler = (void*)previous;
  return result;
}
