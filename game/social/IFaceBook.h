// The game's view of its social-network object: what the game object, the options screen and the
// social-network dialog call. One implementation (FaceBook) drives liblinkwell.so; the dialog's
// tests drive the dialog through a fake of their own. Operations that need a connection do
// nothing without one.
#pragma once

#include <cstdint>
#include <string>

class IFaceBook
{
public:
    // The game-side status that GetStatus reports.
    enum Status : int32_t
    {
        StatusIdle = 0,
        StatusReady = 1,
        StatusWorking = 2,
        StatusPosting = 3,
        StatusFailed = 4,
        StatusStopped = 5,
    };

    virtual ~IFaceBook() = default;

    // False: the game runs without the feature and drops the object.
    virtual bool Init(int32_t game) = 0;
    // After a profile became current: resets the flow and reads the profile's stored data.
    virtual void LoadProfile() = 0;
    // Once a frame: follows the connection.
    virtual void Update() = 0;
    virtual bool IsEnabled() const = 0;
    virtual void Disable() = 0;
    // Starts the flow again from the relay's first request.
    virtual void Restart() = 0;
    virtual int32_t GetStatus() = 0;
    // Sends only while enabled.
    virtual void Post(int32_t templateId, const std::wstring& text) = 0;
    virtual bool IsFirstOffer() const = 0;
    virtual void ClearFirstOffer() = 0;
};
