// A moving picture that an image instance shows instead of its texture (a
// video): opened and started by its user, active while it plays.
#pragma once

namespace TarnEngine
{

class IImageSource
{
public:
    virtual ~IImageSource() = default;
    virtual bool Open(int first, int second) = 0;
    virtual bool IsActive() = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
};

} // namespace TarnEngine
