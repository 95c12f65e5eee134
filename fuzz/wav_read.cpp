// Fuzz target: any bytes read as a WAV file. The reader must refuse them or describe frames that lie
// inside the bytes; every frame converts to a finite sample in [-1, 1]; and a sound made of them, whole or
// streamed, plays through the mixer to finite output in [-1, 1] with loops, jumps and rate changes.
#include "platform/audio/AudioSystem.h"
#include "platform/audio/WavReader.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace
{

Audio::System& mixer()
{
    static std::unique_ptr<Audio::System> system = []
    {
        Audio::SystemOptions options;
        options.output = Audio::OutputType::Manual;
        std::unique_ptr<Audio::System> made;
        Audio::System::Create(options, made);
        made->Init(4);
        return made;
    }();
    return *system;
}

void check(const float* samples, size_t count, float bound)
{
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i]) || std::fabs(samples[i]) > bound)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Audio::WavFormat format;
    if (Audio::ReadWavFormat(data, size, format))
    {
        if (format.dataOffset > size || format.frames * format.blockAlign > size - format.dataOffset)
            std::abort();
        std::vector<float> out(size_t(1024) * format.channels);
        for (uint64_t at = 0; at < format.frames; at += 1024)
        {
            const uint32_t count = uint32_t(std::min<uint64_t>(1024, format.frames - at));
            Audio::ConvertWavFrames(data, format, at, count, out.data());
            check(out.data(), size_t(count) * format.channels, 1.0f);
        }
    }
    for (uint32_t mode : {uint32_t(Audio::ModeLoopNormal), uint32_t(Audio::ModeLoopNormal | Audio::ModeCreateStream)})
    {
        std::unique_ptr<Audio::Sound> sound;
        if (mixer().CreateSound(data, size, mode, nullptr, sound) != Audio::Result::Ok)
            continue;
        Audio::Channel channel;
        if (mixer().PlaySound(sound.get(), false, channel) != Audio::Result::Ok)
            std::abort();
        const uint32_t length = sound->GetLengthMs();
        channel.SetLoopCount(2);
        channel.SetLoopPoints(length / 4, length / 2 + 1);
        std::vector<float> mixed(2 * 4096);
        mixer().ReadMixed(mixed.data(), 4096);
        check(mixed.data(), mixed.size(), 1.0f);
        channel.SetFrequency(float(size % 96000 + 100));
        channel.SetPosition(length / 3);
        mixer().ReadMixed(mixed.data(), 4096);
        check(mixed.data(), mixed.size(), 1.0f);
        mixer().Update();
    }
    return 0;
}
