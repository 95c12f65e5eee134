// Ambient sound scenes; see AmbientSoundScene.h.
#include "engine/media/sound/AmbientSoundScene.h"

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/media/sound/ISoundManager.h"

namespace TarnEngine
{

namespace
{

void stopSound(SoundEntry& entry)
{
    ISound* sound = entry.sound.Get();
    if (sound != nullptr && sound->IsPlaying())
        sound->Stop();
}

} // namespace

AmbientSoundScene::~AmbientSoundScene()
{
    Stop();
}

bool AmbientSoundScene::Load(const std::wstring& path)
{
    Stop();
    entries.clear();
    const XmlNode* root = LoadXmlDocument(path);
    if (root == nullptr)
        return false;
    std::vector<XmlNode*> elements;
    root->GetChildren(L"Sound", elements);
    for (const XmlNode* element : elements)
    {
        SoundEntry entry;
        if (!element->GetAttribute(L"name", entry.name))
            continue;
        entry.volume.Parse(element->GetStringAttribute(L"volume", L""), 1.0f);
        entry.pan.Parse(element->GetStringAttribute(L"pan", L""), 0.0f);
        entry.pause.Parse(element->GetStringAttribute(L"pause", L""), 0.0f);
        entry.delay.Parse(element->GetStringAttribute(L"delay", L""), 0.0f);
        entry.loop = element->GetBoolAttribute(L"loop", false);
        if (entry.loop)
        {
            entry.playtime.Parse(element->GetStringAttribute(L"playtime", L""), -1.0f);
            entry.fade = element->GetFloatAttribute(L"fade", 0.1f);
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

void AmbientSoundScene::Play()
{
    if (playing)
        return;
    playing = true;
    for (SoundEntry& entry : entries)
    {
        stopSound(entry);
        entry.active = false;
        entry.wait = entry.delay.Pick();
        entry.timer = 0.0f;
    }
}

void AmbientSoundScene::Stop()
{
    if (!playing)
        return;
    playing = false;
    for (SoundEntry& entry : entries)
    {
        stopSound(entry);
        entry.active = false;
    }
}

void AmbientSoundScene::Update(float dt)
{
    if (!playing)
        return;
    ISoundManager* manager = ISoundManager::Get();
    for (SoundEntry& entry : entries)
    {
        entry.timer += dt;
        const float t = entry.timer;
        if (!entry.active)
        {
            if (t >= entry.wait)
            {
                entry.active = true;
                entry.level = entry.volume.Pick();
                const float pan = entry.pan.Pick();
                entry.sound = manager ? manager->PlaySoundWithParams(entry.name, entry.loop, false) : nullptr;
                if (ISound* sound = entry.sound.Get())
                {
                    sound->SetVolume(entry.loop ? 0.0f : entry.level);
                    sound->SetPan(pan);
                    if (entry.loop)
                    {
                        entry.wait = entry.playtime.Pick();
                        entry.timer = 0.0f;
                    }
                }
            }
        }
        else
        {
            ISound* sound = entry.sound.Get();
            if (entry.loop)
            {
                const float playtime = entry.wait;
                const float end = 2.0f * entry.fade + playtime;
                if (playtime >= 0.0f && t >= end)
                {
                    if (sound != nullptr && sound->IsPlaying())
                        sound->Stop();
                }
                else if (sound != nullptr)
                {
                    if (t < entry.fade)
                        sound->SetVolume(entry.level * t / entry.fade);
                    else if (playtime < 0.0f || t < playtime + entry.fade)
                        sound->SetVolume(entry.level);
                    else
                        sound->SetVolume((end - t) * entry.level / entry.fade);
                }
            }
            // A sound that ended, was stopped or never started (caught the frame after) waits anew.
            if (sound == nullptr || !sound->IsPlaying())
            {
                entry.active = false;
                entry.wait = entry.pause.Pick();
                entry.timer = 0.0f;
            }
        }
    }
}

} // namespace TarnEngine
