#include "platform/system/Thread.h"

namespace Platform
{

Thread::~Thread()
{
    Join();
}

bool Thread::Start(std::function<uint32_t()> body)
{
    if (attached_ || !body)
        return false;
    auto state = std::make_shared<State>();
    state->body = std::move(body);
    // The thread owns a reference of its own, so it may outlive this object.
    auto* threadReference = new std::shared_ptr<State>(state);
    if (pthread_create(&thread_, nullptr, &Thread::entry, threadReference) != 0)
    {
        delete threadReference;
        return false;
    }
    state_ = std::move(state);
    attached_ = true;
    return true;
}

uint32_t Thread::Join()
{
    if (!attached_)
        return 0;
    pthread_join(thread_, nullptr);
    attached_ = false;
    const uint32_t exitCode = state_->exitCode;
    state_.reset();
    return exitCode;
}

void Thread::Detach()
{
    if (!attached_)
        return;
    pthread_detach(thread_);
    attached_ = false;
    state_.reset();
}

void* Thread::entry(void* reference)
{
    std::unique_ptr<std::shared_ptr<State>> state(static_cast<std::shared_ptr<State>*>(reference));
    (*state)->exitCode = (*state)->body();
    return nullptr;
}

} // namespace Platform
