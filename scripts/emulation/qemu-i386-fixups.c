/*
 * Preloaded into the 32-bit Wine processes of the test bed when 32-bit code
 * runs under qemu-i386 user emulation (qemu 7.2), on machines whose kernel
 * cannot execute it. It mends two faults of that emulator, nothing else:
 *
 * 1. qemu ignores MAP_FIXED_NOREPLACE. 32-bit Wine reserves the top of the
 *    address space at start-up with such requests and splits a range in
 *    halves whenever it does not get exactly what it asked for. Above qemu's
 *    reserved guest space nothing can ever be mapped, so the splitting runs
 *    down to single pages: about 65,000 mmap/munmap pairs, close to a minute
 *    of CPU per process start. A request that reaches above that space fails
 *    here at once with EEXIST, without a system call; the lower halves are
 *    then asked for and granted as usual.
 *
 * 2. qemu delivers guest fault signals with the trap number -1 in the signal
 *    context. Wine's 32-bit handlers decide from that number what happened,
 *    and turn every access violation (their own guard-page faults included)
 *    into an illegal instruction. The handlers Wine installs for the fault
 *    signals are wrapped: the trap number is filled in from the signal and
 *    its si_code, as the kernel would have set it, before Wine's handler runs.
 *
 * The library is loaded through LD_PRELOAD with the dynamic loader's $LIB
 * token; the 64-bit processes load an empty twin of it.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

/* ---- 1. reservations above the emulator's guest space ------------------ */

/* Top of the guest address space qemu was told to reserve (the variable qemu
 * reads itself); 0 when it is not set, and then nothing is refused. */
static uint64_t guest_space_top(void)
{
    static int known;
    static uint64_t top;
    if (!known) {
        const char *text = getenv("QEMU_RESERVED_VA");
        top = text ? strtoull(text, NULL, 0) : 0;
        known = 1;
    }
    return top;
}

static int refused(const void *addr, size_t length, int flags)
{
    const uint64_t top = guest_space_top();
    return (flags & MAP_FIXED_NOREPLACE) && top != 0 &&
           (uint64_t)(uintptr_t)addr + length > top;
}

/* Both entries go straight to mmap2, whose offset counts 4096-byte pages. */
static void *map_pages(void *addr, size_t length, int prot, int flags, int fd,
                       long long offset)
{
    if (refused(addr, length, flags)) {
        errno = EEXIST;
        return MAP_FAILED;
    }
    if (offset & 4095) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    return (void *)syscall(SYS_mmap2, addr, length, prot, flags, fd, (long)(offset >> 12));
}

void *mmap(void *addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return map_pages(addr, length, prot, flags, fd, offset);
}

void *mmap64(void *addr, size_t length, int prot, int flags, int fd, off64_t offset)
{
    return map_pages(addr, length, prot, flags, fd, offset);
}

/* ---- 2. trap numbers of fault signals ---------------------------------- */

/* x86 exception numbers as the kernel puts them into the context. */
enum {
    TRAP_DIVIDE = 0, TRAP_DEBUG = 1, TRAP_BREAKPOINT = 3, TRAP_OVERFLOW = 4,
    TRAP_INVALID_OPCODE = 6, TRAP_STACK = 12, TRAP_PROTECTION = 13,
    TRAP_PAGE_FAULT = 14, TRAP_FPU = 16, TRAP_ALIGNMENT = 17
};

static int trap_number(int signal, int code)
{
    switch (signal) {
    case SIGSEGV:
        /* The kernel reports a general-protection fault without a fault
         * address (SI_KERNEL); everything else is a page fault. */
        return code == SI_KERNEL ? TRAP_PROTECTION : TRAP_PAGE_FAULT;
    case SIGBUS:
        if (code == BUS_ADRALN) return TRAP_ALIGNMENT;
        return code == SI_KERNEL ? TRAP_STACK : TRAP_PAGE_FAULT;
    case SIGILL:
        return TRAP_INVALID_OPCODE;
    case SIGFPE:
        if (code == FPE_INTDIV) return TRAP_DIVIDE;
        return code == FPE_INTOVF ? TRAP_OVERFLOW : TRAP_FPU;
    case SIGTRAP:
        return code == TRAP_TRACE ? TRAP_DEBUG : TRAP_BREAKPOINT;
    default:
        return -1;
    }
}

static int is_fault_signal(int signal)
{
    return trap_number(signal, 0) != -1;
}

/* What the program asked for, per fault signal; the kernel holds ours. */
static struct sigaction wanted[_NSIG];
static int wrapped[_NSIG];

static void run_wanted_handler(int signal, siginfo_t *info, void *context)
{
    ucontext_t *uc = context;
    if (uc->uc_mcontext.gregs[REG_TRAPNO] == -1) {
        uc->uc_mcontext.gregs[REG_TRAPNO] = trap_number(signal, info->si_code);
    }
    const struct sigaction *handler = &wanted[signal];
    if (handler->sa_flags & SA_SIGINFO) {
        handler->sa_sigaction(signal, info, context);
    } else {
        handler->sa_handler(signal);
    }
}

static int kernel_sigaction(int signal, const struct sigaction *act, struct sigaction *old)
{
    /* glibc's own wrapper, reached past this one. */
    extern int __sigaction(int, const struct sigaction *, struct sigaction *);
    return __sigaction(signal, act, old);
}

int sigaction(int signal, const struct sigaction *act, struct sigaction *old)
{
    if (signal <= 0 || signal >= _NSIG || !is_fault_signal(signal)) {
        return kernel_sigaction(signal, act, old);
    }
    struct sigaction previous;
    const int wrap = act != NULL && act->sa_handler != SIG_DFL && act->sa_handler != SIG_IGN;
    struct sigaction installed;
    if (wrap) {
        installed = *act;
        installed.sa_sigaction = run_wanted_handler;
        installed.sa_flags |= SA_SIGINFO;
    }
    const int result = kernel_sigaction(signal, act == NULL ? NULL : wrap ? &installed : act,
                                        &previous);
    if (result != 0) {
        return result;
    }
    /* The caller is shown its own handler, never the wrapper. */
    if (old != NULL) {
        *old = wrapped[signal] ? wanted[signal] : previous;
    }
    if (act != NULL) {
        wrapped[signal] = wrap;
        if (wrap) wanted[signal] = *act;
    }
    return 0;
}
