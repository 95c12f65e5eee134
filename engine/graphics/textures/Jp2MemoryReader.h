// Presents a file of the engine file system to OpenJPEG as a seekable input stream. Positions are
// 32-bit like every engine stream; a read succeeds only when all the bytes asked for lie in the file.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/core/files/StreamSource.h"

#include <cstdint>
#include <string>

#include <openjpeg.h>

namespace TarnEngine
{

class Jp2MemoryReader
{
public:
    enum Origin
    {
        eFromStart = 0,
        eFromCurrent = 1,
        eFromEnd = 2,
    };

    // Opens the name through the file system at position 0; false when there is no usable file.
    bool Open(const std::wstring& name);
    // Back to position 0; the file stays held until the reader goes.
    void Close() { position = 0; }
    bool IsSeekable() const { return true; }
    // Only the low 32 bits of the resulting position are kept; positions past the end are allowed
    // (a read there fails). False for an unknown origin or without a file.
    bool Seek(int64_t offset, int origin);
    // -1 without a file.
    int64_t Tell();
    int64_t Size();
    // Copies count bytes at the position and moves past them; false (nothing moved) unless they all
    // lie within the file.
    bool Read(void* destination, uint32_t count);

    // An OpenJPEG input stream reading through this reader (which must outlive it), or null.
    opj_stream_t* CreateStream();

private:
    bool IsValid() { return source && source->IsValid(); }

    RefPtr<StreamSourceCounted> source;
    uint32_t position = 0;
};

} // namespace TarnEngine
