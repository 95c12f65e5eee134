// Splash screens; see SplashScreens.h.
#include "engine/runtime/SplashScreens.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/media/video/IImageSource.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace TarnEngine
{

namespace
{

constexpr const wchar_t* kPicture = L"SplashScreen";
constexpr const wchar_t* kOverlay = L"SplashScreenFading";
constexpr const wchar_t* kContainer = L"SplashScreenContainer";
// The bottom rows of a splash video are not shown: the picture is stretched so that they fall
// below the screen.
constexpr int kVideoRowsCut = 8;

void logSplash(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogEngine, __FILE__, __LINE__, L"%s", text);
}

bool presentAttribute(const XmlNode& element, const wchar_t* name, std::wstring& value)
{
    return element.GetAttribute(name, value) && !value.empty();
}

} // namespace

bool ReadSplashScreen(const XmlNode& element, SplashScreenSettings& settings)
{
    settings = SplashScreenSettings();
    if (!element.GetAttribute(L"src", settings.source))
        return false;
    std::wstring value;
    if (presentAttribute(element, L"fadetime", value))
        settings.fadeTime = float(WStringToDouble(value));
    // A negative fade would count the wrong way, and one that is not finite ("1e39" is infinite as
    // a float) would never end: no fade at all is the nearest sense. The same for the wait.
    if (!(settings.fadeTime >= 0.0f) || !std::isfinite(settings.fadeTime))
        settings.fadeTime = 0.0f;
    if (presentAttribute(element, L"waittime", value))
        settings.waitTime = float(WStringToDouble(value));
    if (!(settings.waitTime >= 0.0f) || !std::isfinite(settings.waitTime))
        settings.waitTime = 0.0f;
    settings.colour = WStringToInt(element.GetStringAttribute(L"color", L"0xffffff"));
    element.GetAttribute(L"sound", settings.sound);
    settings.isVideo = element.GetAttribute(L"isVideo", value) && value == L"true";
    settings.skippable = !(element.GetAttribute(L"isSkipable", value) && value == L"false");
    return true;
}

SplashHandler::SplashHandler(const SplashScreenSettings& settings, bool* doneFlag, InstanceHandle overlayHandle,
                             IImageSource* playing, WeakPtr<ISound> playingSound)
    : fadeTime(std::max(settings.fadeTime, 0.0f)), waitTime(settings.waitTime), done(doneFlag),
      isVideo(settings.isVideo ? 1 : 0), skippable(settings.skippable ? 1 : 0), sound(std::move(playingSound)),
      overlay(overlayHandle), video(playing)
{
}

void SplashHandler::setOverlayOpacity(float opacity)
{
    if (Instance_Base* instance = overlay.GetInstance())
        instance->SetOpacity(opacity);
}

void SplashHandler::OnUpdate(InstanceHandle)
{
    if (*done)
        return;
    switch (state)
    {
    case FadingIn:
        timer += Step;
        if (timer >= fadeTime)
        {
            timer = 0.0f;
            state = Holding;
            setOverlayOpacity(0.0f);
        }
        else
            setOverlayOpacity(1.0f - timer / fadeTime);
        break;
    case Holding:
        if (!isVideo)
        {
            timer += Step;
            if (timer >= waitTime)
            {
                state = FadingOut;
                timer = fadeTime;
            }
        }
        else if (!video || !video->IsActive())
        {
            state = FadingOut;
            timer = fadeTime;
        }
        break;
    case FadingOut:
        timer -= Step;
        if (timer <= 0.0f)
        {
            *done = true;
            if (ISound* playing = sound.Get())
                playing->Stop();
        }
        else
        {
            setOverlayOpacity(1.0f - timer / fadeTime);
            if (ISound* playing = sound.Get())
                playing->SetVolume(std::clamp(timer / fadeTime, 0.0f, 1.0f));
        }
        break;
    }
}

void SplashHandler::OnEvent(const Event_Base& event)
{
    if (event.type != Event_Base::MouseDown && event.type != Event_Base::KeyDown && event.type != Event_Base::KeyUp)
        return;
    if (!skippable)
        return;
    if (state == Holding)
    {
        timer = fadeTime;
        state = FadingOut;
    }
    else if (state == FadingIn && timer > SkipGrace)
        // The fade-out starts from the overlay's opacity of the moment.
        state = FadingOut;
}

bool SplashScreens::Run()
{
    const XmlNode* root = LoadXmlDocument(FileName);
    if (!root)
        return false;
    std::vector<const XmlNode*> screens;
    for (const auto& child : root->children)
        if (child->name == L"Splash")
            screens.push_back(child.get());
    for (const XmlNode* element : screens)
    {
        SplashScreenSettings settings;
        if (!ReadSplashScreen(*element, settings))
        {
            logSplash(L"a splash screen without \"src\" is left out");
            continue;
        }
        FileSystem* files = FileSystem::Get();
        if (!files || !files->FileExists(settings.source))
            continue;
        if (Show(settings))
            return true;
    }
    return false;
}

bool SplashScreens::Show(const SplashScreenSettings& settings)
{
    UserInterface* ui = services.ui;
    DefinitionMap* definitions = ui ? ui->GetDefinitionMap() : nullptr;
    Instance_Movie* root = ui ? ui->GetRoot() : nullptr;
    if (!definitions || !root || !services.pump)
        return false;
    // 3.
    if (services.setClearColour)
        services.setClearColour(0);
    // 4.
    definitions->AddImageDefinition(kPicture, settings.isVideo ? VideoPicture : settings.source);
    definitions->AddImageDefinition(kOverlay, OverlayPicture);

    // 5.
    const InstanceHandle containerHandle = Instance_Movie::CreateChildFromDefault(root, kContainer);
    auto* container = RObjectCast<Instance_Movie>(containerHandle.GetInstance());
    Instance_Base* picture = nullptr;
    Instance_Base* overlay = nullptr;
    if (container)
    {
        picture = Instance_Movie::CreateChild(container, kPicture, kPicture, nullptr).GetInstance();
        overlay = Instance_Movie::CreateChild(container, kOverlay, kOverlay, nullptr).GetInstance();
    }
    const float screenWidth = float(services.screenWidth);
    const float screenHeight = float(services.screenHeight);
    for (Instance_Base* instance : {picture, overlay})
        if (instance)
            instance->SetPosition((screenWidth - instance->ComputeWidth(false)) * 0.5f,
                                  (screenHeight - instance->ComputeHeight(false)) * 0.5f);
    if (overlay)
        overlay->SetColor(settings.colour);

    // 6.
    IImageSource* video = nullptr;
    if (settings.isVideo && picture)
        if (auto* image = dynamic_cast<IImageInstanceSetup*>(picture))
        {
            video = image->AttachVideo(settings.source, L"");
            if (video)
            {
                video->Open(false, 0.0f);
                const int width = video->GetWidth();
                const int height = video->GetHeight();
                // A video of 8 rows or fewer has none to lose.
                const int shownHeight = height > kVideoRowsCut ? height - kVideoRowsCut : height;
                picture->SetScale(width > 0 ? screenWidth / float(width) : 1.0f,
                                  shownHeight > 0 ? screenHeight / float(shownHeight) : 1.0f);
            }
        }

    // 7.
    WeakPtr<ISound> sound;
    if (!settings.sound.empty())
        if (ISoundManager* sounds = ISoundManager::Get())
            sound = sounds->PlaySound(settings.sound, false);

    // 8.
    bool done = false;
    auto handler = std::make_unique<SplashHandler>(settings, &done, overlay ? overlay->handle : InstanceHandle(),
                                                   video, sound);
    if (container)
        container->SetEventHandler(handler.get());
    ui->AddEventListener(handler.get());

    // 9. Without a container nothing would ever step the screen.
    bool quit = false;
    while (!done && container)
        if (!services.pump())
        {
            quit = true;
            break;
        }

    // 10.
    if (auto* live = RObjectCast<Instance_Movie>(containerHandle.GetInstance()))
    {
        live->SetEventHandler(nullptr);
        root->RemoveAndQueueDelete(live);
        root->DeletePending();
    }
    ui->RemoveEventListener(handler.get());
    definitions->RemoveDefinitions(kPicture);
    definitions->RemoveDefinitions(kOverlay);
    handler.reset();
    sound = WeakPtr<ISound>();
    // 11.
    return quit;
}

} // namespace TarnEngine
