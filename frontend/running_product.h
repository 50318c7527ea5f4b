// Closing a running copy of the product.
#pragma once
#include <windows.h>

// Starts a thread that sends WM_DESTROY to every top-level window of the
// class windowClass until none is left. The thread works on its own copy of
// the name (the caller's may be gone before it ends) and pauses between
// rounds, so a window that outlives WM_DESTROY does not keep a processor
// busy. Returns the thread's handle (the caller closes it), or nullptr when
// no thread could be started.
HANDLE StartClosingRunningProduct(const char* windowClass);
