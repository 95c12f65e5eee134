// Audio outputs; see AudioOutput.h.
#include "platform/audio/AudioOutput.h"

#include "platform/audio/AudioMixer.h"
#include "platform/system/Clock.h"

#include <SDL.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace Audio
{

namespace
{

// How often the feeder decodes ahead for streamed channels; a feed holds far more than this.
constexpr auto kFeedInterval = std::chrono::milliseconds(5);

// ALSA reports every failed probe on stderr itself, several lines each time a
// machine without a sound card is asked for a device. SDL loads the library
// by name; loading it first and giving it a silent error handler keeps that
// off the terminal (the program says in one line that sound is off). The
// library stays loaded so that SDL finds it with the handler in place.
void alsaErrorsSilent(const char*, int, const char*, int, const char*, ...) {}

void keepAlsaQuiet()
{
    static const bool done = []
    {
        void* library = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
        if (library == nullptr)
            return false;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(dlsym(library, "snd_lib_error_set_handler")))
            set(&alsaErrorsSilent);
        return true;
    }();
    (void)done;
}

// Quitting the audio subsystem stops SDL's device-watch thread (ALSA's wakes
// every 100 ms), so after a failed open it can hold start-up up for that long.
// The first failed open's reference to the subsystem is kept for the
// process's life instead, as the video subsystem's is; later ones reuse it
// and give theirs back at once, which is cheap while one is kept.
void keepAudioSubsystem()
{
    static std::atomic<bool> kept{false};
    if (kept.exchange(true))
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

class DeviceOutput final : public AudioOutput
{
public:
    explicit DeviceOutput(const SystemOptions& options) : options(options) {}
    ~DeviceOutput() override { Close(); }

    bool Open(Mixer& target) override
    {
        failure.clear();
        keepAlsaQuiet();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        {
            failure = SDL_GetError();
            return false;
        }
        subsystem = true;
        SDL_AudioSpec want{};
        want.freq = 48000;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = Uint16(options.deviceFrames > 0 && options.deviceFrames <= 8192 ? options.deviceFrames : 1024);
        want.callback = &DeviceOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        mixer = &target;
        device = SDL_OpenAudioDevice(options.deviceName.empty() ? nullptr : options.deviceName.c_str(), 0, &want,
                                     &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (device == 0 || have.freq < 1000)
        {
            failure = device == 0 ? SDL_GetError() : "the device plays below 1000 frames a second";
            keepAudioSubsystem();
            subsystem = false;
            Close();
            return false;
        }
        target.rate = uint32_t(have.freq);
        stopping = false;
        feeder = std::thread([this] { feed(); });
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

    std::string Failure() const override { return failure; }

    void Close() override
    {
        if (device != 0)
        {
            // Waits for a callback in progress, which may be waiting for the mixer's lock.
            SDL_CloseAudioDevice(device);
            device = 0;
        }
        if (feeder.joinable())
        {
            {
                std::lock_guard<std::mutex> guard(wakeLock);
                stopping = true;
            }
            wake.notify_all();
            feeder.join();
        }
        if (subsystem)
        {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            subsystem = false;
        }
        mixer = nullptr;
    }

private:
    static void callback(void* user, Uint8* stream, int length)
    {
        auto* self = static_cast<DeviceOutput*>(user);
        float* out = reinterpret_cast<float*>(stream);
        std::lock_guard<std::mutex> guard(self->mixer->lock);
        self->mixer->Mix(out, uint32_t(length) / (2 * sizeof(float)));
    }

    void feed()
    {
        std::unique_lock<std::mutex> guard(wakeLock);
        while (!stopping)
        {
            guard.unlock();
            mixer->FillStreams();
            guard.lock();
            wake.wait_for(guard, kFeedInterval, [this] { return stopping; });
        }
    }

    SystemOptions options;
    std::string failure;
    Mixer* mixer = nullptr;
    SDL_AudioDeviceID device = 0;
    bool subsystem = false;
    std::thread feeder;
    std::mutex wakeLock;
    std::condition_variable wake;
    bool stopping = false;
};

class NoSoundOutput final : public AudioOutput
{
public:
    explicit NoSoundOutput(const SystemOptions& options)
        : clock(options.clock != nullptr ? *options.clock : Platform::SystemCounter()),
          rate(options.rate >= 1000 ? options.rate : 48000)
    {
    }

    bool Open(Mixer& mixer) override
    {
        mixer.rate = rate;
        start = clock.Counter();
        done = 0;
        return true;
    }
    void Close() override {}

    uint64_t TakeUnmixedFrames() override
    {
        const int64_t frequency = clock.Frequency();
        const int64_t elapsed = clock.Counter() - start;
        if (frequency <= 0 || elapsed <= 0)
            return 0;
        const uint64_t target = uint64_t((unsigned __int128)elapsed * rate / uint64_t(frequency));
        const uint64_t frames = target > done ? target - done : 0;
        done = target > done ? target : done;
        return frames;
    }
    bool Decodes() const override { return false; }

private:
    const Platform::CounterSource& clock;
    uint32_t rate;
    int64_t start = 0;
    uint64_t done = 0;
};

class ManualOutput final : public AudioOutput
{
public:
    explicit ManualOutput(const SystemOptions& options) : rate(options.rate >= 1000 ? options.rate : 48000) {}

    bool Open(Mixer& mixer) override
    {
        mixer.rate = rate;
        return true;
    }
    void Close() override {}

private:
    uint32_t rate;
};

} // namespace

std::unique_ptr<AudioOutput> CreateAudioOutput(OutputType type, const SystemOptions& options)
{
    switch (type)
    {
    case OutputType::Device:
        return std::make_unique<DeviceOutput>(options);
    case OutputType::NoSound:
        return std::make_unique<NoSoundOutput>(options);
    case OutputType::Manual:
        return std::make_unique<ManualOutput>(options);
    }
    return nullptr;
}

} // namespace Audio
