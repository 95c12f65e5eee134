// Loading of JPEG pictures through libjpeg.
#include "engine/graphics/textures/JpegLoader.h"

#include "engine/core/files/FileSystem.h"
#include "engine/graphics/textures/AlphaMask.h"

#include <csetjmp>

#include <jerror.h>

namespace TarnEngine
{

namespace
{

struct ErrorManager
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// The library's own handler ends the process; this one returns to the decode that failed.
[[noreturn]] void returnOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings of slightly damaged data do not stop decoding, and the loaders print nothing.
void quietMessage(j_common_ptr) {}

void ignoreSource(j_decompress_ptr) {}

// Every scan of a multi-scan file costs a pass over the whole picture, and a file may repeat its
// scans thousands of times in a few bytes each. Real pictures use a few dozen at most; past this
// many (the bound libjpeg's own tools suggest) the file is refused, so that decoding time is bounded
// by the picture's size.
constexpr int kMaxScans = 1000;

// Called by the library before it takes in each further piece of a multi-scan file.
void limitScans(j_common_ptr common)
{
    if (reinterpret_cast<j_decompress_ptr>(common)->input_scan_number > kMaxScans)
    {
        common->err->msg_code = JERR_BAD_SCAN_SCRIPT;
        common->err->error_exit(common);
    }
}

JpegMemorySource* memorySource(j_decompress_ptr info)
{
    return reinterpret_cast<JpegMemorySource*>(info->src);
}

// The whole file at the first call. A second call means the data ran out before the picture did:
// the file was cut short, which is an error rather than a picture finished with stale rows.
boolean fillFromFile(j_decompress_ptr info)
{
    JpegMemorySource* source = memorySource(info);
    if (source->manager.next_input_byte == nullptr && source->source)
    {
        source->region = source->source->GetMemoryRegion();
        if (source->region && source->region->GetData() && source->region->GetSize() != 0)
        {
            source->manager.next_input_byte = source->region->GetData();
            source->manager.bytes_in_buffer = source->region->GetSize();
            return TRUE;
        }
    }
    info->err->msg_code = JERR_INPUT_EOF;
    info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    return FALSE;
}

void skipInFile(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& manager = memorySource(info)->manager;
    while (size_t(count) > manager.bytes_in_buffer)
    {
        // Skipping past what is there asks for more, which fails a cut-short file.
        count -= long(manager.bytes_in_buffer);
        manager.next_input_byte += manager.bytes_in_buffer;
        manager.bytes_in_buffer = 0;
        manager.fill_input_buffer(info);
    }
    manager.next_input_byte += count;
    manager.bytes_in_buffer -= size_t(count);
}

// Kept apart from everything with a destructor: a library error jumps back here. The pixel block
// is the loader's, so it is freed with the loader whichever way this ends.
bool decode(JpegMemorySource* source, ByteBlock* pixels, uint32_t* width, uint32_t* height)
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = returnOnError;
    errors.manager.output_message = quietMessage;
    if (setjmp(errors.jump))
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.src = &source->manager;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitScans;
    info.progress = &progress;
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        !IsLoadableImageSize(info.image_width, info.image_height) || info.out_color_space != JCS_RGB)
    {
        // Grey and four-component pictures are not taken; oversized ones are refused before the
        // decoder allocates for them.
        jpeg_destroy_decompress(&info);
        return false;
    }
    if (!jpeg_start_decompress(&info) || info.output_components != 3 ||
        !IsLoadableImageSize(info.output_width, info.output_height))
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const size_t rowLength = size_t(info.output_width) * 3;
    *pixels = AllocateBlock(rowLength * info.output_height);
    if (!*pixels)
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height)
    {
        JSAMPROW row = pixels->get() + rowLength * info.output_scanline;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
        {
            jpeg_destroy_decompress(&info);
            return false;
        }
    }
    *width = info.output_width;
    *height = info.output_height;
    const bool finished = jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return finished;
}

} // namespace

bool JpegLoader::ReadHeader(ImageSize* size)
{
    FileSystem* files = FileSystem::Get();
    if (!files || pixels)
        return false;
    JpegMemorySource source{};
    source.source = files->Open(name);
    if (!source.source || !source.source->IsValid())
        return false;
    source.manager.next_input_byte = nullptr;
    source.manager.bytes_in_buffer = 0;
    source.manager.init_source = ignoreSource;
    source.manager.fill_input_buffer = fillFromFile;
    source.manager.skip_input_data = skipInFile;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = ignoreSource;
    uint32_t w = 0, h = 0;
    if (!decode(&source, &pixels, &w, &h))
    {
        pixels.reset();
        return false;
    }
    width = w;
    height = h;
    if (size)
        *size = ImageSize{width, height};
    return true;
}

bool JpegLoader::Load(IResourceTexture* texture)
{
    if (!texture || !pixels)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return false;
    const uint8_t* in = pixels.get();
    for (uint32_t y = 0; y < height; ++y)
    {
        uint8_t* out = static_cast<uint8_t*>(bits) + ptrdiff_t(y) * pitch;
        for (uint32_t x = 0; x < width; ++x, in += 3, out += 4)
        {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 0xFF;
        }
    }
    texture->Unlock();
    ApplyAlphaMask(AlphaMaskName(name), ImageSize{width, height}, texture);
    return true;
}

} // namespace TarnEngine
