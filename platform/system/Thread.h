// A joinable thread that returns a 32-bit exit code, as the engine's worker
// and message-box threads expect.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <pthread.h>

namespace Platform
{

class Thread
{
public:
    Thread() = default;
    ~Thread(); // joins a thread that is still attached
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False when the thread could not be created or one is already attached.
    bool Start(std::function<uint32_t()> body);
    // Waits for the thread and returns its exit code; 0 when none is attached.
    uint32_t Join();
    // Lets the thread run on by itself, independent of this object.
    void Detach();
    bool IsAttached() const { return attached_; }

private:
    struct State
    {
        std::function<uint32_t()> body;
        uint32_t exitCode = 0;
    };
    static void* entry(void* state);

    std::shared_ptr<State> state_;
    pthread_t thread_{};
    bool attached_ = false;
};

} // namespace Platform
