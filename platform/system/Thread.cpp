#include "platform/system/Thread.h"

namespace Platform
{

Thread::~Thread()
{
    Join();
}

bool Thread::Start(std::function<uint32_t()> body)
{
    if (started_ || !body)
        return false;
    body_ = std::move(body);
    if (pthread_create(&thread_, nullptr, &Thread::entry, this) != 0)
    {
        body_ = nullptr;
        return false;
    }
    started_ = true;
    return true;
}

uint32_t Thread::Join()
{
    if (!started_)
        return 0;
    pthread_join(thread_, nullptr);
    started_ = false;
    body_ = nullptr;
    return exitCode_;
}

void* Thread::entry(void* self)
{
    auto* thread = static_cast<Thread*>(self);
    thread->exitCode_ = thread->body_();
    return nullptr;
}

} // namespace Platform
