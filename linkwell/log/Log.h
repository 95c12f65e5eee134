// The library's log, shared by the factory and the connections. Lines carry a
// UTC stamp and go to "linkwelllog.txt" in the current directory and/or to
// standard error (the debugger output of this port); one process-wide lock
// keeps lines of different threads whole.
#pragma once

#include <cstddef>

namespace linkwell {

// Whole line, terminator included, never exceeds this many bytes.
constexpr std::size_t kLogLineBytes = 8192;

void Log(bool toFile, bool toDebugger, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Formats the line as Log writes it (stamp and message, cut to fit
// kLogLineBytes with its terminator) into line; returns its length.
std::size_t FormatLogLine(char* line, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace linkwell
