// Loading of JPEG 2000 pictures through OpenJPEG.
#include "engine/graphics/textures/Jpg2Loader.h"

#include "engine/graphics/textures/AlphaMask.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace TarnEngine
{

namespace
{

const uint8_t kJp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
const uint8_t kCodestreamStart[4] = {0xFF, 0x4F, 0xFF, 0x51};

// Which decoder the first bytes call for; false when they are neither a JP2 file nor a codestream.
bool chooseFormat(Jp2MemoryReader& reader, OPJ_CODEC_FORMAT* format)
{
    uint8_t head[sizeof(kJp2Signature)] = {};
    const int64_t size = reader.Size();
    const uint32_t count = uint32_t(std::min<int64_t>(size < 0 ? 0 : size, sizeof(head)));
    if (!reader.Read(head, count) || !reader.Seek(0, Jp2MemoryReader::eFromStart))
        return false;
    if (count == sizeof(kJp2Signature) && std::memcmp(head, kJp2Signature, sizeof(kJp2Signature)) == 0)
        *format = OPJ_CODEC_JP2;
    else if (count >= sizeof(kCodestreamStart) &&
             std::memcmp(head, kCodestreamStart, sizeof(kCodestreamStart)) == 0)
        *format = OPJ_CODEC_J2K;
    else
        return false;
    return true;
}

// One channel as 8-bit samples: where each picture column and row finds its sample, and how the
// sample's precision maps onto 0..255.
struct Channel
{
    const opj_image_comp_t* comp = nullptr;
    std::vector<uint32_t> columns;
    int32_t offset = 0;
    int32_t maximum = 0;

    uint8_t At(uint32_t column, uint32_t row) const
    {
        int64_t value = int64_t(comp->data[size_t(row) * comp->w + columns[column]]) + offset;
        value = std::clamp<int64_t>(value, 0, maximum);
        if (comp->prec > 8)
            return uint8_t(value >> (comp->prec - 8));
        if (comp->prec == 8)
            return uint8_t(value);
        return uint8_t(value * 255 / maximum);
    }
};

// Sample index of picture coordinate (origin + i) in a channel subsampled by step, clamped to it.
uint32_t sampleIndex(uint32_t origin, uint32_t i, uint32_t step, uint32_t channelOrigin, uint32_t count)
{
    const int64_t at = int64_t((uint64_t(origin) + i) / step) - int64_t(channelOrigin);
    return uint32_t(std::clamp<int64_t>(at, 0, int64_t(count) - 1));
}

} // namespace

Jpg2Loader::~Jpg2Loader()
{
    if (image)
        opj_image_destroy(image);
}

bool Jpg2Loader::ReadHeader(ImageSize* size)
{
    if (image || !reader.Open(name))
        return false;
    const bool ok = Decode();
    reader.Close();
    if (!ok)
        return false;
    if (size)
        *size = ImageSize{width, height};
    return true;
}

bool Jpg2Loader::Decode()
{
    OPJ_CODEC_FORMAT format = OPJ_CODEC_UNKNOWN;
    if (!chooseFormat(reader, &format))
        return false;
    opj_codec_t* codec = opj_create_decompress(format);
    opj_stream_t* stream = reader.CreateStream();
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    // A codestream cut short or damaged after its header still gives what decodes of it.
    bool ok = codec && stream && opj_setup_decoder(codec, &parameters) &&
              opj_decoder_set_strict_mode(codec, OPJ_FALSE) && opj_read_header(stream, codec, &image) &&
              image;
    if (ok)
    {
        // Refused on the header's word, before the decoder allocates the picture.
        ok = image->x1 > image->x0 && image->y1 > image->y0 &&
             IsLoadableImageSize(image->x1 - image->x0, image->y1 - image->y0) && image->numcomps >= 1 &&
             image->numcomps <= 4;
    }
    if (ok)
    {
        // The picture's size is known from here on: a picture that does not decode loads cleared.
        // What follows the picture in the file does not matter once it has decoded.
        decoded = opj_decode(codec, stream, image);
        if (decoded)
            opj_end_decompress(codec, stream);
        for (uint32_t c = 0; decoded && c < image->numcomps; ++c)
        {
            const opj_image_comp_t& comp = image->comps[c];
            decoded = comp.data && comp.w != 0 && comp.h != 0 && comp.dx != 0 && comp.dy != 0 &&
                      comp.prec != 0 && comp.prec <= 16;
        }
    }
    if (stream)
        opj_stream_destroy(stream);
    if (codec)
        opj_destroy_codec(codec);
    if (!ok)
        return false;
    width = image->x1 - image->x0;
    height = image->y1 - image->y0;
    return true;
}

bool Jpg2Loader::Load(IResourceTexture* texture)
{
    if (!texture || !image)
        return false;
    const uint32_t count = decoded ? image->numcomps : 0;
    Channel channels[4];
    std::vector<uint32_t> rows[4];
    for (uint32_t c = 0; c < count; ++c)
    {
        const opj_image_comp_t& comp = image->comps[c];
        Channel& channel = channels[c];
        channel.comp = &comp;
        channel.maximum = int32_t((1u << comp.prec) - 1);
        channel.offset = comp.sgnd ? int32_t(1u << (comp.prec - 1)) : 0;
        channel.columns.resize(width);
        for (uint32_t x = 0; x < width; ++x)
            channel.columns[x] = sampleIndex(image->x0, x, comp.dx, comp.x0, comp.w);
        rows[c].resize(height);
        for (uint32_t y = 0; y < height; ++y)
            rows[c][y] = sampleIndex(image->y0, y, comp.dy, comp.y0, comp.h);
    }
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return false;
    // Unreadable picture data leaves the picture's rows cleared (transparent black).
    std::memset(bits, decoded ? 0xFF : 0x00, size_t(height) * size_t(pitch));
    for (uint32_t y = 0; y < height && count != 0; ++y)
    {
        uint8_t* out = static_cast<uint8_t*>(bits) + ptrdiff_t(y) * pitch;
        for (uint32_t x = 0; x < width; ++x, out += 4)
        {
            if (count <= 2)
            {
                // Grey, and grey with alpha.
                out[0] = out[1] = out[2] = channels[0].At(x, rows[0][y]);
                if (count == 2)
                    out[3] = channels[1].At(x, rows[1][y]);
                continue;
            }
            out[0] = channels[2].At(x, rows[2][y]);
            out[1] = channels[1].At(x, rows[1][y]);
            out[2] = channels[0].At(x, rows[0][y]);
            if (count == 4)
                out[3] = channels[3].At(x, rows[3][y]);
        }
    }
    texture->Unlock();
    ApplyAlphaMask(AlphaMaskName(name), ImageSize{width, height}, texture);
    return true;
}

} // namespace TarnEngine
