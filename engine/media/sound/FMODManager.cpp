// Sound manager; see FMODManager.h.
#include "engine/media/sound/FMODManager.h"

#include "engine/core/base/ResourceManager.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/media/sound/FMODResource.h"
#include "engine/media/sound/FMODSound.h"
#include "engine/media/sound/SoundFader.h"

#include <algorithm>
#include <cstdio>

namespace TarnEngine
{

namespace
{

constexpr const wchar_t* kAudioXml = L"Audio\\Audio.xml";
constexpr const wchar_t* kDefaultClass = L"default";

// A line on the audio channel, naming the line that writes it.
#define LOG_AUDIO(...)                                                                                        \
    do                                                                                                         \
    {                                                                                                          \
        if (ILogger* logger = ILogger::Get())                                                                  \
            logger->Log(LogAudio, __FILE__, __LINE__, __VA_ARGS__);                                            \
    } while (false)

// An attribute that is present but empty counts as absent.
bool attribute(const XmlNode& element, const wchar_t* name, std::wstring& value)
{
    return element.GetAttribute(name, value) && !value.empty();
}

bool isFinished(const RefPtr<ISound>& sound)
{
    return !sound || sound->IsStopped();
}

} // namespace

FMODManager::FMODManager(const Audio::SystemOptions& options) : options(options) {}

FMODManager::~FMODManager()
{
    Shutdown();
    fader.reset();
}

bool FMODManager::Init(int32_t channelCount)
{
    if (system)
        Shutdown();
    fader = std::make_unique<SoundFader>(*this);
    if (Audio::System::Create(options, system) != Audio::Result::Ok || !system)
    {
        system.reset();
        LOG_AUDIO(L"the audio system cannot be created");
        return false;
    }
    if (!enabled)
        system->SetOutput(Audio::OutputType::NoSound);
    maxChannels = channelCount;
    Audio::Result result = system->Init(channelCount);
    if (result != Audio::Result::Ok)
    {
        // No usable device: sounds still run, timed but silent. The player hears nothing, so the
        // terminal says so once, whether or not a log is kept.
        const std::string reason = system->GetOutputFailure().empty() ? Audio::ResultName(result)
                                                                       : system->GetOutputFailure();
        std::fprintf(stderr, "sound is off: no audio device could be opened (%s)\n", reason.c_str());
        std::fflush(stderr);
        LOG_AUDIO(L"sound output cannot be opened (%S); playing without sound", Audio::ResultName(result));
        system->SetOutput(Audio::OutputType::NoSound);
        result = system->Init(channelCount);
        if (result != Audio::Result::Ok)
        {
            LOG_AUDIO(L"the audio system cannot start with %d channels (%S)", channelCount,
                     Audio::ResultName(result));
            system.reset();
            return false;
        }
    }
    std::unique_ptr<Audio::ChannelGroup> group;
    if (system->CreateChannelGroup("default", group) != Audio::Result::Ok)
    {
        Shutdown();
        return false;
    }
    defaultGroup = group.get();
    channelGroups[kDefaultClass] = std::move(group);
    defaultGroup->SetVolume(1.0f);
    return true;
}

bool FMODManager::LoadAudioXml()
{
    const XmlNode* root = LoadXmlDocument(kAudioXml);
    if (root == nullptr)
    {
        Shutdown();
        return false;
    }
    // Shut down already: there is nothing to make classes in.
    if (!system)
        return false;

    std::vector<XmlNode*> elements;
    root->GetChildren(L"ClassDef", elements);
    for (const XmlNode* element : elements)
    {
        std::wstring name;
        if (!attribute(*element, L"name", name))
            return false;
        // A class loaded before keeps its group, so its playing sounds keep following its volume.
        Audio::ChannelGroup* group = findGroup(name);
        if (group == nullptr)
        {
            std::unique_ptr<Audio::ChannelGroup> made;
            if (system->CreateChannelGroup(WStringToAnsi(name), made) != Audio::Result::Ok)
                return false;
            group = made.get();
            channelGroups[name] = std::move(made);
        }
        group->SetVolume(1.0f);
    }

    root->GetChildren(L"Sound", elements);
    for (const XmlNode* element : elements)
    {
        std::wstring name, source, value;
        if (!attribute(*element, L"name", name) || !attribute(*element, L"source", source))
            return false;
        if (definitions.count(name) != 0)
            continue;
        const bool streaming = attribute(*element, L"streaming", value) && WStringToLong(value) > 0;
        RefPtr<ResourceSound> resource = CreateSoundResource(source, streaming);
        if (!resource)
            continue;
        SoundDefinition definition;
        definition.resource = resource;
        if (attribute(*element, L"defaultvolume", value))
            definition.defaultVolume = float(WStringToDouble(value));
        if (attribute(*element, L"class", value))
            definition.className = value;
        if (attribute(*element, L"priority", value))
            definition.priority = WStringToLong(value);
        definitions[name] = definition;
    }
    audioXmlLoaded = true;
    return true;
}

void FMODManager::SetEnabled(bool enable)
{
    if ((enabled != 0) == enable)
        return;
    enabled = enable ? 1 : 0;
    if (system)
    {
        Shutdown();
        // Switched on again, the definitions come back with the system, or every sound of the
        // session would stay silent; nothing is read when they had never been loaded.
        if (Init(maxChannels) && enable && audioXmlLoaded)
            LoadAudioXml();
    }
}

RefPtr<ResourceSound> FMODManager::CreateSoundResource(const std::wstring& source, bool streaming)
{
    ResourceManager* cache = ResourceManager::Get();
    RefPtr<ResourceBaseCounted> found = cache ? cache->Find(source) : nullptr;
    RefPtr<ResourceSound> resource(dynamic_cast<ResourceSound*>(found.Get()));
    const bool made = !found;
    if (found && !resource)
        return nullptr; // a resource of another kind holds the name
    if (made)
        resource = new FMODResource(source, streaming, this);
    if (!resource->IsReloadable() && !resource->IsLoaded() && !resource->Load())
        return nullptr;
    if (made && cache)
        cache->Add(source, WeakPtr<ResourceBaseCounted>(static_cast<ResourceBaseCounted*>(resource.Get())));
    return resource;
}

WeakPtr<ISound> FMODManager::PlaySoundWithParams(const std::wstring& name, bool loop, bool unique)
{
    if (!system)
        return nullptr;
    const auto found = definitions.find(name);
    if (found == definitions.end())
        return nullptr;
    const SoundDefinition& definition = found->second;
    if (unique && FindPlayingSound(name).IsAlive())
        return nullptr;
    auto* resource = dynamic_cast<FMODResource*>(definition.resource.Get());
    Audio::Sound* sound = resource ? resource->GetSound() : nullptr;
    if (sound == nullptr)
        return nullptr;
    Audio::Channel channel;
    if (system->PlaySound(sound, true, channel, std::clamp(definition.priority, 0, 256)) != Audio::Result::Ok)
        return nullptr;
    channel.SetLoopCount(loop ? -1 : 0);
    channel.SetPosition(0);
    channel.SetVolume(definition.defaultVolume);
    // A class that no ClassDef made plays in the master group.
    channel.SetChannelGroup(findGroup(definition.className));
    channel.SetPriority(definition.priority);
    // Only a class with a group can be paused, as PauseClass acts on nothing else.
    channel.SetPaused(HasClass(definition.className) && IsClassPaused(definition.className));
    RefPtr<ISound> playing(new FMODSound(name, channel, resource, this));
    sounds.push_back(playing);
    return WeakPtr<ISound>(playing);
}

WeakPtr<ISound> FMODManager::PlaySound(const std::wstring& nameOrPath, bool loop)
{
    if (!HasDefinition(nameOrPath))
    {
        RefPtr<ResourceSound> resource = CreateSoundResource(nameOrPath, false);
        if (!resource)
            return nullptr;
        SoundDefinition definition;
        definition.resource = resource;
        definitions[nameOrPath] = definition;
    }
    return PlaySoundWithParams(nameOrPath, loop, false);
}

WeakPtr<ISound> FMODManager::FindPlayingSound(const std::wstring& name)
{
    for (const RefPtr<ISound>& sound : sounds)
        if (sound && sound->GetName() == name && sound->IsPlaying())
            return WeakPtr<ISound>(sound);
    return nullptr;
}

void FMODManager::GetPlayingSoundsOfClass(const std::wstring& className, std::vector<WeakPtr<ISound>>& out)
{
    if (!HasClass(className))
        return;
    for (const RefPtr<ISound>& sound : sounds)
        if (sound && sound->GetSoundClass() == className && sound->IsPlaying())
            out.emplace_back(sound);
}

void FMODManager::PauseAll(bool pause)
{
    // Resuming everything resumes the paused classes as well.
    if (!pause)
        pausedClasses.clear();
    for (const RefPtr<ISound>& sound : sounds)
        if (sound && !sound->IsStopped())
            sound->SetPaused(pause);
}

void FMODManager::PauseClass(const std::wstring& className, bool pause)
{
    if (pause)
        pausedClasses.insert(className);
    else
        pausedClasses.erase(className);
    std::vector<WeakPtr<ISound>> playing;
    GetPlayingSoundsOfClass(className, playing);
    for (const WeakPtr<ISound>& sound : playing)
        if (ISound* live = sound.Get(); live && !live->IsStopped())
            live->SetPaused(pause);
}

void FMODManager::MuteAll(bool mute)
{
    if (mute == muted)
        return;
    muted = mute;
    for (const RefPtr<ISound>& sound : sounds)
        if (sound && !sound->IsStopped())
            sound->SetMute(mute);
}

void FMODManager::StopAll()
{
    for (const RefPtr<ISound>& sound : sounds)
        if (sound)
            sound->Stop();
    ReleaseFinishedSounds();
}

void FMODManager::StopClass(const std::wstring& className)
{
    std::vector<WeakPtr<ISound>> playing;
    GetPlayingSoundsOfClass(className, playing);
    for (const WeakPtr<ISound>& sound : playing)
        if (ISound* live = sound.Get())
            live->Stop();
    ReleaseFinishedSounds();
}

void FMODManager::SetClassVolume(const std::wstring& className, float volume)
{
    if (Audio::ChannelGroup* group = findGroup(className))
        group->SetVolume(volume);
}

std::wstring FMODManager::GetSoundClass(const std::wstring& name)
{
    const auto found = definitions.find(name);
    return found != definitions.end() ? found->second.className : std::wstring();
}

float FMODManager::GetDefaultVolume(const std::wstring& name)
{
    const auto found = definitions.find(name);
    return found != definitions.end() ? found->second.defaultVolume : -1.0f;
}

int32_t FMODManager::GetPriority(const std::wstring& name)
{
    const auto found = definitions.find(name);
    return found != definitions.end() ? found->second.priority : 0;
}

void FMODManager::Update()
{
    if (system)
        system->Update();
    ReleaseFinishedSounds();
    if (fader)
        fader->Update();
}

void FMODManager::ReleaseFinishedSounds()
{
    const std::vector<RefPtr<ISound>> all = sounds;
    std::vector<bool> finished(all.size());
    for (size_t i = 0; i < all.size(); ++i)
        finished[i] = isFinished(all[i]);
    sounds.clear();
    for (size_t i = 0; i < all.size(); ++i)
        if (!finished[i])
            sounds.push_back(all[i]);
    for (size_t i = 0; i < all.size(); ++i)
    {
        if (!finished[i] || !all[i])
            continue;
        // By index: a handler may take itself off the list.
        for (size_t h = 0; h < callbackHandlers.size(); ++h)
            if (IAudioCallbackHandler* handler = callbackHandlers[h])
                handler->OnSoundFinished(WeakPtr<ISound>(all[i]));
        ReleaseUnusedStream(all[i]->GetName());
    }
    // The last strong references of the finished sounds go with the copy.
}

void FMODManager::ReleaseUnusedStream(const std::wstring& name)
{
    const auto found = definitions.find(name);
    if (found == definitions.end())
        return;
    auto* resource = dynamic_cast<FMODResource*>(found->second.resource.Get());
    if (resource == nullptr || !resource->IsStreaming())
        return;
    for (const RefPtr<ISound>& sound : sounds)
        if (auto* playing = dynamic_cast<FMODSound*>(sound.Get()); playing && playing->GetResource() == resource)
            return;
    resource->ReleaseSound();
}

void FMODManager::Shutdown()
{
    StopAll();
    if (system)
        system->Update();
    // The default group goes last.
    for (auto& [name, group] : channelGroups)
        if (group.get() != defaultGroup)
            group.reset();
    channelGroups.clear();
    defaultGroup = nullptr;
    definitions.clear();
    if (system)
        system->Update();
    system.reset();
    callbackHandlers.clear();
}

bool FMODManager::HasDefinition(const std::wstring& name) const
{
    return definitions.find(name) != definitions.end();
}

bool FMODManager::HasClass(const std::wstring& className) const
{
    return channelGroups.find(className) != channelGroups.end();
}

Audio::ChannelGroup* FMODManager::findGroup(const std::wstring& className) const
{
    const auto found = channelGroups.find(className);
    return found != channelGroups.end() ? found->second.get() : nullptr;
}

void FMODManager::print(const std::wstring& line) const
{
    if (Console* console = GetMainConsole())
        console->Print(line);
}

void FMODManager::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.size() < 2)
        return;
    const std::wstring& command = arguments[0];
    const std::wstring& argument = arguments[1];
    if (command == L"audio.SetGroupVolume")
    {
        Audio::ChannelGroup* group = findGroup(argument);
        if (group == nullptr)
            print(StringPrintf(L"Sound group %s doesn't exist.", argument));
        else if (arguments.size() >= 3)
            group->SetVolume(float(WStringToDouble(arguments[2])));
    }
    else if (command == L"audio.getclassvolume")
    {
        Audio::ChannelGroup* group = findGroup(argument);
        if (group == nullptr)
            print(StringPrintf(L"Sound group %s doesn't exist.", argument));
        else
        {
            float volume = 0.0f;
            group->GetVolume(volume);
            print(StringPrintf(L"Sound group %s has volume %f.", argument, double(volume)));
        }
    }
    else if (command == L"audio.playsound")
    {
        if (!HasDefinition(argument))
            print(StringPrintf(L"Sound %s doesn't exist.", argument));
        else
            PlaySoundWithParams(argument, false, false);
    }
    else if (command == L"audio.setenabled")
        SetEnabled(WStringToLong(argument) != 0);
    else if (command == L"audio.setoutputlogenabled")
        outputLogEnabled = WStringToLong(argument) != 0;
}

} // namespace TarnEngine
