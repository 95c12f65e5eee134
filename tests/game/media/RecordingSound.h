// A sound manager for the game's sound tests that plays nothing and writes down, in order, every
// call it gets with its arguments; its sounds are plain objects that record what their holders do
// to them. It has the engine's real fader, so fades run as they do in the game.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/media/sound/SoundFader.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace GameSoundTest
{

using namespace TarnEngine;

inline std::wstring Number(float value)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", double(value));
    return text;
}

class FakeSound final : public ISound
{
public:
    FakeSound(std::wstring name, std::wstring className, std::vector<std::wstring>& log)
        : name(std::move(name)), className(std::move(className)), log(log)
    {
    }

    void SetPaused(bool value) override
    {
        if (!stopped)
            paused = value;
        log.push_back(L"sound " + name + (value ? L" paused" : L" resumed"));
    }
    void SetMute(bool) override {}
    void Stop() override
    {
        stopped = true;
        log.push_back(L"sound " + name + L" stopped");
    }
    void SetVolume(float value) override
    {
        if (!stopped)
            volume = value;
    }
    float GetVolume() override { return stopped ? -1.0f : volume; }
    void SetPan(float value) override
    {
        pan = value;
        log.push_back(L"sound " + name + L" pan " + Number(value));
    }
    float GetPan() override { return pan; }
    void SetFrequency(float) override {}
    float GetFrequency() override { return 8000.0f; }
    bool SetPosition(float seconds) override
    {
        log.push_back(L"sound " + name + L" position " + Number(seconds));
        return true;
    }
    float GetPosition() override { return 0.0f; }
    bool SetLoopCount(int32_t) override { return true; }
    int32_t GetLoopCount() override { return 0; }
    bool SetLoopPoints(float, float) override { return true; }
    bool IsPlaying() override { return !stopped && !paused; }
    bool IsStopped() override { return stopped; }
    bool GetPaused() override { return paused; }
    const std::wstring& GetName() const override { return name; }
    std::wstring GetSoundClass() override { return className; }
    float GetDefaultVolume() override { return 1.0f; }
    int32_t GetPriority() override { return 128; }

    std::wstring name;
    std::wstring className;
    float volume = 1.0f;
    float pan = 0.0f;
    bool paused = false;
    bool stopped = false;

private:
    std::vector<std::wstring>& log;
};

class RecordingSoundManager final : public ISoundManager
{
public:
    RecordingSoundManager() { fader = std::make_unique<SoundFader>(*this); }

    bool Init(int32_t) override { return true; }
    bool LoadAudioXml() override { return true; }
    void SetEnabled(bool) override {}
    WeakPtr<ISound> PlaySoundWithParams(const std::wstring& name, bool loop, bool unique) override
    {
        log.push_back(L"PlaySoundWithParams " + name + (loop ? L" loop" : L"") + (unique ? L" unique" : L""));
        const auto definition = classes.find(name);
        if (definition == classes.end() || (unique && FindLive(name)))
            return {};
        RefPtr<ISound> sound(new FakeSound(name, definition->second, log));
        sounds.push_back(sound);
        return WeakPtr<ISound>(sound);
    }
    WeakPtr<ISound> PlaySound(const std::wstring& name, bool loop) override
    {
        return PlaySoundWithParams(name, loop, false);
    }
    WeakPtr<ISound> FindPlayingSound(const std::wstring& name) override
    {
        log.push_back(L"FindPlayingSound " + name);
        return WeakPtr<ISound>(FindLive(name));
    }
    void GetPlayingSoundsOfClass(const std::wstring& className, std::vector<WeakPtr<ISound>>& out) override
    {
        log.push_back(L"GetPlayingSoundsOfClass " + className);
        for (const RefPtr<ISound>& sound : sounds)
            if (!sound->IsStopped() && sound->GetSoundClass() == className)
                out.emplace_back(sound);
    }
    void PauseAll(bool pause) override
    {
        log.push_back(std::wstring(L"PauseAll ") + (pause ? L"true" : L"false"));
        for (const RefPtr<ISound>& sound : sounds)
            static_cast<FakeSound*>(sound.Get())->paused = pause;
    }
    void PauseClass(const std::wstring& className, bool pause) override
    {
        log.push_back(L"PauseClass " + className + (pause ? L" true" : L" false"));
    }
    void MuteAll(bool) override {}
    void StopAll() override
    {
        log.push_back(L"StopAll");
        for (const RefPtr<ISound>& sound : sounds)
            static_cast<FakeSound*>(sound.Get())->stopped = true;
    }
    void StopClass(const std::wstring& className) override { log.push_back(L"StopClass " + className); }
    void SetClassVolume(const std::wstring& className, float volume) override
    {
        log.push_back(L"SetClassVolume " + className + L" " + Number(volume));
    }
    std::wstring GetSoundClass(const std::wstring& name) override
    {
        const auto found = classes.find(name);
        return found == classes.end() ? std::wstring() : found->second;
    }
    float GetDefaultVolume(const std::wstring&) override { return 1.0f; }
    int32_t GetPriority(const std::wstring&) override { return 128; }
    // As the engine's: the fades step, then every stopped sound is dropped and reported.
    void Update() override
    {
        fader->Update();
        for (size_t i = 0; i < sounds.size();)
        {
            if (!sounds[i]->IsStopped())
            {
                ++i;
                continue;
            }
            const RefPtr<ISound> ended = sounds[i];
            sounds.erase(sounds.begin() + ptrdiff_t(i));
            const std::vector<IAudioCallbackHandler*> handlers = callbackHandlers;
            for (IAudioCallbackHandler* handler : handlers)
                handler->OnSoundFinished(WeakPtr<ISound>(ended));
        }
    }
    void ExecuteCommand(const std::vector<std::wstring>&, const InstanceHandle&) override {}

    FakeSound* FindLive(const std::wstring& name)
    {
        for (const RefPtr<ISound>& sound : sounds)
            if (!sound->IsStopped() && sound->GetName() == name)
                return static_cast<FakeSound*>(sound.Get());
        return nullptr;
    }
    std::vector<FakeSound*> Live(const std::wstring& name)
    {
        std::vector<FakeSound*> found;
        for (const RefPtr<ISound>& sound : sounds)
            if (!sound->IsStopped() && sound->GetName() == name)
                found.push_back(static_cast<FakeSound*>(sound.Get()));
        return found;
    }
    // What was asked since the last look, and a fresh start.
    std::vector<std::wstring> Take() { return std::exchange(log, {}); }

    // The names it defines, with their classes.
    std::map<std::wstring, std::wstring> classes;
    std::vector<std::wstring> log;
};

} // namespace GameSoundTest
