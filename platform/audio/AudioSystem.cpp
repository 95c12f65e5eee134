// Audio system, sounds and channel groups; see AudioSystem.h.
#include "platform/audio/AudioSystem.h"

#include "platform/audio/AudioMixer.h"
#include "platform/audio/AudioOutput.h"
#include "platform/audio/StreamDecoder.h"
#include "platform/audio/WavReader.h"

#include <algorithm>
#include <cmath>

namespace Audio
{

namespace
{

// Longest sound decoded whole (about 11 minutes at 48 kHz); longer ones are meant to be streamed,
// and a small damaged file must not make the decoder fill the memory.
constexpr uint64_t kMaxDecodedFrames = uint64_t(1) << 25;
// Frames mixed per step of a manual read, well inside what a feed holds.
constexpr uint32_t kManualChunk = StreamFeed::kCapacity / 4;

Result readWav(const uint8_t* data, size_t size, SoundData& sound)
{
    if (!ReadWavFormat(data, size, sound.wav) || sound.wav.frames == 0)
        return Result::Format;
    sound.type = SoundType::Wav;
    sound.channels = sound.wav.channels;
    sound.rate = sound.wav.rate;
    sound.frames = sound.wav.frames;
    if (sound.stream)
        return Result::Ok;
    if (sound.frames > kMaxDecodedFrames)
        return Result::Format;
    sound.samples.assign(size_t(sound.frames + 1) * sound.channels, 0.0f);
    ConvertWavFrames(data, sound.wav, 0, uint32_t(sound.frames), sound.samples.data());
    return Result::Ok;
}

Result readVorbis(const uint8_t* data, size_t size, SoundData& sound)
{
    std::unique_ptr<StreamDecoder> decoder = OpenVorbisDecoder(data, size);
    if (!decoder)
        return Result::Format;
    const StreamInfo& info = decoder->Info();
    sound.type = SoundType::OggVorbis;
    sound.channels = info.channels;
    sound.rate = info.rate;
    sound.frames = info.frames;
    if (sound.stream)
        return Result::Ok;
    const uint64_t expected = std::min(info.frames, kMaxDecodedFrames);
    sound.samples.reserve(size_t(expected + 1) * info.channels);
    std::vector<float> chunk(size_t(4096) * info.channels);
    uint64_t decoded = 0;
    for (;;)
    {
        const uint32_t got = decoder->Read(chunk.data(), 4096);
        if (got == 0)
            break;
        decoded += got;
        if (decoded > kMaxDecodedFrames)
            return Result::Format;
        sound.samples.insert(sound.samples.end(), chunk.begin(), chunk.begin() + size_t(got) * info.channels);
    }
    if (decoded == 0)
        return Result::Format;
    // What decodes is what plays, whatever length the file claimed.
    sound.frames = decoded;
    sound.samples.resize(size_t(decoded + 1) * info.channels, 0.0f);
    return Result::Ok;
}

} // namespace

const char* ResultName(Result result)
{
    switch (result)
    {
    case Result::Ok:
        return "Ok";
    case Result::InvalidHandle:
        return "InvalidHandle";
    case Result::ChannelStolen:
        return "ChannelStolen";
    case Result::InvalidParam:
        return "InvalidParam";
    case Result::InvalidPosition:
        return "InvalidPosition";
    case Result::Format:
        return "Format";
    case Result::NoChannel:
        return "NoChannel";
    case Result::Output:
        return "Output";
    case Result::Uninitialized:
        return "Uninitialized";
    }
    return "?";
}

// --- Sound --------------------------------------------------------------------------------------

Sound::Sound(std::shared_ptr<Mixer> mixer, std::unique_ptr<SoundData> data)
    : mixer(std::move(mixer)), data(std::move(data))
{
}

Sound::~Sound()
{
    std::lock_guard<std::mutex> guard(mixer->lock);
    for (Voice& voice : mixer->voices)
        if (voice.state != Voice::Free && voice.sound == data.get())
            mixer->Free(voice);
}

SoundType Sound::GetType() const
{
    return data->type;
}

uint32_t Sound::GetChannels() const
{
    return data->channels;
}

uint32_t Sound::GetRate() const
{
    return data->rate;
}

uint64_t Sound::GetFrames() const
{
    return data->frames;
}

uint32_t Sound::GetLengthMs() const
{
    return MsFromFrames(data->frames, data->rate);
}

bool Sound::IsStream() const
{
    return data->stream;
}

// --- ChannelGroup -------------------------------------------------------------------------------

ChannelGroup::ChannelGroup(std::shared_ptr<Mixer> mixer, const std::string& name, bool master)
    : mixer(std::move(mixer)), name(name), master(master)
{
    if (!master)
        state = std::make_unique<GroupState>();
}

ChannelGroup::~ChannelGroup()
{
    if (master)
        return;
    std::lock_guard<std::mutex> guard(mixer->lock);
    for (Voice& voice : mixer->voices)
        if (voice.group == state.get())
            voice.group = nullptr;
}

Result ChannelGroup::SetVolume(float volume)
{
    if (std::isnan(volume))
        return Result::InvalidParam;
    volume = std::clamp(volume, 0.0f, 1.0f);
    std::lock_guard<std::mutex> guard(mixer->lock);
    if (master)
        mixer->masterVolume = volume;
    else
        state->volume = volume;
    return Result::Ok;
}

Result ChannelGroup::GetVolume(float& volume) const
{
    std::lock_guard<std::mutex> guard(mixer->lock);
    volume = master ? mixer->masterVolume : state->volume;
    return Result::Ok;
}

// --- System -------------------------------------------------------------------------------------

System::System(const SystemOptions& options)
    : options(options), output(options.output), mixer(std::make_shared<Mixer>())
{
    master.reset(new ChannelGroup(mixer, "master", true));
}

Result System::Create(const SystemOptions& options, std::unique_ptr<System>& out)
{
    out.reset(new System(options));
    return Result::Ok;
}

System::~System()
{
    // Without the lock: the device waits for its callback, which may be waiting for the lock.
    if (device)
        device->Close();
    std::lock_guard<std::mutex> guard(mixer->lock);
    mixer->open = false;
    for (Voice& voice : mixer->voices)
        if (voice.state != Voice::Free)
            mixer->Free(voice);
    mixer->voices.clear();
}

Result System::SetOutput(OutputType type)
{
    if (device)
        return Result::InvalidParam;
    output = type;
    return Result::Ok;
}

Result System::Init(int32_t maxChannels)
{
    if (device)
        return Result::InvalidParam;
    if (maxChannels < 0 || maxChannels > kMaxChannels)
        return Result::InvalidParam;
    outputFailure.clear();
    std::unique_ptr<AudioOutput> opened = CreateAudioOutput(output, options);
    if (!opened || !opened->Open(*mixer))
    {
        outputFailure = opened ? opened->Failure() : std::string();
        return Result::Output;
    }
    device = std::move(opened);
    std::lock_guard<std::mutex> guard(mixer->lock);
    mixer->voices.resize(size_t(maxChannels));
    mixer->decodes = device->Decodes();
    mixer->open = true;
    return Result::Ok;
}

Result System::Update()
{
    if (!device)
        return Result::Uninitialized;
    std::lock_guard<std::mutex> guard(mixer->lock);
    // Channels that ended since the last update go first, so one that ends now still answers "not
    // playing" until the next.
    mixer->ReclaimEnded();
    mixer->Advance(device->TakeUnmixedFrames());
    return Result::Ok;
}

Result System::CreateSound(const uint8_t* data, size_t size, uint32_t mode, const CreateSoundInfo* info,
                           std::unique_ptr<Sound>& out)
{
    out.reset();
    if (!device)
        return Result::Uninitialized;
    if (data == nullptr || size == 0)
        return Result::InvalidParam;
    auto sound = std::make_unique<SoundData>();
    sound->loop = (mode & ModeLoopNormal) != 0;
    sound->stream = (mode & ModeCreateStream) != 0;
    sound->data = data;
    sound->size = size;
    // The data decides; the hint only picks which reader looks first.
    const bool oggFirst = info != nullptr && info->suggestedType == SoundType::OggVorbis;
    Result result = Result::Format;
    if (oggFirst && LooksLikeOgg(data, size))
        result = readVorbis(data, size, *sound);
    else if (LooksLikeWav(data, size))
        result = readWav(data, size, *sound);
    else if (LooksLikeOgg(data, size))
        result = readVorbis(data, size, *sound);
    if (result != Result::Ok)
        return result;
    if (!sound->stream)
    {
        // Decoded whole: the caller's memory is not needed any more.
        sound->data = nullptr;
        sound->size = 0;
    }
    out.reset(new Sound(mixer, std::move(sound)));
    return Result::Ok;
}

Result System::CreateChannelGroup(const std::string& name, std::unique_ptr<ChannelGroup>& out)
{
    out.reset();
    if (!device)
        return Result::Uninitialized;
    out.reset(new ChannelGroup(mixer, name, false));
    return Result::Ok;
}

Result System::PlaySound(Sound* sound, bool paused, Channel& out, int32_t priority)
{
    out.Clear();
    if (!device)
        return Result::Uninitialized;
    if (sound == nullptr || sound->mixer != mixer || priority < 0 || priority > 256)
        return Result::InvalidParam;
    // The decoder is made before the lock is taken: opening a stream parses its headers.
    std::unique_ptr<StreamFeed> feed;
    if (sound->data->stream && mixer->decodes)
    {
        feed = Mixer::MakeFeed(*sound->data);
        if (!feed)
            return Result::Format;
    }
    std::lock_guard<std::mutex> guard(mixer->lock);
    Voice* voice = mixer->Allocate(priority);
    if (voice == nullptr)
        return Result::NoChannel;
    mixer->Start(*voice, *sound->data, paused, priority, std::move(feed));
    out = Channel(mixer, uint32_t(voice - mixer->voices.data()), voice->generation);
    return Result::Ok;
}

bool System::Owns(const Sound* sound) const
{
    return sound != nullptr && sound->mixer == mixer;
}

Result System::ReadMixed(float* out, uint32_t frames)
{
    if (!device)
        return Result::Uninitialized;
    if (output != OutputType::Manual || out == nullptr)
        return Result::InvalidParam;
    for (uint32_t done = 0; done < frames;)
    {
        const uint32_t chunk = std::min(kManualChunk, frames - done);
        mixer->FillStreams();
        std::lock_guard<std::mutex> guard(mixer->lock);
        mixer->Mix(out + size_t(done) * 2, chunk);
        done += chunk;
    }
    return Result::Ok;
}

uint32_t System::GetRate() const
{
    std::lock_guard<std::mutex> guard(mixer->lock);
    return mixer->rate;
}

int32_t System::GetChannelsPlaying() const
{
    std::lock_guard<std::mutex> guard(mixer->lock);
    int32_t count = 0;
    for (const Voice& voice : mixer->voices)
        if (voice.state == Voice::Active)
            ++count;
    return count;
}

} // namespace Audio
