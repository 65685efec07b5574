/* A 32-bit (i386) Linux program that checks what a fault handler is told: it reads an unmapped
 * address and divides by zero, and exits 0 only when each handler sees the trap number the
 * Linux kernel gives (page fault 14, divide error 0). Run under qemu's emulator, it tells
 * whether the trap-number library is preloaded and right. Built like that library, with no
 * C runtime: its own entry point, libc for sigaction, write and _exit. */

typedef unsigned int u32;

struct i386_sigaction {
  void* handler;
  u32 mask[32];
  int flags;
  void (*restorer)(void);
};
struct i386_ucontext {
  u32 flags;
  void* link;
  u32 stack[3];
  int gregs[19];
};

int sigaction(int, const struct i386_sigaction*, struct i386_sigaction*);
long write(int, const void*, unsigned long);
void _exit(int);

enum { kRegTrapNo = 12, kRegEip = 14, kSigFpe = 8, kSigSegv = 11, kSaSigInfo = 4 };

static volatile int expected_trap;
static volatile int seen_trap = -2;
static volatile int step;

static void say(const char* text) {
  unsigned long n = 0;
  while (text[n])
    ++n;
  write(2, text, n);
}

static void say_number(int value) {
  char digits[16];
  int i = 15;
  int negative = value < 0;
  unsigned v = negative ? -(unsigned)value : (unsigned)value;
  digits[i] = 0;
  do {
    digits[--i] = (char)('0' + v % 10);
    v /= 10;
  } while (v && i > 1);
  if (negative)
    digits[--i] = '-';
  say(digits + i);
}

/* Jumps over the faulting instruction: each fault below is one instruction of known length. */
static void on_fault(int signo, void* info, void* context) {
  (void)signo;
  (void)info;
  struct i386_ucontext* uc = (struct i386_ucontext*)context;
  seen_trap = uc->gregs[kRegTrapNo];
  uc->gregs[kRegEip] += 2;
}

static int check(const char* what, int expected) {
  if (seen_trap == expected)
    return 1;
  say("trap probe: ");
  say(what);
  say(" reached its handler with trap number ");
  say_number(seen_trap);
  say(", expected ");
  say_number(expected);
  say("\n");
  return 0;
}

void _start(void) {
  struct i386_sigaction act = {0};
  act.handler = (void*)on_fault;
  act.flags = kSaSigInfo;
  if (sigaction(kSigSegv, &act, 0) != 0 || sigaction(kSigFpe, &act, 0) != 0) {
    say("trap probe: sigaction failed\n");
    _exit(2);
  }
  int ok = 1;
  /* movl (%eax), %eax with eax = 0: 2 bytes (8b 00). */
  seen_trap = -2;
  __asm__ volatile(".byte 0x8b, 0x00" : : "a"(0) : "memory");
  ok &= check("an access violation", 14);
  /* divl %ecx with ecx = 0: 2 bytes (f7 f1). */
  seen_trap = -2;
  __asm__ volatile(".byte 0xf7, 0xf1" : : "a"(1), "d"(0), "c"(0) : "memory");
  ok &= check("a division by zero", 0);
  if (ok)
    say("trap probe: faults reach their handlers with their trap numbers\n");
  _exit(ok ? 0 : 1);
}
