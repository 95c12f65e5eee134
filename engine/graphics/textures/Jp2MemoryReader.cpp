// The file-system stream under the JPEG 2000 decoder.
#include "engine/graphics/textures/Jp2MemoryReader.h"

#include "engine/core/files/FileSystem.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{

Jp2MemoryReader* readerOf(void* user)
{
    return static_cast<Jp2MemoryReader*>(user);
}

// OpenJPEG reads in chunks and takes what is left at the end; -1 marks the end of the data.
OPJ_SIZE_T readChunk(void* buffer, OPJ_SIZE_T count, void* user)
{
    Jp2MemoryReader* reader = readerOf(user);
    const int64_t size = reader->Size();
    const int64_t at = reader->Tell();
    if (size < 0 || at < 0 || at >= size || count == 0)
        return OPJ_SIZE_T(-1);
    const uint32_t n = uint32_t(std::min<uint64_t>(count, uint64_t(size - at)));
    return reader->Read(buffer, n) ? n : OPJ_SIZE_T(-1);
}

OPJ_OFF_T skipBytes(OPJ_OFF_T count, void* user)
{
    Jp2MemoryReader* reader = readerOf(user);
    const int64_t size = reader->Size();
    const int64_t at = reader->Tell();
    if (size < 0 || at < 0)
        return -1;
    if (count < 0 || count > size - at)
    {
        reader->Seek(size, Jp2MemoryReader::eFromStart);
        return -1;
    }
    reader->Seek(count, Jp2MemoryReader::eFromCurrent);
    return count;
}

OPJ_BOOL seekTo(OPJ_OFF_T offset, void* user)
{
    Jp2MemoryReader* reader = readerOf(user);
    if (offset < 0 || offset > reader->Size())
        return OPJ_FALSE;
    return reader->Seek(offset, Jp2MemoryReader::eFromStart) ? OPJ_TRUE : OPJ_FALSE;
}

} // namespace

bool Jp2MemoryReader::Open(const std::wstring& name)
{
    FileSystem* files = FileSystem::Get();
    source = files ? files->Open(name) : nullptr;
    if (!IsValid())
        return false;
    position = 0;
    return true;
}

bool Jp2MemoryReader::Seek(int64_t offset, int origin)
{
    if (!IsValid())
        return false;
    switch (origin)
    {
    case eFromStart:
        position = uint32_t(offset);
        return true;
    case eFromCurrent:
        position = uint32_t(position + offset);
        return true;
    case eFromEnd:
        position = uint32_t(source->GetSize() + offset);
        return true;
    default:
        return false;
    }
}

int64_t Jp2MemoryReader::Tell()
{
    return IsValid() ? int64_t(position) : -1;
}

int64_t Jp2MemoryReader::Size()
{
    return IsValid() ? int64_t(source->GetSize()) : -1;
}

bool Jp2MemoryReader::Read(void* destination, uint32_t count)
{
    if (!IsValid() || !destination)
        return false;
    const uint64_t end = uint64_t(position) + count;
    if (end > source->GetSize())
        return false;
    uint32_t read = 0;
    if (!source->Read(position, static_cast<uint8_t*>(destination), count, &read) || read != count)
        return false;
    position += count;
    return true;
}

opj_stream_t* Jp2MemoryReader::CreateStream()
{
    if (!IsValid())
        return nullptr;
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    if (!stream)
        return nullptr;
    opj_stream_set_user_data(stream, this, nullptr);
    opj_stream_set_user_data_length(stream, OPJ_UINT64(source->GetSize()));
    opj_stream_set_read_function(stream, readChunk);
    opj_stream_set_skip_function(stream, skipBytes);
    opj_stream_set_seek_function(stream, seekTo);
    return stream;
}

} // namespace TarnEngine
