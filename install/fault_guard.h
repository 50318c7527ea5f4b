// Runs a piece of code so that a processor fault inside it (an access
// violation in a shell object, say) ends that piece instead of the process.
#pragma once

// Calls work(argument) on this thread. Returns true when it ran to its end,
// false when a fault was raised inside it; whatever it had not done stays
// undone, and objects it held are leaked.
bool RunFaultGuarded(void (*work)(void*), void* argument);
