// A joinable thread that returns a 32-bit exit code, as the engine's worker
// and message-box threads expect.
#pragma once

#include <cstdint>
#include <functional>
#include <pthread.h>

namespace Platform
{

class Thread
{
public:
    Thread() = default;
    ~Thread(); // joins a thread that is still running
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when the thread could not be created or one is already running.
    bool Start(std::function<uint32_t()> body);
    // Waits for the thread and returns its exit code; 0 when none was started.
    uint32_t Join();
    bool IsRunning() const { return started_; }

private:
    static void* entry(void* self);

    std::function<uint32_t()> body_;
    uint32_t exitCode_ = 0;
    pthread_t thread_{};
    bool started_ = false;
};

} // namespace Platform
