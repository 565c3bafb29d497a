// Counts and times the registry and stream calls that this program makes through its import
// table: each entry's slot is pointed at a wrapper that forwards to the system's function.
// The store is linked in statically, so every call it makes passes through these slots.
#pragma once

#include <windows.h>

#include <cstdio>

namespace call_counter {

struct Counter {
    const char* name;
    bool registry; // else a stream call of the C runtime
    long calls;
    double ms;
};

// Milliseconds from the performance counter.
double Now();

// Points the import slots at the wrappers; false when an entry was not found.
bool Install();
void Reset();
// Whether the wrappers count and time the calls (they do from the start) or only forward them.
void Count(bool counting);
// Microseconds that the counting adds to each call counted (its two readings of the clock).
double CountingCost();
// Every counter, registry calls first; ends with a counter whose name is null.
const Counter* Counters();

} // namespace call_counter
