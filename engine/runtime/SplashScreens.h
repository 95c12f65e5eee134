// The splash screens shown at start-up before the game starts, described by "..\SplashScreens.xml":
// still pictures or videos, each faded in from a coloured overlay, held, and faded out, optionally
// with a sound and optionally skippable by a key or a click. While they run the engine turns its
// own message loop with reduced ticks (no game update), and the display tree steps each screen's
// SplashHandler once a frame through the container instance's update.
//
// Every screen is made from image definitions added for it ("SplashScreen", the picture, and
// "SplashScreenFading", the overlay "..\for_fading.png"; a video shows in "..\for_video.png"), in a
// container instance "SplashScreenContainer" under the root, and all of it is removed again before
// the next screen.
#pragma once

#include "engine/core/app/InputEvent.h"
#include "engine/core/base/InstanceHandle.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/media/sound/ISound.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"

#include <cstdint>
#include <functional>
#include <string>

namespace TarnEngine
{

class IImageSource;
class UserInterface;
class XmlNode;

// One "Splash" element.
struct SplashScreenSettings
{
    std::wstring source;   // "src"
    float fadeTime = 0.5f; // "fadetime", seconds of each fade; never below 0
    float waitTime = 2.0f; // "waittime", seconds an image is held
    uint32_t colour = 0xFFFFFF; // "color", the overlay's tint
    std::wstring sound;    // "sound", played when the screen starts
    bool isVideo = false;  // "isVideo" is exactly "true"
    bool skippable = true; // unless "isSkipable" is exactly "false"
};

// False when the element has no "src": such a screen cannot be shown.
bool ReadSplashScreen(const XmlNode& element, SplashScreenSettings& settings);

// The fade and hold of one screen, one fixed step per frame, and its skip rule.
class SplashHandler final : public IInstanceEventHandler, public IEventListener
{
public:
    // One frame of the 60 a second the engine runs at, whatever the real frame time.
    static constexpr float Step = 0.016666668f;
    // A click or key in the first tenth of a second of the fade-in is ignored.
    static constexpr float SkipGrace = 0.1f;

    enum State : uint8_t
    {
        FadingIn = 0,
        Holding = 1,
        FadingOut = 2,
    };

    // overlay: the fading instance, by handle. video: the playing video of a video screen (not
    // owned; it lives as long as the screen's picture, which outlives the handler's frames).
    SplashHandler(const SplashScreenSettings& settings, bool* done, InstanceHandle overlay, IImageSource* video,
                  WeakPtr<ISound> sound);

    // The per-frame step, from the container's update.
    void OnUpdate(InstanceHandle instance) override;
    // A skip request: a press of a mouse button or a key press or release.
    void OnEvent(const Event_Base& event) override;

    State GetState() const { return state; }
    float GetTimer() const { return timer; }

private:
    void setOverlayOpacity(float opacity);

    float fadeTime;
    float waitTime;
    float timer = 0.0f;
    bool* done;
    State state = FadingIn;
    uint8_t isVideo;
    uint8_t skippable;
    WeakPtr<ISound> sound;
    InstanceHandle overlay;
    IImageSource* video;
};

// Runs the sequence of "..\SplashScreens.xml".
class SplashScreens
{
public:
    struct Services
    {
        UserInterface* ui = nullptr;
        int32_t screenWidth = 1024;
        int32_t screenHeight = 768;
        // Sets the device's clear colour (with clearing on); null: nothing.
        std::function<void(uint32_t colour)> setClearColour;
        // One pass of the message loop: a tick when no message waits, else one message handled.
        // False when the message was the quit message.
        std::function<bool()> pump;
    };

    static constexpr const wchar_t* FileName = L"..\\SplashScreens.xml";
    static constexpr const wchar_t* OverlayPicture = L"..\\for_fading.png";
    static constexpr const wchar_t* VideoPicture = L"..\\for_video.png";

    explicit SplashScreens(Services services) : services(std::move(services)) {}

    // True when the user quit during the sequence (the remaining screens are not shown); false
    // otherwise, also when there is no such file.
    bool Run();
    // One screen; true when the user quit during it.
    bool Show(const SplashScreenSettings& settings);

private:
    Services services;
};

} // namespace TarnEngine
