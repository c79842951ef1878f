#pragma once
// Scope guards the shell controls share.
#include <QApplication>

namespace corvane::shellctl {

// The hourglass for the length of a scope.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Raises an internal update counter for the length of a scope.
struct Counter {
    int& c;
    explicit Counter(int& counter) : c(counter) { ++c; }
    ~Counter() { --c; }
    Counter(const Counter&) = delete;
    Counter& operator=(const Counter&) = delete;
};

} // namespace corvane::shellctl
