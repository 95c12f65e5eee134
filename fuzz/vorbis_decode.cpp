// Fuzz target: any bytes decoded as Ogg Vorbis from memory. Opening must refuse them or describe one
// or two channels; decoding, seeking and decoding again must stay inside the bytes and give finite
// samples; a streamed sound of them plays through the mixer to finite output in [-1, 1].
#include "platform/audio/AudioSystem.h"
#include "platform/audio/StreamDecoder.h"

#include <cmath>
#include <limits>
#include <cstdlib>
#include <vector>

namespace
{

// Bounds the work an input can ask for: a small file may claim a very long sound.
constexpr uint32_t kMostFrames = 1 << 18;

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

uint32_t readSome(Audio::StreamDecoder& decoder, uint32_t most)
{
    const uint32_t channels = decoder.Info().channels;
    std::vector<float> out(size_t(4096) * channels);
    uint32_t total = 0;
    while (total < most)
    {
        const uint32_t got = decoder.Read(out.data(), 4096);
        if (got == 0)
            break;
        if (got > 4096)
            std::abort();
        check(out.data(), size_t(got) * channels, std::numeric_limits<float>::max());
        total += got;
    }
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::unique_ptr<Audio::StreamDecoder> decoder = Audio::OpenVorbisDecoder(data, size);
    if (!decoder)
        return 0;
    const Audio::StreamInfo info = decoder->Info();
    if (info.channels < 1 || info.channels > 2 || info.rate == 0 || info.frames == 0)
        std::abort();
    readSome(*decoder, kMostFrames);
    if (decoder->Seek(info.frames / 2))
        readSome(*decoder, kMostFrames / 4);
    if (decoder->Seek(0))
        readSome(*decoder, 4096);

    std::unique_ptr<Audio::Sound> sound;
    if (mixer().CreateSound(data, size, Audio::ModeLoopNormal | Audio::ModeCreateStream, nullptr, sound) !=
        Audio::Result::Ok)
        return 0;
    Audio::Channel channel;
    if (mixer().PlaySound(sound.get(), false, channel) != Audio::Result::Ok)
        return 0;
    channel.SetLoopCount(1);
    std::vector<float> mixed(2 * 8192);
    mixer().ReadMixed(mixed.data(), 8192);
    check(mixed.data(), mixed.size(), 1.0f);
    channel.SetPosition(sound->GetLengthMs() / 2);
    mixer().ReadMixed(mixed.data(), 8192);
    check(mixed.data(), mixed.size(), 1.0f);
    mixer().Update();
    return 0;
}
