// Log lines of the library (see Log.h).
#include "linkwell/log/Log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace linkwell {

namespace {

// Function-local so that its construction is thread-safe on first use.
std::mutex& logLock() {
    static std::mutex lock;
    return lock;
}

std::size_t formatLine(char* line, const char* format, va_list args) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    int stamp = std::snprintf(line, kLogLineBytes, "%d.%d.%d %d:%d:%d.%d ", utc.tm_year + 1900, utc.tm_mon + 1,
                              utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                              static_cast<int>(now.tv_nsec / 1000000));
    if (stamp < 0) {
        line[0] = 0;
        return 0;
    }
    std::size_t used = static_cast<std::size_t>(stamp);
    int message = std::vsnprintf(line + used, kLogLineBytes - used, format, args);
    if (message > 0) {
        used += static_cast<std::size_t>(message);
    }
    if (used > kLogLineBytes - 1) {
        used = kLogLineBytes - 1;
    }
    return used;
}

} // namespace

std::size_t FormatLogLine(char* line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::size_t n = formatLine(line, format, args);
    va_end(args);
    return n;
}

void Log(bool toFile, bool toDebugger, const char* format, ...) {
    if (!toFile && !toDebugger) {
        return;
    }
    char line[kLogLineBytes];
    va_list args;
    va_start(args, format);
    std::size_t n = formatLine(line, format, args);
    va_end(args);

    std::lock_guard<std::mutex> hold(logLock());
    if (toDebugger) {
        std::fwrite(line, 1, n, stderr);
        std::fputc('\n', stderr);
    }
    if (toFile) {
        if (std::FILE* file = std::fopen("linkwelllog.txt", "a")) {
            std::fwrite(line, 1, n, file);
            std::fputc('\n', file);
            std::fclose(file);
        }
    }
}

} // namespace linkwell
