#pragma once
// A cheap monotonic clock for deciding when to publish progress: a few milliseconds of
// coarseness do not matter there, and the call costs no system call.
#include <QtGlobal>

#include <time.h>

namespace corvane::core {

inline qint64 MonotonicNs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace corvane::core
