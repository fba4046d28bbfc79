#pragma once

#include <QtGlobal>

// What the kernel knows about this process: its clock, the processor time it
// has used and how often it went to sleep, and its peak memory.
namespace ProcessStats {

// CLOCK_MONOTONIC in nanoseconds, the clock a parent process reads too.
qint64 MonotonicNs();
// User and system time of all the process's threads, in nanoseconds.
qint64 CpuNs();
// Times the process gave up the processor of its own accord: one per sleep.
qint64 VoluntarySwitches();
// A "Vm...:" line of /proc/self/status in KiB (VmHWM is the peak resident
// size); -1 when the kernel does not tell.
qint64 StatusKb(const char *field);

} // namespace ProcessStats
