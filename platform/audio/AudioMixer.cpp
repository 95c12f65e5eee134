// Mixer; see AudioMixer.h.
#include "platform/audio/AudioMixer.h"

#include <algorithm>
#include <cmath>

namespace Audio
{

namespace
{

constexpr uint64_t kMask = StreamFeed::kCapacity - 1;
// Frames decoded per hold of the lock, so the output's callback never waits long.
constexpr uint32_t kFillChunk = 2048;
constexpr float kFractionScale = 1.0f / 4294967296.0f;

// Moves a voice on by whole source frames, through its loop while loops are left; past the end
// the voice has ended.
void moveOn(Voice& voice, uint64_t frames)
{
    const SoundData& sound = *voice.sound;
    const uint64_t before = voice.frame;
    voice.frame += frames;
    if (sound.loop && voice.loopsLeft != 0 && before < voice.loopEnd && voice.frame >= voice.loopEnd)
    {
        const uint64_t span = voice.loopEnd - voice.loopStart;
        const uint64_t wraps = (voice.frame - voice.loopEnd) / span + 1;
        if (voice.loopsLeft > 0 && wraps > uint64_t(voice.loopsLeft))
        {
            // The last pass runs on past the loop's end.
            voice.frame -= uint64_t(voice.loopsLeft) * span;
            voice.loopsLeft = 0;
        }
        else
        {
            voice.frame -= wraps * span;
            if (voice.loopsLeft > 0)
                voice.loopsLeft -= int32_t(wraps);
        }
    }
    if (voice.frame >= sound.frames)
    {
        voice.frame = sound.frames;
        voice.state = Voice::Ended;
    }
}

uint64_t available(const StreamFeed& feed)
{
    return feed.writeCount > feed.readCount ? feed.writeCount - feed.readCount : 0;
}

// One voice into the mix. Whole sounds read their frames by position (the frame after a loop's last
// one is its first); streamed ones read their feed, which holds the frames in playing order.
template <uint32_t Channels, bool Fed>
void mixVoice(Voice& voice, float* out, uint32_t frames, float left, float right)
{
    const SoundData& sound = *voice.sound;
    const float* samples = sound.samples.data();
    StreamFeed* feed = voice.feed.get();
    const bool audible = left != 0.0f || right != 0.0f;
    const uint64_t stepFraction = voice.step & 0xFFFFFFFFu;
    const uint64_t stepWhole = voice.step >> 32;
    for (uint32_t i = 0; i < frames; ++i)
    {
        float a0, a1 = 0.0f, b0 = 0.0f, b1 = 0.0f;
        if constexpr (Fed)
        {
            const uint64_t ready = available(*feed);
            if (ready < 2 && (!feed->finished || feed->needsSync))
                return; // the feeder is behind: hold the position until it catches up
            if (ready == 0)
            {
                voice.state = Voice::Ended;
                return;
            }
            const float* a = &feed->ring[(feed->readCount & kMask) * Channels];
            a0 = a[0];
            if constexpr (Channels == 2)
                a1 = a[1];
            if (ready >= 2)
            {
                const float* b = &feed->ring[((feed->readCount + 1) & kMask) * Channels];
                b0 = b[0];
                if constexpr (Channels == 2)
                    b1 = b[1];
            }
        }
        else
        {
            uint64_t next = voice.frame + 1;
            if (next == voice.loopEnd && sound.loop && voice.loopsLeft != 0)
                next = voice.loopStart;
            const float* a = samples + voice.frame * Channels;
            const float* b = samples + next * Channels;
            a0 = a[0];
            b0 = b[0];
            if constexpr (Channels == 2)
            {
                a1 = a[1];
                b1 = b[1];
            }
        }
        if (audible)
        {
            const float t = float(voice.fraction) * kFractionScale;
            const float l = a0 + (b0 - a0) * t;
            const float r = Channels == 2 ? a1 + (b1 - a1) * t : l;
            out[2 * i] += l * left;
            out[2 * i + 1] += r * right;
        }
        const uint64_t sum = uint64_t(voice.fraction) + stepFraction;
        const uint64_t whole = stepWhole + (sum >> 32);
        voice.fraction = uint32_t(sum);
        if (whole != 0)
        {
            if constexpr (Fed)
                feed->readCount += whole;
            moveOn(voice, whole);
            if (voice.state != Voice::Active)
                return;
        }
    }
}

} // namespace

uint64_t FramesFromMs(uint64_t ms, uint32_t rate)
{
    return (ms * rate + 999) / 1000;
}

uint32_t MsFromFrames(uint64_t frames, uint32_t rate)
{
    if (rate == 0)
        return 0;
    const uint64_t ms = frames * 1000 / rate;
    return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(ms);
}

void Mixer::Mix(float* out, uint32_t frames)
{
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    if (!open)
        return;
    for (Voice& voice : voices)
    {
        if (voice.state != Voice::Active || voice.paused)
            continue;
        float volume = voice.muted ? 0.0f : voice.volume * masterVolume;
        if (voice.group != nullptr)
            volume *= voice.group->volume;
        const float left = volume * (voice.pan > 0.0f ? 1.0f - voice.pan : 1.0f);
        const float right = volume * (voice.pan < 0.0f ? 1.0f + voice.pan : 1.0f);
        const bool stereo = voice.sound->channels == 2;
        if (voice.feed)
        {
            if (stereo)
                mixVoice<2, true>(voice, out, frames, left, right);
            else
                mixVoice<1, true>(voice, out, frames, left, right);
        }
        else if (voice.sound->stream)
        {
            // A stream without a decoder (the no-sound output made it) cannot sound.
            continue;
        }
        else if (stereo)
            mixVoice<2, false>(voice, out, frames, left, right);
        else
            mixVoice<1, false>(voice, out, frames, left, right);
    }
    // NaN never reaches the device: it reads as silence (std::clamp would pass it on).
    for (size_t i = 0, n = size_t(frames) * 2; i < n; ++i)
        out[i] = out[i] == out[i] ? std::clamp(out[i], -1.0f, 1.0f) : 0.0f;
}

void Mixer::Advance(uint64_t frames)
{
    if (!open || frames == 0)
        return;
    for (Voice& voice : voices)
    {
        if (voice.state != Voice::Active || voice.paused)
            continue;
        const unsigned __int128 total = (unsigned __int128)frames * voice.step + voice.fraction;
        voice.fraction = uint32_t(total);
        const unsigned __int128 whole = total >> 32;
        const uint64_t move = whole > (unsigned __int128)(UINT64_MAX >> 2) ? (UINT64_MAX >> 2) : uint64_t(whole);
        if (voice.feed)
            voice.feed->needsSync = true;
        moveOn(voice, move);
    }
}

void Mixer::ReclaimEnded()
{
    for (Voice& voice : voices)
        if (voice.state == Voice::Ended)
            Free(voice);
}

Voice* Mixer::Find(uint32_t index, uint32_t generation, Result& result)
{
    if (!open)
    {
        result = Result::InvalidHandle;
        return nullptr;
    }
    if (index < voices.size())
    {
        Voice& voice = voices[index];
        if (voice.generation == generation && voice.state != Voice::Free)
        {
            result = Result::Ok;
            return &voice;
        }
        if (generation != 0 && voice.stolenGeneration == generation)
        {
            result = Result::ChannelStolen;
            return nullptr;
        }
    }
    result = Result::InvalidHandle;
    return nullptr;
}

void Mixer::Free(Voice& voice)
{
    voice.state = Voice::Free;
    if (++voice.generation == 0)
        voice.generation = 1;
    voice.feed.reset();
    voice.sound = nullptr;
    voice.group = nullptr;
    voice.paused = false;
}

Voice* Mixer::Allocate(int32_t priority)
{
    for (Voice& voice : voices)
        if (voice.state == Voice::Free)
            return &voice;
    for (Voice& voice : voices)
        if (voice.state == Voice::Ended)
        {
            Free(voice);
            return &voice;
        }
    // The least important sound that has played longest gives way, if it matters no more than the
    // new one (a larger number is less important).
    Voice* victim = nullptr;
    for (Voice& voice : voices)
        if (victim == nullptr || voice.priority > victim->priority ||
            (voice.priority == victim->priority && voice.serial < victim->serial))
            victim = &voice;
    if (victim == nullptr || victim->priority < priority)
        return nullptr;
    const uint32_t stolen = victim->generation;
    Free(*victim);
    victim->stolenGeneration = stolen;
    return victim;
}

std::unique_ptr<StreamFeed> Mixer::MakeFeed(const SoundData& sound)
{
    auto feed = std::make_unique<StreamFeed>();
    if (sound.type == SoundType::Wav)
        feed->decoder = OpenWavDecoder(sound.data, sound.wav);
    else
        feed->decoder = OpenVorbisDecoder(sound.data, sound.size);
    if (!feed->decoder || feed->decoder->Info().channels != sound.channels)
        return nullptr;
    feed->ring.assign(size_t(StreamFeed::kCapacity) * sound.channels, 0.0f);
    return feed;
}

void Mixer::Start(Voice& voice, const SoundData& sound, bool paused, int32_t priority,
                  std::unique_ptr<StreamFeed> feed)
{
    voice.state = Voice::Active;
    voice.paused = paused;
    voice.muted = false;
    voice.volume = 1.0f;
    voice.pan = 0.0f;
    voice.frequency = float(sound.rate);
    voice.step = StepFor(voice.frequency);
    voice.priority = priority;
    voice.serial = nextSerial++;
    voice.group = nullptr;
    voice.sound = &sound;
    voice.frame = 0;
    voice.fraction = 0;
    voice.loopStart = 0;
    voice.loopEnd = sound.frames;
    voice.loopsLeft = sound.loop ? -1 : 0;
    voice.feed = std::move(feed);
    if (voice.feed)
        Resync(voice, !paused);
}

uint64_t Mixer::StepFor(float frequency) const
{
    return uint64_t(std::llround(double(frequency) / double(rate) * 4294967296.0));
}

void Mixer::Resync(Voice& voice, bool fillNow)
{
    if (!voice.feed)
        return;
    voice.feed->needsSync = true;
    if (fillNow && voice.state == Voice::Active)
        fill(voice, kFillChunk);
}

void Mixer::fill(Voice& voice, uint32_t most)
{
    StreamFeed& feed = *voice.feed;
    const SoundData& sound = *voice.sound;
    const uint32_t channels = sound.channels;
    if (feed.needsSync)
    {
        feed.needsSync = false;
        feed.readCount = 0;
        feed.writeCount = 0;
        feed.decodeFrame = voice.frame;
        feed.decodeLoopsLeft = voice.loopsLeft;
        feed.finished = voice.frame >= sound.frames || !feed.decoder->Seek(voice.frame);
    }
    uint32_t produced = 0;
    while (!feed.finished && produced < most)
    {
        const uint64_t room = feed.readCount + StreamFeed::kCapacity - feed.writeCount;
        const uint64_t at = feed.writeCount & kMask;
        const bool inLoop = sound.loop && feed.decodeLoopsLeft != 0 && feed.decodeFrame < voice.loopEnd;
        const uint64_t stop = inLoop ? voice.loopEnd : sound.frames;
        const uint64_t wanted =
            std::min({room, StreamFeed::kCapacity - at, uint64_t(most - produced), stop - feed.decodeFrame});
        if (wanted == 0 && room == 0)
            break;
        uint32_t got = 0;
        if (wanted > 0)
        {
            got = feed.decoder->Read(&feed.ring[at * channels], uint32_t(wanted));
            feed.writeCount += got;
            feed.decodeFrame += got;
            produced += got;
            if (got < wanted)
            {
                // Broken or shorter than it said: what came is all that plays.
                feed.finished = true;
                break;
            }
        }
        if (feed.decodeFrame >= stop)
        {
            if (inLoop)
            {
                if (feed.decodeLoopsLeft > 0)
                    --feed.decodeLoopsLeft;
                feed.decodeFrame = voice.loopStart;
                if (!feed.decoder->Seek(voice.loopStart))
                    feed.finished = true;
            }
            else
                feed.finished = true;
        }
    }
}

void Mixer::FillStreams()
{
    for (size_t i = 0;; ++i)
    {
        for (;;)
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!open || i >= voices.size())
                return;
            Voice& voice = voices[i];
            if (voice.state != Voice::Active || !voice.feed)
                break;
            const uint64_t before = voice.feed->writeCount;
            const bool wasSync = voice.feed->needsSync;
            fill(voice, kFillChunk);
            if (voice.feed->finished || (!wasSync && voice.feed->writeCount == before))
                break;
            if (available(*voice.feed) >= StreamFeed::kCapacity)
                break;
        }
    }
}

} // namespace Audio
