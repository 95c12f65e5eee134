// Video playlists; see MultipleVideo.h. The script methods are in MultipleVideoLua.cpp.
#include "engine/scene/display/image/MultipleVideo.h"

#include "engine/media/sound/ISoundManager.h"
#include "engine/media/video/VideoSources.h"
#include "engine/scene/display/node/Instance_Base.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(MultipleVideo, LuaBaseClass, RObjectFactory<MultipleVideo>, L"MultipleVideo",
                              &MultipleVideo::RegisterLua)

// Held by the image in the playlist's place; a playlist that is gone makes it an idle source.
class MultipleVideo::Shown final : public IImageSource
{
public:
    explicit Shown(MultipleVideo* list) : list(list) {}

    bool Open(bool loopIn, float endDelay) override { return list.Get() && list.Get()->Open(loopIn, endDelay); }
    void Close() override
    {
        if (MultipleVideo* live = list.Get())
            live->Close();
    }
    bool IsActive() override { return list.Get() && list.Get()->IsActive(); }
    bool Update() override { return list.Get() && list.Get()->Update(); }
    int GetWidth() override { return list.Get() ? list.Get()->GetWidth() : -1; }
    int GetHeight() override { return list.Get() ? list.Get()->GetHeight() : -1; }
    void SetPaused(bool pause) override
    {
        if (MultipleVideo* live = list.Get())
            live->SetPaused(pause);
    }
    bool IsPaused() override { return list.Get() && list.Get()->IsPaused(); }

    WeakPtr<MultipleVideo> list;
};

MultipleVideo::MultipleVideo() = default;

MultipleVideo::~MultipleVideo()
{
    // The image must not go on showing a playlist that is gone.
    if (IVideoImage* shower = liveImage(); shower && isShownBy(shower))
        shower->SetVideoSource(nullptr);
    entries.clear();
    DisconnectTable();
}

MultipleVideo* MultipleVideo::ShownBy(IImageSource* source)
{
    const auto* shown = dynamic_cast<const Shown*>(source);
    return shown ? shown->list.Get() : nullptr;
}

bool MultipleVideo::isShownBy(IVideoImage* shower) const
{
    const auto* shown = dynamic_cast<const Shown*>(shower->GetVideoSource());
    return shown && shown->list.Get() == this;
}

IVideoImage* MultipleVideo::liveImage() const
{
    // The handle's table belongs to the user interface, which may have gone before the playlist.
    UserInterface* ui = UserInterface::Get();
    if (!ui || image.table != &ui->instanceTable)
        return nullptr;
    Instance_Base* instance = image.GetInstance();
    return instance ? dynamic_cast<IVideoImage*>(instance) : nullptr;
}

bool MultipleVideo::idle()
{
    return !liveImage() || entries.empty() || (current == -1 && remaining == 0);
}

IImageSource* MultipleVideo::sourceOf(Entry& entry)
{
    if (!entry.source)
    {
        entry.source = CreateVideoSource(&target, entry.videoFile, entry.alphaFile, clock);
        if (entry.source)
            entry.source->AddListener(this);
    }
    return entry.source.get();
}

std::vector<std::wstring> MultipleVideo::GetVideoFiles() const
{
    std::vector<std::wstring> files;
    for (const auto& entry : entries)
        files.push_back(entry->videoFile);
    return files;
}

void MultipleVideo::AddVideoEntry(const std::wstring& videoFile, const std::wstring& alphaFile,
                                  const std::wstring& soundName, uint32_t order, uint32_t repeatCount, float delay)
{
    if (repeatCount == 0)
        return;
    auto entry = std::make_unique<Entry>();
    entry->videoFile = videoFile;
    entry->alphaFile = alphaFile;
    entry->soundName = soundName;
    entry->order = order;
    entry->repeatCount = repeatCount;
    entry->delay = delay;
    entries.push_back(std::move(entry));
    // Entries of the same order keep the order they were added in.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const std::unique_ptr<Entry>& a, const std::unique_ptr<Entry>& b) { return a->order < b->order; });
    current = 0;
    remaining = entries.front()->repeatCount;
}

void MultipleVideo::SetImage(Instance_Base* instance)
{
    auto* next = instance ? dynamic_cast<IVideoImage*>(instance) : nullptr;
    if (!next || !instance->handle.IsValid())
        return;
    // The previous image lets go of the playlist; the new one holds a stand-in of its own, so a
    // second call on one image replaces one stand-in by another and deletes nothing else.
    if (IVideoImage* previous = liveImage(); previous && previous != next && isShownBy(previous))
        previous->SetVideoSource(nullptr);
    image = instance->handle;
    next->SetVideoSource(std::make_unique<Shown>(this));
}

void MultipleVideo::startCurrent()
{
    if (idle() || current < 0 || size_t(current) >= entries.size())
        return;
    Entry& entry = *entries[size_t(current)];
    // The source itself never loops: the list decides what comes next.
    if (IImageSource* source = sourceOf(entry))
        source->Open(false, entry.delay);
    if (!entry.soundName.empty())
        if (ISoundManager* sounds = ISoundManager::Get())
            sounds->PlaySound(entry.soundName, false);
}

bool MultipleVideo::Open(bool loopIn, float)
{
    if (idle())
        return false;
    loop = loopIn;
    startCurrent();
    return true;
}

void MultipleVideo::Close()
{
    if (idle() || current < 0 || size_t(current) >= entries.size())
        return;
    if (IImageSource* source = entries[size_t(current)]->source.get())
        source->Close();
}

bool MultipleVideo::IsActive()
{
    if (idle() || current < 0 || size_t(current) >= entries.size())
        return false;
    IImageSource* source = sourceOf(*entries[size_t(current)]);
    return source && source->IsActive();
}

bool MultipleVideo::Update()
{
    if (idle() || current < 0 || size_t(current) >= entries.size())
        return false;
    // The video may end in here and the list move on: nothing of it is touched afterwards.
    if (IImageSource* source = sourceOf(*entries[size_t(current)]))
        source->Update();
    return true;
}

int MultipleVideo::GetWidth()
{
    if (idle() || current < 0 || size_t(current) >= entries.size())
        return -1;
    IImageSource* source = sourceOf(*entries[size_t(current)]);
    return source ? source->GetWidth() : -1;
}

int MultipleVideo::GetHeight()
{
    if (idle() || current < 0 || size_t(current) >= entries.size())
        return -1;
    IImageSource* source = sourceOf(*entries[size_t(current)]);
    return source ? source->GetHeight() : -1;
}

void MultipleVideo::SetPaused(bool pause)
{
    paused = pause;
    if (current >= 0 && size_t(current) < entries.size())
        if (IImageSource* source = sourceOf(*entries[size_t(current)]))
            source->SetPaused(pause);
}

void MultipleVideo::OnTheoraEvent(const std::wstring&)
{
    // A finished list stays finished, whatever an old video still says.
    if (entries.empty() || current < 0)
        return;
    // A count that is already 0 stays there.
    if (remaining > 0)
        --remaining;
    if (remaining == 0)
    {
        if (size_t(current) + 1 >= entries.size())
        {
            if (loop)
            {
                current = 0;
                remaining = entries.front()->repeatCount;
            }
            else
            {
                current = -1;
                remaining = 0;
            }
        }
        else
        {
            ++current;
            remaining = entries[size_t(current)]->repeatCount;
        }
    }
    startCurrent();
}

std::vector<uint32_t> MultipleVideo::ImageTarget::ReadVideoPixels(uint32_t& width, uint32_t& height)
{
    if (IVideoImage* shown = owner.liveImage())
        return shown->ReadVideoPixels(width, height);
    width = 0;
    height = 0;
    return {};
}

void MultipleVideo::ImageTarget::UploadVideoPixels(const uint32_t* pixels, uint32_t width, uint32_t height)
{
    if (IVideoImage* shown = owner.liveImage())
        shown->UploadVideoPixels(pixels, width, height);
}

} // namespace TarnEngine
