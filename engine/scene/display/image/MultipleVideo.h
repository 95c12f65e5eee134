// A playlist of videos played one after another into one image instance: each entry a given number
// of times in a row, optionally starting a sound with each play, the whole list optionally looping.
// Scripts make it (script class "MultipleVideo"), fill it with "AddVideoEntry", give it an image with
// "SetImage" and start it with "Play". It moves on when the playing video tells it has ended.
//
// The image shows the playlist without owning it (scripts do: the playlist goes when the script
// lets go of its table and the collector frees it): it owns a small stand-in that passes its calls
// on while the playlist lives. The playlist refers to the image by handle, so
// either may go first: a playlist that goes takes itself off its image, and a playlist whose image
// went is idle. Main thread only.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/media/video/IImageSource.h"
#include "engine/media/video/IVideoTarget.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform
{
class CounterSource;
}

namespace TarnEngine
{

class Instance_Base;
class IVideoImage;

class MultipleVideo final : public LuaBaseClass, public IImageSource, public ITheoraEventListener
{
    TARN_RCLASS(MultipleVideo)
    TARN_LUA_CLASS("MultipleVideo")
public:
    MultipleVideo();
    ~MultipleVideo() override;

    // Starts the current entry; the list loops when `loop` is set. The delay is each entry's own.
    // False while idle (no image, no entries, or the list has finished).
    bool Open(bool loop, float endDelay) override;
    void Close() override;
    bool IsActive() override;
    // True whenever the list is not idle, whatever the video gave.
    bool Update() override;
    // -1 while idle.
    int GetWidth() override;
    int GetHeight() override;
    void SetPaused(bool pause) override;

    // A repeat count of 0 adds nothing. Adding rewinds the list to its first entry.
    void AddVideoEntry(const std::wstring& videoFile, const std::wstring& alphaFile, const std::wstring& soundName,
                       uint32_t order, uint32_t repeatCount, float delay);
    // The image that shows the list from now on; the previous one stops showing it. Anything that
    // is not an image able to show a video leaves things as they are.
    void SetImage(Instance_Base* image);

    // The playlist that an image's source stands for; null when the source is not one of those.
    static MultipleVideo* ShownBy(IImageSource* source);

    int32_t GetCurrent() const { return current; }
    uint32_t GetRemaining() const { return remaining; }
    size_t GetEntryCount() const { return entries.size(); }
    // The video files in playing order.
    std::vector<std::wstring> GetVideoFiles() const;
    // The clock the videos are paced by (not owned; null: the system's). Sources made later use it.
    void SetClock(const Platform::CounterSource* counter) { clock = counter; }

    static void RegisterLua(lua_State* state);

private:
    struct Entry
    {
        std::wstring videoFile;
        std::wstring alphaFile;
        std::wstring soundName;
        std::unique_ptr<IImageSource> source;
        uint32_t order = 0;
        uint32_t repeatCount = 0;
        float delay = 0.0f;
    };

    // Where the videos write: the image, as long as its handle holds.
    class ImageTarget final : public IVideoTarget
    {
    public:
        explicit ImageTarget(MultipleVideo& owner) : owner(owner) {}
        std::vector<uint32_t> ReadVideoPixels(uint32_t& width, uint32_t& height) override;
        void UploadVideoPixels(const uint32_t* pixels, uint32_t width, uint32_t height) override;

    private:
        MultipleVideo& owner;
    };

    // What the image holds in the playlist's place.
    class Shown;

    void OnTheoraEvent(const std::wstring& fileName) override;
    // The image shows this playlist now.
    bool isShownBy(IVideoImage* shower) const;
    bool idle();
    IVideoImage* liveImage() const;
    IImageSource* sourceOf(Entry& entry);
    void startCurrent();

    int32_t current = -1;
    uint32_t remaining = 0;
    std::vector<std::unique_ptr<Entry>> entries;
    InstanceHandle image;
    bool loop = false;
    ImageTarget target{*this};
    const Platform::CounterSource* clock = nullptr;
};

} // namespace TarnEngine
