// Theora videos in Ogg made in code with libtheora's encoder, for the video tests, fuzz seeds and
// benchmarks: flat or patterned frames of a given size, rate and pixel format, optionally behind a
// stream of another kind. Nothing here reads a file from anywhere.
#pragma once

#include <ogg/ogg.h>
#include <theora/theoraenc.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace TheoraFiles
{

using Bytes = std::vector<uint8_t>;

struct VideoSpec
{
    uint32_t width = 16;
    uint32_t height = 16;
    uint32_t fpsNumerator = 2;
    uint32_t fpsDenominator = 1;
    th_pixel_fmt format = TH_PF_420;
    int quality = 63;
    int serial = 1;
    // A beginning-of-stream page of another, unknown stream comes first, and one of its pages
    // comes between the Theora headers and the frames.
    bool otherStreamFirst = false;
};

// One frame of the whole picture: luma width x height, chroma of the format's size.
struct Frame
{
    std::vector<uint8_t> y;
    std::vector<uint8_t> u;
    std::vector<uint8_t> v;
};

inline uint32_t ChromaWidth(const VideoSpec& spec)
{
    return spec.format == TH_PF_444 ? spec.width : (spec.width + 1) / 2;
}
inline uint32_t ChromaHeight(const VideoSpec& spec)
{
    return spec.format == TH_PF_420 ? (spec.height + 1) / 2 : spec.height;
}

inline Frame FlatFrame(const VideoSpec& spec, uint8_t y, uint8_t u = 128, uint8_t v = 128)
{
    Frame frame;
    frame.y.assign(size_t(spec.width) * spec.height, y);
    frame.u.assign(size_t(ChromaWidth(spec)) * ChromaHeight(spec), u);
    frame.v.assign(frame.u.size(), v);
    return frame;
}

// A frame whose luma is fn(x, y), grey chroma.
inline Frame LumaFrame(const VideoSpec& spec, const std::function<uint8_t(uint32_t, uint32_t)>& fn)
{
    Frame frame = FlatFrame(spec, 0);
    for (uint32_t y = 0; y < spec.height; ++y)
        for (uint32_t x = 0; x < spec.width; ++x)
            frame.y[size_t(y) * spec.width + x] = fn(x, y);
    return frame;
}

namespace detail
{
inline void appendPage(Bytes& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}
inline void flushPages(Bytes& out, ogg_stream_state& stream)
{
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) > 0)
        appendPage(out, page);
}
inline void drainPages(Bytes& out, ogg_stream_state& stream)
{
    ogg_page page;
    while (ogg_stream_pageout(&stream, &page) > 0)
        appendPage(out, page);
}
// The picture copied into a frame-sized plane, its edge repeated into the padding.
inline std::vector<uint8_t> padPlane(const std::vector<uint8_t>& plane, uint32_t width, uint32_t height,
                                     uint32_t paddedWidth, uint32_t paddedHeight)
{
    std::vector<uint8_t> out(size_t(paddedWidth) * paddedHeight);
    for (uint32_t y = 0; y < paddedHeight; ++y)
        for (uint32_t x = 0; x < paddedWidth; ++x)
        {
            const uint32_t sx = x < width ? x : width - 1;
            const uint32_t sy = y < height ? y : height - 1;
            out[size_t(y) * paddedWidth + x] = plane[size_t(sy) * width + sx];
        }
    return out;
}
} // namespace detail

// The Ogg file of the frames (none: headers only).
inline Bytes Encode(const VideoSpec& spec, const std::vector<Frame>& frames)
{
    th_info info;
    th_info_init(&info);
    info.frame_width = (spec.width + 15) & ~15u;
    info.frame_height = (spec.height + 15) & ~15u;
    info.pic_width = spec.width;
    info.pic_height = spec.height;
    info.pic_x = 0;
    info.pic_y = 0;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = spec.format;
    info.fps_numerator = spec.fpsNumerator;
    info.fps_denominator = spec.fpsDenominator;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.target_bitrate = 0;
    info.quality = spec.quality;
    info.keyframe_granule_shift = 6;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    Bytes out;
    if (!encoder)
    {
        th_info_clear(&info);
        return out;
    }

    ogg_stream_state other;
    ogg_stream_init(&other, spec.serial + 100);
    auto otherPacket = [&](bool first, const char* text) {
        ogg_packet packet{};
        packet.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(text));
        packet.bytes = long(std::strlen(text));
        packet.b_o_s = first ? 1 : 0;
        packet.packetno = first ? 0 : 1;
        ogg_stream_packetin(&other, &packet);
        detail::flushPages(out, other);
    };
    if (spec.otherStreamFirst)
        otherPacket(true, "not a video header");

    ogg_stream_state stream;
    ogg_stream_init(&stream, spec.serial);
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    bool first = true;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0)
    {
        ogg_stream_packetin(&stream, &packet);
        // The identification header has a page of its own.
        if (first)
            detail::flushPages(out, stream);
        first = false;
    }
    detail::flushPages(out, stream);
    if (spec.otherStreamFirst)
        otherPacket(false, "data of another stream");

    const uint32_t frameWidth = info.frame_width;
    const uint32_t frameHeight = info.frame_height;
    const uint32_t cw = ChromaWidth(spec);
    const uint32_t ch = ChromaHeight(spec);
    const uint32_t pcw = spec.format == TH_PF_444 ? frameWidth : frameWidth / 2;
    const uint32_t pch = spec.format == TH_PF_420 ? frameHeight / 2 : frameHeight;
    for (size_t i = 0; i < frames.size(); ++i)
    {
        std::vector<uint8_t> y = detail::padPlane(frames[i].y, spec.width, spec.height, frameWidth, frameHeight);
        std::vector<uint8_t> u = detail::padPlane(frames[i].u, cw, ch, pcw, pch);
        std::vector<uint8_t> v = detail::padPlane(frames[i].v, cw, ch, pcw, pch);
        th_ycbcr_buffer buffer;
        buffer[0] = {int(frameWidth), int(frameHeight), int(frameWidth), y.data()};
        buffer[1] = {int(pcw), int(pch), int(pcw), u.data()};
        buffer[2] = {int(pcw), int(pch), int(pcw), v.data()};
        th_encode_ycbcr_in(encoder, buffer);
        const int last = i + 1 == frames.size() ? 1 : 0;
        while (th_encode_packetout(encoder, last, &packet) > 0)
            ogg_stream_packetin(&stream, &packet);
        detail::drainPages(out, stream);
    }
    detail::flushPages(out, stream);

    ogg_stream_clear(&stream);
    ogg_stream_clear(&other);
    th_comment_clear(&comment);
    th_encode_free(encoder);
    th_info_clear(&info);
    return out;
}

} // namespace TheoraFiles
