#include "install/fault_guard.h"

#include <windows.h>

namespace {

// The guarded call running on this thread, if any. Only the dialog's thread
// uses guards; a fault on any other thread goes to the filter that was there.
struct Guard {
    void* resume[5];            // __builtin_setjmp buffer
    void* handlerChain;         // the thread's SEH chain head when the guard began (32-bit only)
    DWORD threadId;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter;
    Guard* outer;
};

Guard* gActiveGuard = nullptr;

bool IsProcessorFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_PRIV_INSTRUCTION:
            return true;
        default:
            return false;
    }
}

// Reached only for a fault that no handler inside the shell's own code took
// care of, that is one that would otherwise end the process.
LONG WINAPI OnUnhandledFault(EXCEPTION_POINTERS* exception) {
    Guard* guard = gActiveGuard;
    if (guard == nullptr) return EXCEPTION_CONTINUE_SEARCH;
    if (guard->threadId != GetCurrentThreadId() || !IsProcessorFault(exception->ExceptionRecord->ExceptionCode)) {
        return guard->previousFilter != nullptr ? guard->previousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
    }
    // Back to the guarded call's frame; the frames of the faulting code are
    // abandoned as they stand.
    __builtin_longjmp(guard->resume, 1);
}

// Kept out of line so that the jump target's frame holds nothing the faulting
// code could have left half-changed in registers.
__attribute__((noinline)) bool CallGuarded(Guard* guard, void (*work)(void*), void* argument) {
    if (__builtin_setjmp(guard->resume) != 0) {
#if defined(__i386__)
        // The dispatcher's own handler frames were abandoned with the jump.
        __asm__ volatile("movl %0, %%fs:0" : : "r"(guard->handlerChain) : "memory");
#endif
        return false;
    }
    work(argument);
    return true;
}

}  // namespace

bool RunFaultGuarded(void (*work)(void*), void* argument) {
    Guard guard;
    guard.threadId = GetCurrentThreadId();
#if defined(__i386__)
    __asm__ volatile("movl %%fs:0, %0" : "=r"(guard.handlerChain));
#else
    guard.handlerChain = nullptr;
#endif
    guard.outer = gActiveGuard;
    gActiveGuard = &guard;
    guard.previousFilter = SetUnhandledExceptionFilter(OnUnhandledFault);
    bool completed = CallGuarded(&guard, work, argument);
    SetUnhandledExceptionFilter(guard.previousFilter);
    gActiveGuard = guard.outer;
    return completed;
}
