// A moving picture that an image instance shows on its texture (a video): the image calls Update
// each time it is drawn, and the source writes a new frame into the image when one is due. Sources
// that play a file tell their listeners when that file has ended (ITheoraEventListener).
#pragma once

#include <string>
#include <vector>

namespace TarnEngine
{

class ITheoraEventListener
{
public:
    virtual ~ITheoraEventListener() = default;
    // The video of that file has ended.
    virtual void OnTheoraEvent(const std::wstring& fileName) = 0;
};

class IImageSource
{
public:
    virtual ~IImageSource() = default;
    // Starts from the beginning; endDelay: seconds to wait at the end before the listeners are told
    // (before starting again, when looping). False when nothing can be played.
    virtual bool Open(bool loop, float endDelay) = 0;
    virtual void Close() = 0;
    // Playing, or waiting out the end delay.
    virtual bool IsActive() = 0;
    // True when a new frame was written.
    virtual bool Update() = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual void SetPaused(bool pause) { paused = pause; }
    virtual bool IsPaused() { return paused; }
    virtual void AddListener(ITheoraEventListener*) {}
    virtual void RemoveListener(ITheoraEventListener*) {}

protected:
    bool paused = false;
};

// The listeners of a video, not owned, told in the order they were added.
class TheoraListenable
{
public:
    // Duplicates are allowed: such a listener is told once per entry.
    void AddTheoraListener(ITheoraEventListener* listener) { listeners.push_back(listener); }
    // Removes the first entry of that listener.
    void RemoveTheoraListener(ITheoraEventListener* listener);
    // A listener may add or remove listeners, or start the video again, while it is told; the
    // caller must not touch its own state afterwards, since a listener may have changed it.
    void NotifyTheoraListeners(const std::wstring& fileName);

private:
    std::vector<ITheoraEventListener*> listeners;
};

} // namespace TarnEngine
