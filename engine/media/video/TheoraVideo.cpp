// Theora video image source; see TheoraVideo.h.
#include "engine/media/video/TheoraVideo.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/FileSystem.h"
#include "engine/media/video/IVideoTarget.h"
#include "engine/media/video/YuvToBgra.h"
#include "platform/system/Clock.h"

#include <dlfcn.h>
#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace TarnEngine
{

#define LOG_VIDEO(...)                                                                                        \
    do                                                                                                         \
    {                                                                                                          \
        if (ILogger* logger = ILogger::Get())                                                                  \
            logger->Log(LogResources, __FILE__, __LINE__, __VA_ARGS__);                                        \
    } while (false)

// The Ogg and Theora records of one pass through the file. Each "ready" flag says which of them
// holds something to release.
struct aTheoraVideo::Decoder
{
    ogg_stream_state stream;
    ogg_sync_state sync;
    ogg_page page;
    ogg_packet packet;
    th_comment comment;
    th_info info;
    th_dec_ctx* context;
    th_setup_info* setup;
    th_ycbcr_buffer frame;
    bool streamReady;
    bool syncReady;
    bool headersReady; // info and comment
};

namespace
{

// The decoder library is opened by the first video rather than linked: on
// Debian it brings cairo, pixman and their X libraries, whose loading showed
// in the time to the first frame of a program that may never play a video.
struct TheoraDecoderLibrary
{
    decltype(&th_info_init) infoInit;
    decltype(&th_info_clear) infoClear;
    decltype(&th_comment_init) commentInit;
    decltype(&th_comment_clear) commentClear;
    decltype(&th_decode_headerin) decodeHeaderin;
    decltype(&th_decode_alloc) decodeAlloc;
    decltype(&th_decode_free) decodeFree;
    decltype(&th_setup_free) setupFree;
    decltype(&th_decode_packetin) decodePacketin;
    decltype(&th_decode_ycbcr_out) decodeYcbcrOut;
};

template <typename Fn>
bool resolve(void* handle, const char* name, Fn* out)
{
    *out = reinterpret_cast<Fn>(dlsym(handle, name));
    return *out != nullptr;
}

const TheoraDecoderLibrary* openTheora()
{
    static TheoraDecoderLibrary library;
    // Kept for the process: decoders may be made again at any time.
    void* handle = dlopen("libtheoradec.so.1", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle)
        return nullptr;
    const bool ok = resolve(handle, "th_info_init", &library.infoInit) &&
                    resolve(handle, "th_info_clear", &library.infoClear) &&
                    resolve(handle, "th_comment_init", &library.commentInit) &&
                    resolve(handle, "th_comment_clear", &library.commentClear) &&
                    resolve(handle, "th_decode_headerin", &library.decodeHeaderin) &&
                    resolve(handle, "th_decode_alloc", &library.decodeAlloc) &&
                    resolve(handle, "th_decode_free", &library.decodeFree) &&
                    resolve(handle, "th_setup_free", &library.setupFree) &&
                    resolve(handle, "th_decode_packetin", &library.decodePacketin) &&
                    resolve(handle, "th_decode_ycbcr_out", &library.decodeYcbcrOut);
    return ok ? &library : nullptr;
}

// Null when the library cannot be opened or lacks a function; not tried again.
const TheoraDecoderLibrary* theora()
{
    static const TheoraDecoderLibrary* library = openTheora();
    return library;
}

// A picture the converter can take, inside the decoded planes.
bool acceptableInfo(const th_info& info)
{
    return info.pixel_fmt == TH_PF_420 && info.pic_width > 0 && info.pic_height > 0 &&
           info.frame_width <= aTheoraVideo::MaxSide && info.frame_height <= aTheoraVideo::MaxSide &&
           size_t(info.pic_x) + info.pic_width <= info.frame_width &&
           size_t(info.pic_y) + info.pic_height <= info.frame_height && info.fps_numerator > 0 &&
           info.fps_denominator > 0;
}

} // namespace

aTheoraVideo::aTheoraVideo(IVideoTarget* targetIn, const std::wstring& fileNameIn, bool lumaAlpha,
                           const Platform::CounterSource* clockIn)
    : lumaOnly(lumaAlpha), decoder(std::make_unique<Decoder>()), alphaOnly(lumaAlpha), fileName(fileNameIn),
      target(targetIn), clock(clockIn ? clockIn : &Platform::SystemCounter())
{
    std::memset(static_cast<void*>(decoder.get()), 0, sizeof(Decoder));
}

aTheoraVideo::~aTheoraVideo()
{
    clearDecoder();
}

double aTheoraVideo::now() const
{
    return double(clock->Counter()) / double(clock->Frequency());
}

void aTheoraVideo::clearDecoder()
{
    Decoder& d = *decoder;
    // Decoder state exists only once the library has been opened.
    const TheoraDecoderLibrary* th = theora();
    if (d.context)
        th->decodeFree(d.context);
    if (d.setup)
        th->setupFree(d.setup);
    if (d.headersReady)
    {
        th->infoClear(&d.info);
        th->commentClear(&d.comment);
    }
    if (d.streamReady)
        ogg_stream_clear(&d.stream);
    if (d.syncReady)
        ogg_sync_clear(&d.sync);
    std::memset(static_cast<void*>(&d), 0, sizeof(Decoder));
}

uint32_t aTheoraVideo::readChunk()
{
    char* buffer = ogg_sync_buffer(&decoder->sync, long(ChunkSize));
    if (!buffer)
        return 0;
    uint32_t count = 0;
    if (!stream.Read(reinterpret_cast<uint8_t*>(buffer), ChunkSize, &count))
        count = 0;
    ogg_sync_wrote(&decoder->sync, long(count));
    return count;
}

bool aTheoraVideo::readHeaders()
{
    clearDecoder();
    const TheoraDecoderLibrary* th = theora();
    if (!th)
    {
        LOG_VIDEO(L"video %s: the Theora decoder (libtheoradec.so.1) cannot be loaded", fileName);
        return false;
    }
    Decoder& d = *decoder;
    ogg_sync_init(&d.sync);
    d.syncReady = true;
    th->infoInit(&d.info);
    th->commentInit(&d.comment);
    d.headersReady = true;
    int headers = 0;

    // Beginning-of-stream pages come first; the first whose packet is a Theora header names the
    // stream. The first page of another kind ends the search and belongs to the stream.
    bool searching = true;
    while (searching)
    {
        if (readChunk() == 0)
            return false;
        for (;;)
        {
            const int got = ogg_sync_pageout(&d.sync, &d.page);
            if (got == 0)
                break;
            if (got < 0)
                continue; // bytes skipped to find the next page
            if (!ogg_page_bos(&d.page))
            {
                if (d.streamReady)
                    ogg_stream_pagein(&d.stream, &d.page);
                searching = false;
                break;
            }
            if (headers != 0)
                continue; // another stream of the file
            ogg_stream_state test;
            if (ogg_stream_init(&test, ogg_page_serialno(&d.page)) != 0)
                return false;
            if (ogg_stream_pagein(&test, &d.page) != 0 || ogg_stream_packetout(&test, &d.packet) != 1)
            {
                ogg_stream_clear(&test);
                return false;
            }
            if (th->decodeHeaderin(&d.info, &d.comment, &d.setup, &d.packet) > 0)
            {
                d.stream = test;
                d.streamReady = true;
                headers = 1;
            }
            else
                ogg_stream_clear(&test);
        }
    }
    if (headers == 0)
        return false;

    // The comment and setup headers follow, possibly over several pages.
    for (;;)
    {
        while (headers < 3)
        {
            const int got = ogg_stream_packetout(&d.stream, &d.packet);
            if (got == 0)
                break;
            if (got < 0 || th->decodeHeaderin(&d.info, &d.comment, &d.setup, &d.packet) <= 0)
                return false;
            ++headers;
        }
        if (headers >= 3)
            break;
        if (ogg_sync_pageout(&d.sync, &d.page) > 0)
            ogg_stream_pagein(&d.stream, &d.page);
        else if (readChunk() == 0)
            return false;
    }
    // The decoder's own frame store follows the header's size: refuse what the converter cannot
    // take before anything that large is allocated.
    if (!acceptableInfo(d.info))
    {
        LOG_VIDEO(L"video %s: unsupported picture (%ux%u, pixel format %d)", fileName, d.info.pic_width,
                  d.info.pic_height, int(d.info.pixel_fmt));
        return false;
    }
    d.context = th->decodeAlloc(&d.info, d.setup);
    return d.context != nullptr;
}

bool aTheoraVideo::Open(bool loopIn, float endDelayIn)
{
    Close();
    FileSystem* files = FileSystem::Get();
    stream = files ? files->OpenStream(fileName) : Stream();
    if (stream.IsValid() && !readHeaders())
    {
        LOG_VIDEO(L"video %s: no usable Theora stream", fileName);
        clearDecoder();
        stream = Stream();
    }
    if (stream.IsValid())
    {
        const th_info& info = decoder->info;
        const size_t count = size_t(info.pic_width) * info.pic_height;
        if (pixels.size() != count)
            pixels.assign(count, 0);
        if (target && alphaOnly)
        {
            // The image's colours stay; only the part that both share is taken over.
            uint32_t width = 0;
            uint32_t height = 0;
            const std::vector<uint32_t> image = target->ReadVideoPixels(width, height);
            if (image.size() >= size_t(width) * height)
            {
                const uint32_t columns = std::min<uint32_t>(width, info.pic_width);
                const uint32_t rows = std::min<uint32_t>(height, info.pic_height);
                for (uint32_t row = 0; row < rows; ++row)
                    std::memcpy(pixels.data() + size_t(row) * info.pic_width, image.data() + size_t(row) * width,
                                size_t(columns) * 4);
            }
        }
        frameInterval = double(info.fps_denominator) / double(info.fps_numerator);
    }
    else if (!files)
        LOG_VIDEO(L"video %s: no file system", fileName);
    loop = loopIn;
    endDelay = endDelayIn;
    endCountdown = 0.0;
    lastFrameTime = now();
    return stream.IsValid();
}

void aTheoraVideo::Close()
{
    if (stream.IsValid())
        clearDecoder();
    stream = Stream();
}

bool aTheoraVideo::IsActive()
{
    return stream.IsValid() || endCountdown > 0.0;
}

int aTheoraVideo::GetWidth()
{
    return int(decoder->info.pic_width);
}

int aTheoraVideo::GetHeight()
{
    return int(decoder->info.pic_height);
}

bool aTheoraVideo::decodeFrame()
{
    Decoder& d = *decoder;
    bool rewound = false;
    for (;;)
    {
        const int got = ogg_stream_packetout(&d.stream, &d.packet);
        if (got > 0)
            break;
        if (got < 0)
            continue; // a gap in the data; the next packet follows
        // Pages read with the headers, or with an earlier chunk, come before more of the file:
        // a short file may already lie whole in the sync buffer.
        if (ogg_sync_pageout(&d.sync, &d.page) > 0)
        {
            ogg_stream_pagein(&d.stream, &d.page);
            continue;
        }
        if (readChunk() != 0)
            continue;
        // The end of the file.
        if (!loop)
        {
            clearDecoder();
            stream = Stream();
            if (endDelay > 0.0f)
            {
                endCountdown = endDelay;
                return false;
            }
            // A listener may open this video again: nothing is touched after telling them.
            NotifyTheoraListeners(fileName);
            return false;
        }
        // A file with headers but no frames would rewind for ever: once per update at most.
        if (rewound)
            return false;
        rewound = true;
        stream.SetReadPosition(0);
        if (!readHeaders())
        {
            LOG_VIDEO(L"video %s: cannot start again", fileName);
            clearDecoder();
            stream = Stream();
            return false;
        }
        if (endDelay > 0.0f)
        {
            // The last frame stays for the delay; the first comes after it.
            endCountdown = endDelay;
            return false;
        }
    }
    ogg_int64_t granule = 0;
    const TheoraDecoderLibrary* th = theora();
    const int result = th->decodePacketin(d.context, &d.packet, &granule);
    if (result < 0)
        return false;
    if (th->decodeYcbcrOut(d.context, d.frame) != 0)
        return false;
    const th_info& info = d.info;
    // The planes always cover the frame the header gave; the picture lies inside it (acceptableInfo).
    if (uint32_t(d.frame[0].width) < info.frame_width || uint32_t(d.frame[0].height) < info.frame_height)
        return false;
    ConvertYuv420(d.frame, info.pic_x, info.pic_y, info.pic_width, info.pic_height,
                  lumaOnly ? (alphaOnly ? YuvConversion::AlphaOnly : YuvConversion::Grey) : YuvConversion::Colour,
                  pixels.data());
    return true;
}

bool aTheoraVideo::Update()
{
    const double time = now();
    if (endCountdown > 0.0)
    {
        endCountdown -= time - lastFrameTime;
        lastFrameTime = time;
        // A countdown that lands exactly on 0 has ended too.
        if (endCountdown <= 0.0 && !loop)
            NotifyTheoraListeners(fileName);
        return false;
    }
    if (!stream.IsValid())
        return false;
    const double elapsed = time - lastFrameTime;
    if (elapsed < frameInterval)
        return false;
    // However long the caller was away, one frame now and the next one interval later.
    lastFrameTime = time - std::fmod(elapsed, frameInterval);
    if (paused || !decodeFrame())
        return false;
    if (target)
        target->UploadVideoPixels(pixels.data(), decoder->info.pic_width, decoder->info.pic_height);
    return true;
}

void TheoraListenable::RemoveTheoraListener(ITheoraEventListener* listener)
{
    const auto found = std::find(listeners.begin(), listeners.end(), listener);
    if (found != listeners.end())
        listeners.erase(found);
}

void TheoraListenable::NotifyTheoraListeners(const std::wstring& fileNameIn)
{
    // The name may belong to the video, which a listener may open again or delete.
    const std::wstring name = fileNameIn;
    const std::vector<ITheoraEventListener*> told = listeners;
    for (ITheoraEventListener* listener : told)
        // One that an earlier listener removed is no longer told.
        if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
            listener->OnTheoraEvent(name);
}

} // namespace TarnEngine
