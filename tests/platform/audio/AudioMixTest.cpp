// The audio system through its manual output: what a channel sounds like (volumes, pan, pause, mute,
// loops, loop points, frequency, positions) read back to the sample, channel handles (ends, steals,
// stops), streams against whole sounds, the no-sound output's clock, and releasing things in any
// order. Sounds hold ramps whose values name their frames, so the output says which frame played.
#include "platform/audio/AudioSystem.h"
#include "platform/system/Clock.h"
#include "tests/common/SoundFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <limits>

using namespace Audio;
using SoundFiles::Bytes;
using SoundFiles::WavSpec;

namespace
{

constexpr uint32_t kRate = 8000; // 8 frames a millisecond
const WavSpec kFloatMono{SoundFiles::kFloat, 32, 1, kRate, false};
const WavSpec kFloatStereo{SoundFiles::kFloat, 32, 2, kRate, false};

// The frame a ramp value names; -1 for silence.
int frameOf(float value)
{
    return value == 0.0f ? -1 : int(std::lround(double(value) * 4096.0)) - 1;
}

class AudioMix : public ::testing::Test
{
protected:
    void SetUp() override { system = makeSystem(kRate, 8); }

    static std::unique_ptr<System> makeSystem(uint32_t rate, int32_t channels)
    {
        SystemOptions options;
        options.output = OutputType::Manual;
        options.rate = rate;
        std::unique_ptr<System> made;
        EXPECT_EQ(System::Create(options, made), Result::Ok);
        EXPECT_EQ(made->Init(channels), Result::Ok);
        return made;
    }

    std::unique_ptr<Sound> sound(const Bytes& file, uint32_t mode = ModeLoopNormal, System* on = nullptr)
    {
        files.push_back(file);
        std::unique_ptr<Sound> made;
        EXPECT_EQ((on ? on : system.get())->CreateSound(files.back().data(), files.back().size(), mode, nullptr, made),
                  Result::Ok);
        return made;
    }
    std::unique_ptr<Sound> ramp(uint32_t frames, uint32_t channels = 1)
    {
        return sound(SoundFiles::MakeWav(channels == 1 ? kFloatMono : kFloatStereo, SoundFiles::Ramp(frames, channels)));
    }

    Channel play(Sound* s, int32_t loops = 0)
    {
        Channel channel;
        EXPECT_EQ(system->PlaySound(s, true, channel), Result::Ok);
        EXPECT_EQ(channel.SetLoopCount(loops), Result::Ok);
        EXPECT_EQ(channel.SetPaused(false), Result::Ok);
        return channel;
    }

    std::vector<float> mix(uint32_t frames, System* on = nullptr)
    {
        std::vector<float> out(size_t(frames) * 2, 99.0f);
        EXPECT_EQ((on ? on : system.get())->ReadMixed(out.data(), frames), Result::Ok);
        return out;
    }
    // The frames that played, read from the left side.
    std::vector<int> frames(uint32_t count)
    {
        const std::vector<float> out = mix(count);
        std::vector<int> played(count);
        for (uint32_t i = 0; i < count; ++i)
            played[i] = frameOf(out[2 * i]);
        return played;
    }

    std::deque<Bytes> files; // streamed sounds read these while they play
    std::unique_ptr<System> system;
};

std::vector<int> sequence(std::initializer_list<std::pair<int, int>> runs, size_t total)
{
    std::vector<int> out;
    for (const auto& [from, to] : runs)
        for (int i = from; i < to; ++i)
            out.push_back(i);
    out.resize(total, -1);
    return out;
}

} // namespace

TEST_F(AudioMix, ChannelGroupAndMasterVolumesMultiply)
{
    std::unique_ptr<Sound> ones = sound(SoundFiles::MakeWav(kFloatMono, std::vector<float>(400, 1.0f)));
    std::unique_ptr<ChannelGroup> group;
    ASSERT_EQ(system->CreateChannelGroup("effects", group), Result::Ok);
    Channel channel = play(ones.get());
    ASSERT_EQ(channel.SetChannelGroup(group.get()), Result::Ok);
    ASSERT_EQ(channel.SetVolume(0.5f), Result::Ok);
    ASSERT_EQ(group->SetVolume(0.5f), Result::Ok);
    for (float v : mix(50))
        ASSERT_EQ(v, 0.25f);
    ASSERT_EQ(system->GetMasterChannelGroup()->SetVolume(0.5f), Result::Ok);
    for (float v : mix(50))
        ASSERT_EQ(v, 0.125f);
    // A released group hands its channels to the master group.
    group.reset();
    for (float v : mix(50))
        ASSERT_EQ(v, 0.25f);
}

TEST_F(AudioMix, PanLaw)
{
    // Balance: full on both sides at the centre, the far side falling linearly to silence.
    const struct
    {
        float pan, left, right;
    } cases[] = {{-1.0f, 1.0f, 0.0f}, {-0.5f, 1.0f, 0.5f}, {0.0f, 1.0f, 1.0f},
                 {0.25f, 0.75f, 1.0f}, {1.0f, 0.0f, 1.0f}, {7.0f, 0.0f, 1.0f}};
    std::unique_ptr<Sound> mono = sound(SoundFiles::MakeWav(kFloatMono, std::vector<float>(100, 0.5f)));
    std::vector<float> sides;
    for (int i = 0; i < 100; ++i)
        sides.insert(sides.end(), {0.5f, -0.25f});
    std::unique_ptr<Sound> stereo = sound(SoundFiles::MakeWav(kFloatStereo, sides));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pan);
        Channel m = play(mono.get());
        ASSERT_EQ(m.SetPan(c.pan), Result::Ok);
        std::vector<float> out = mix(4);
        EXPECT_EQ(out[0], 0.5f * c.left);
        EXPECT_EQ(out[1], 0.5f * c.right);
        m.Stop();
        Channel s = play(stereo.get());
        ASSERT_EQ(s.SetPan(c.pan), Result::Ok);
        out = mix(4);
        EXPECT_EQ(out[0], 0.5f * c.left);
        EXPECT_EQ(out[1], -0.25f * c.right);
        s.Stop();
    }
}

TEST_F(AudioMix, PausedChannelsHoldTheirPlaceAndMutedOnesMoveOn)
{
    std::unique_ptr<Sound> r = ramp(100);
    Channel channel;
    // Channels start paused: nothing sounds until they are resumed.
    ASSERT_EQ(system->PlaySound(r.get(), true, channel), Result::Ok);
    bool paused = false;
    ASSERT_EQ(channel.GetPaused(paused), Result::Ok);
    EXPECT_TRUE(paused);
    EXPECT_EQ(frames(3), sequence({}, 3));
    channel.SetPaused(false);
    EXPECT_EQ(frames(10), sequence({{0, 10}}, 10));
    channel.SetPaused(true);
    EXPECT_EQ(frames(5), sequence({}, 5));
    channel.SetPaused(false);
    EXPECT_EQ(frames(1), sequence({{10, 11}}, 1));
    channel.SetMute(true);
    EXPECT_EQ(frames(5), sequence({}, 5));
    channel.SetMute(false);
    EXPECT_EQ(frames(2), sequence({{16, 18}}, 2));
    uint64_t frame = 0;
    ASSERT_EQ(channel.GetPositionFrames(frame), Result::Ok);
    EXPECT_EQ(frame, 18u);
}

TEST_F(AudioMix, LoopCountsAndLoopPoints)
{
    // A 40-frame ramp (5 ms); loop points in milliseconds, 8 frames each.
    const struct
    {
        const char* name;
        int32_t loops;
        uint32_t startMs, endMs; // 0, 0: the whole sound
        std::vector<int> expected;
    } cases[] = {
        {"once", 0, 0, 0, sequence({{0, 40}}, 130)},
        {"two more times", 2, 0, 0, sequence({{0, 40}, {0, 40}, {0, 40}}, 130)},
        {"one more pass of the middle", 1, 1, 3, sequence({{0, 24}, {8, 24}, {24, 40}}, 130)},
        {"loop points without loops", 0, 1, 3, sequence({{0, 40}}, 130)},
        {"for ever", -1, 2, 4,
         sequence({{0, 32}, {16, 32}, {16, 32}, {16, 32}, {16, 32}, {16, 32}, {16, 32}, {16, 18}}, 130)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Sound> r = ramp(40);
        Channel channel;
        ASSERT_EQ(system->PlaySound(r.get(), true, channel), Result::Ok);
        ASSERT_EQ(channel.SetLoopCount(c.loops), Result::Ok);
        if (c.endMs != 0)
        {
            ASSERT_EQ(channel.SetLoopPoints(c.startMs, c.endMs), Result::Ok);
        }
        channel.SetPaused(false);
        EXPECT_EQ(frames(130), c.expected);
        bool playing = false;
        if (c.loops == -1)
        {
            ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
            EXPECT_TRUE(playing);
            int32_t left = 0;
            channel.GetLoopCount(left);
            EXPECT_EQ(left, -1);
            continue;
        }
        // An ended channel says so until the next update, then its handle is gone.
        ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
        EXPECT_FALSE(playing);
        ASSERT_EQ(system->Update(), Result::Ok);
        EXPECT_EQ(channel.IsPlaying(playing), Result::InvalidHandle);
        EXPECT_EQ(channel.SetVolume(1.0f), Result::InvalidHandle);
    }
}

TEST_F(AudioMix, LoopCountCountsDown)
{
    std::unique_ptr<Sound> r = ramp(16);
    Channel channel = play(r.get(), 3);
    int32_t left = 0;
    mix(20);
    channel.GetLoopCount(left);
    EXPECT_EQ(left, 2);
    mix(32);
    channel.GetLoopCount(left);
    EXPECT_EQ(left, 0);
}

TEST_F(AudioMix, FrequencyIsThePlaybackRate)
{
    std::unique_ptr<Sound> r = ramp(64);
    // Twice the rate skips every other frame; half the rate interpolates between neighbours.
    Channel fast = play(r.get());
    fast.SetFrequency(16000.0f);
    std::vector<float> out = mix(8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(frameOf(out[2 * i]), 2 * i);
    fast.Stop();

    Channel slow = play(r.get());
    slow.SetFrequency(4000.0f);
    float frequency = 0.0f;
    slow.GetFrequency(frequency);
    EXPECT_EQ(frequency, 4000.0f);
    out = mix(8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[2 * i], float((i / 2 + 1) + (i % 2) * 0.5) / 4096.0f) << i;
    slow.Stop();

    // A sound recorded at twice the mixing rate plays at twice the step by default.
    std::unique_ptr<Sound> high =
        sound(SoundFiles::MakeWav({SoundFiles::kFloat, 32, 1, 2 * kRate, false}, SoundFiles::Ramp(64, 1)));
    play(high.get());
    out = mix(4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(frameOf(out[2 * i]), 2 * i);

    Channel again = play(r.get());
    for (float bad : {0.0f, -8000.0f, NAN, INFINITY})
        EXPECT_EQ(again.SetFrequency(bad), Result::InvalidParam);
}

TEST_F(AudioMix, AFloatFileOfExtremeSamplesMixesToFiniteOutput)
{
    // Finite samples at the float's limits, looped and resampled, as a fuzzed file had them: the
    // interpolation between them would overflow to an infinity, and an infinity times a zero
    // weight is NaN.
    const float big = std::numeric_limits<float>::max();
    std::vector<float> samples;
    for (int i = 0; i < 37; ++i)
        samples.push_back(i % 3 == 0 ? big : (i % 3 == 1 ? -big : big / 2));
    std::unique_ptr<Sound> extreme = sound(SoundFiles::MakeWav(kFloatMono, samples));
    for (const float frequency : {kRate * 0.37f, kRate * 1.0f, kRate * 2.9f})
    {
        Channel channel = play(extreme.get(), -1);
        channel.SetFrequency(frequency);
        const std::vector<float> out = mix(500);
        for (size_t i = 0; i < out.size(); ++i)
        {
            ASSERT_TRUE(std::isfinite(out[i])) << frequency << " at " << i;
            ASSERT_LE(std::fabs(out[i]), 1.0f);
        }
        EXPECT_GT(std::fabs(out[0]), 0.5f) << "the samples still sound, at full scale";
        channel.Stop();
    }
}

TEST_F(AudioMix, PositionsInMilliseconds)
{
    std::unique_ptr<Sound> r = ramp(40); // 5 ms
    Channel channel = play(r.get());
    ASSERT_EQ(channel.SetPosition(2), Result::Ok);
    EXPECT_EQ(frames(3), sequence({{16, 19}}, 3));
    mix(6); // frame 25: 3.125 ms
    uint32_t ms = 0;
    ASSERT_EQ(channel.GetPosition(ms), Result::Ok);
    EXPECT_EQ(ms, 3u);
    EXPECT_EQ(channel.SetPosition(5), Result::InvalidPosition); // the end itself
    EXPECT_EQ(channel.SetPosition(400), Result::InvalidPosition);
    EXPECT_EQ(channel.SetPositionFrames(40), Result::InvalidPosition);
    EXPECT_EQ(channel.SetLoopPoints(3, 2), Result::InvalidParam);
    EXPECT_EQ(channel.SetLoopPoints(2, 2), Result::InvalidParam);
    EXPECT_EQ(channel.SetLoopPoints(0, 6), Result::InvalidParam);
    ASSERT_EQ(channel.SetPosition(4), Result::Ok);
    EXPECT_EQ(frames(10), sequence({{32, 40}}, 10));

    // At rates that are no multiple of 1000, a millisecond goes to the first frame at or after it
    // and reads back the same.
    std::unique_ptr<Sound> odd = sound(SoundFiles::MakeWav({SoundFiles::kPcm, 16, 1, 11025, false},
                                                           std::vector<float>(22050, 0.1f)));
    Channel c = play(odd.get());
    c.SetPaused(true);
    for (uint32_t at : {1u, 7u, 999u, 1500u, 1999u})
    {
        ASSERT_EQ(c.SetPosition(at), Result::Ok);
        c.GetPosition(ms);
        EXPECT_EQ(ms, at);
        uint64_t frame = 0;
        c.GetPositionFrames(frame);
        EXPECT_EQ(frame, (uint64_t(at) * 11025 + 999) / 1000);
    }
}

TEST_F(AudioMix, SetterRanges)
{
    std::unique_ptr<Sound> r = ramp(40);
    Channel channel = play(r.get());
    float value = 0.0f;
    ASSERT_EQ(channel.SetVolume(0.3f), Result::Ok);
    EXPECT_EQ(channel.SetVolume(NAN), Result::InvalidParam);
    channel.GetVolume(value);
    EXPECT_EQ(value, 0.3f);
    channel.SetVolume(4.0f);
    channel.GetVolume(value);
    EXPECT_EQ(value, 1.0f);
    channel.SetVolume(-1.0f);
    channel.GetVolume(value);
    EXPECT_EQ(value, 0.0f);
    channel.SetPan(0.5f);
    EXPECT_EQ(channel.SetPan(NAN), Result::InvalidParam);
    channel.GetPan(value);
    EXPECT_EQ(value, 0.5f);
    channel.SetPan(-2.0f);
    channel.GetPan(value);
    EXPECT_EQ(value, -1.0f);
    EXPECT_EQ(channel.SetLoopCount(-2), Result::InvalidParam);
    EXPECT_EQ(channel.SetPriority(257), Result::InvalidParam);
    EXPECT_EQ(channel.SetPriority(-1), Result::InvalidParam);
    std::unique_ptr<ChannelGroup> group;
    system->CreateChannelGroup("g", group);
    group->SetVolume(0.4f);
    EXPECT_EQ(group->SetVolume(NAN), Result::InvalidParam);
    group->GetVolume(value);
    EXPECT_EQ(value, 0.4f);
    group->SetVolume(2.0f);
    group->GetVolume(value);
    EXPECT_EQ(value, 1.0f);
    // A channel of another system is not this one's business.
    std::unique_ptr<System> other = makeSystem(kRate, 2);
    std::unique_ptr<ChannelGroup> foreign;
    other->CreateChannelGroup("f", foreign);
    EXPECT_EQ(channel.SetChannelGroup(foreign.get()), Result::InvalidParam);
    EXPECT_EQ(other->PlaySound(r.get(), false, channel), Result::InvalidParam);
}

TEST_F(AudioMix, WithNoFreeChannelTheLeastImportantOldestGivesWay)
{
    // Two channels playing with these priorities (the first started first); a third sound asks.
    const struct
    {
        int32_t first, second, incoming;
        int stolen; // 0 or 1, -1 when the play fails
    } cases[] = {
        {128, 128, 128, 0}, {128, 128, 0, 0},    {100, 200, 150, 1}, {200, 100, 150, 0},
        {100, 100, 150, -1}, {256, 0, 256, 0},   {0, 0, 0, 0},       {50, 60, 61, -1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.first << " " << c.second << " <- " << c.incoming);
        std::unique_ptr<System> two = makeSystem(kRate, 2);
        std::unique_ptr<Sound> r = sound(SoundFiles::MakeWav(kFloatMono, SoundFiles::Ramp(100, 1)), ModeLoopNormal,
                                         two.get());
        Channel held[2];
        ASSERT_EQ(two->PlaySound(r.get(), false, held[0], c.first), Result::Ok);
        ASSERT_EQ(two->PlaySound(r.get(), false, held[1], c.second), Result::Ok);
        Channel incoming;
        const Result result = two->PlaySound(r.get(), false, incoming, c.incoming);
        bool playing = false;
        if (c.stolen < 0)
        {
            EXPECT_EQ(result, Result::NoChannel);
            EXPECT_FALSE(incoming.IsSet());
            EXPECT_EQ(held[0].IsPlaying(playing), Result::Ok);
            EXPECT_EQ(held[1].IsPlaying(playing), Result::Ok);
            continue;
        }
        ASSERT_EQ(result, Result::Ok);
        EXPECT_EQ(held[c.stolen].IsPlaying(playing), Result::ChannelStolen);
        EXPECT_EQ(held[c.stolen].SetVolume(0.1f), Result::ChannelStolen);
        EXPECT_EQ(held[1 - c.stolen].IsPlaying(playing), Result::Ok);
        EXPECT_EQ(incoming.IsPlaying(playing), Result::Ok);
        EXPECT_TRUE(playing);
    }
    // No channels at all: nothing plays.
    std::unique_ptr<System> none = makeSystem(kRate, 0);
    std::unique_ptr<Sound> r = sound(SoundFiles::MakeWav(kFloatMono, SoundFiles::Ramp(10, 1)), 0, none.get());
    Channel channel;
    EXPECT_EQ(none->PlaySound(r.get(), false, channel), Result::NoChannel);
}

TEST_F(AudioMix, StoppedAndReleasedChannelsGoAtOnce)
{
    std::unique_ptr<Sound> r = ramp(100);
    std::unique_ptr<Sound> other = ramp(100);
    Channel a = play(r.get());
    Channel b = play(r.get());
    Channel c = play(other.get());
    EXPECT_EQ(system->GetChannelsPlaying(), 3);
    ASSERT_EQ(a.Stop(), Result::Ok);
    bool playing = false;
    EXPECT_EQ(a.IsPlaying(playing), Result::InvalidHandle);
    EXPECT_EQ(a.Stop(), Result::InvalidHandle);
    // Releasing a sound stops what plays it and nothing else.
    r.reset();
    EXPECT_EQ(b.IsPlaying(playing), Result::InvalidHandle);
    EXPECT_EQ(c.IsPlaying(playing), Result::Ok);
    EXPECT_EQ(frames(2), sequence({{0, 2}}, 2));
    // A default handle is no channel.
    EXPECT_EQ(Channel().IsPlaying(playing), Result::InvalidHandle);
}

TEST(AudioSystem, AnythingMayBeReleasedAfterTheSystem)
{
    SystemOptions options;
    options.output = OutputType::Manual;
    std::unique_ptr<System> system;
    System::Create(options, system);
    ASSERT_EQ(system->Init(4), Result::Ok);
    const Bytes file = SoundFiles::MakeWav(kFloatMono, SoundFiles::Ramp(50, 1));
    const Bytes ogg = SoundFiles::EncodeVorbis(SoundFiles::Sine(4000, 8000, 300, 1, 0.5), 1, 8000);
    std::unique_ptr<Sound> sound, stream;
    ASSERT_EQ(system->CreateSound(file.data(), file.size(), 0, nullptr, sound), Result::Ok);
    ASSERT_EQ(system->CreateSound(ogg.data(), ogg.size(), ModeCreateStream, nullptr, stream), Result::Ok);
    std::unique_ptr<ChannelGroup> group;
    system->CreateChannelGroup("g", group);
    Channel channel, streaming;
    system->PlaySound(sound.get(), false, channel);
    system->PlaySound(stream.get(), false, streaming);
    channel.SetChannelGroup(group.get());
    system.reset();
    bool playing = true;
    EXPECT_EQ(channel.IsPlaying(playing), Result::InvalidHandle);
    EXPECT_EQ(streaming.SetPosition(10), Result::InvalidHandle);
    EXPECT_EQ(group->SetVolume(0.5f), Result::Ok);
    group.reset();
    sound.reset();
    stream.reset();
}

TEST(AudioSystem, CreateSoundRefusesWhatItCannotRead)
{
    SystemOptions options;
    options.output = OutputType::Manual;
    std::unique_ptr<System> system;
    System::Create(options, system);
    std::unique_ptr<Sound> sound;
    const Bytes wav = SoundFiles::MakeWav(kFloatMono, SoundFiles::Ramp(10, 1));
    EXPECT_EQ(system->CreateSound(wav.data(), wav.size(), 0, nullptr, sound), Result::Uninitialized);
    ASSERT_EQ(system->Init(4), Result::Ok);
    EXPECT_EQ(system->Init(4), Result::InvalidParam);
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'};
    EXPECT_EQ(system->CreateSound(text.data(), text.size(), 0, nullptr, sound), Result::Format);
    EXPECT_EQ(system->CreateSound(text.data(), 0, 0, nullptr, sound), Result::InvalidParam);
    const Bytes ogg = SoundFiles::EncodeVorbis(SoundFiles::Sine(4000, 8000, 300, 1, 0.5), 1, 8000);
    EXPECT_EQ(system->CreateSound(ogg.data(), 200, ModeCreateStream, nullptr, sound), Result::Format);
    // The hint does not overrule the data.
    CreateSoundInfo hint;
    hint.suggestedType = SoundType::OggVorbis;
    ASSERT_EQ(system->CreateSound(wav.data(), wav.size(), 0, &hint, sound), Result::Ok);
    EXPECT_EQ(sound->GetType(), SoundType::Wav);
    EXPECT_EQ(sound->GetLengthMs(), 1u);
    for (int32_t count : {-1, System::kMaxChannels + 1})
    {
        std::unique_ptr<System> other;
        System::Create(options, other);
        EXPECT_EQ(other->Init(count), Result::InvalidParam);
    }
}

TEST(AudioSystem, StreamsPlayExactlyLikeWholeSounds)
{
    // 1.5 s at 44100 Hz mixed at 48000 Hz, with loop points, a few loops, a rate change, a pause and
    // a jump; the streamed copy must give the same output as the copy decoded whole.
    const uint32_t rate = 44100;
    const std::vector<float> signal = SoundFiles::Sine(rate * 3 / 2, rate, 220.0, 2, 0.6);
    const struct
    {
        const char* name;
        Bytes file;
    } files[] = {
        {"vorbis", SoundFiles::EncodeVorbis(signal, 2, rate)},
        {"wav", SoundFiles::MakeWav({SoundFiles::kPcm, 16, 2, rate, false}, signal)},
    };
    for (const auto& f : files)
    {
        SCOPED_TRACE(f.name);
        std::vector<float> outputs[2];
        for (int streamed = 0; streamed < 2; ++streamed)
        {
            SystemOptions options;
            options.output = OutputType::Manual;
            std::unique_ptr<System> system;
            System::Create(options, system);
            ASSERT_EQ(system->Init(4), Result::Ok);
            std::unique_ptr<Sound> sound;
            ASSERT_EQ(system->CreateSound(f.file.data(), f.file.size(),
                                          ModeLoopNormal | (streamed ? uint32_t(ModeCreateStream) : 0u), nullptr, sound),
                      Result::Ok);
            EXPECT_EQ(sound->IsStream(), streamed == 1);
            Channel channel;
            ASSERT_EQ(system->PlaySound(sound.get(), true, channel), Result::Ok);
            channel.SetLoopCount(2);
            channel.SetLoopPoints(300, 1200);
            channel.SetPosition(100);
            channel.SetPaused(false);
            std::vector<float>& out = outputs[streamed];
            auto read = [&](uint32_t frames)
            {
                const size_t at = out.size();
                out.resize(at + size_t(frames) * 2);
                ASSERT_EQ(system->ReadMixed(out.data() + at, frames), Result::Ok);
            };
            read(30000);
            channel.SetFrequency(52000.0f);
            read(7777);
            channel.SetPaused(true);
            read(500);
            channel.SetPosition(1000);
            channel.SetPaused(false);
            read(60000);
            channel.SetLoopCount(0);
            read(96000);
            bool playing = true;
            ASSERT_EQ(channel.IsPlaying(playing), Result::Ok);
            EXPECT_FALSE(playing);
        }
        ASSERT_EQ(outputs[0].size(), outputs[1].size());
        size_t differing = 0;
        for (size_t i = 0; i < outputs[0].size(); ++i)
            differing += outputs[0][i] != outputs[1][i];
        EXPECT_EQ(differing, 0u);
        // And something played.
        float loudest = 0.0f;
        for (float v : outputs[0])
            loudest = std::max(loudest, std::fabs(v));
        EXPECT_GT(loudest, 0.5f);
    }
}

TEST(AudioSystem, NoSoundOutputMovesChannelsOnByTheClock)
{
    Platform::FakeCounter clock(1000);
    SystemOptions options;
    options.output = OutputType::Device;
    options.clock = &clock;
    options.rate = kRate;
    std::unique_ptr<System> system;
    System::Create(options, system);
    ASSERT_EQ(system->SetOutput(OutputType::NoSound), Result::Ok);
    ASSERT_EQ(system->Init(4), Result::Ok);
    EXPECT_EQ(system->SetOutput(OutputType::Manual), Result::InvalidParam);
    const Bytes wav = SoundFiles::MakeWav(kFloatMono, std::vector<float>(kRate, 0.5f)); // 1 s
    const Bytes ogg = SoundFiles::EncodeVorbis(SoundFiles::Sine(22050, 22050, 300, 1, 0.5), 1, 22050);
    std::unique_ptr<Sound> once, looped, stream;
    ASSERT_EQ(system->CreateSound(wav.data(), wav.size(), ModeLoopNormal, nullptr, once), Result::Ok);
    ASSERT_EQ(system->CreateSound(wav.data(), wav.size(), ModeLoopNormal, nullptr, looped), Result::Ok);
    ASSERT_EQ(system->CreateSound(ogg.data(), ogg.size(), ModeCreateStream, nullptr, stream), Result::Ok);
    Channel a, b, s;
    system->PlaySound(once.get(), false, a);
    a.SetLoopCount(0);
    system->PlaySound(looped.get(), false, b);
    system->PlaySound(stream.get(), false, s);
    s.SetLoopCount(0);

    clock.AdvanceMilliseconds(500);
    system->Update();
    uint32_t ms = 0;
    a.GetPosition(ms);
    EXPECT_EQ(ms, 500u);
    clock.AdvanceMilliseconds(600);
    system->Update();
    bool playing = true;
    ASSERT_EQ(a.IsPlaying(playing), Result::Ok);
    EXPECT_FALSE(playing);
    ASSERT_EQ(s.IsPlaying(playing), Result::Ok);
    EXPECT_FALSE(playing);
    ASSERT_EQ(b.GetPosition(ms), Result::Ok);
    EXPECT_EQ(ms, 100u);
    system->Update();
    EXPECT_EQ(a.IsPlaying(playing), Result::InvalidHandle);
    EXPECT_EQ(s.IsPlaying(playing), Result::InvalidHandle);
    // A paused channel does not move; a looping one goes on for ever.
    b.SetPaused(true);
    clock.AdvanceMilliseconds(10000);
    system->Update();
    b.GetPosition(ms);
    EXPECT_EQ(ms, 100u);
    b.SetPaused(false);
    clock.AdvanceMilliseconds(10250);
    system->Update();
    b.GetPosition(ms);
    EXPECT_EQ(ms, 350u);
    float out[2];
    EXPECT_EQ(system->ReadMixed(out, 1), Result::InvalidParam);
}

TEST(AudioSystem, DeviceOutput)
{
    // SDL's "dummy" driver under the tests: a device that plays to nowhere.
    SystemOptions options;
    std::unique_ptr<System> system;
    System::Create(options, system);
    ASSERT_EQ(system->Init(8), Result::Ok);
    EXPECT_GE(system->GetRate(), 1000u);
    const Bytes wav = SoundFiles::MakeWav(kFloatMono, std::vector<float>(kRate, 0.5f));
    std::unique_ptr<Sound> sound;
    ASSERT_EQ(system->CreateSound(wav.data(), wav.size(), 0, nullptr, sound), Result::Ok);
    Channel channel;
    EXPECT_EQ(system->PlaySound(sound.get(), false, channel), Result::Ok);
    system.reset();

    // A device that is not there fails; the system can then be opened without sound.
    options.deviceName = "no such device";
    System::Create(options, system);
    EXPECT_EQ(system->Init(8), Result::Output);
    ASSERT_EQ(system->SetOutput(OutputType::NoSound), Result::Ok);
    EXPECT_EQ(system->Init(8), Result::Ok);
}
