// Shared set-up of the texture-loader tests: a file system over files held in memory, a texture in
// memory that records how it was sized and locked (its texels start as a known fill, so untouched
// texels show), and encoders that make the pictures in the test (PNG through libpng, JPEG through
// libjpeg, JPEG 2000 through OpenJPEG, TGA and BMP by hand).
#pragma once

#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/graphics/textures/IResourceTexture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <openjpeg.h>
#include <png.h>

namespace LoaderTest
{

using namespace TarnEngine;
using Bytes = std::vector<uint8_t>;

// Files by exact name, opened as memory sources.
class MemoryFiles : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        auto found = files.find(name);
        if (found == files.end())
            return nullptr;
        const Bytes& data = found->second;
        ByteBlock block = AllocateBlock(data.size());
        if (!data.empty())
            std::memcpy(block.get(), data.data(), data.size());
        return new RecordingSource(std::move(block), uint32_t(data.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return files.count(name) != 0; }
    std::wstring GetName() override { return L"Memory"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }

    std::map<std::wstring, Bytes> files;
    // Where each read through these files started, so a test sees how far a loader read before it
    // gave up.
    std::vector<uint32_t> readPositions;

private:
    class RecordingSource : public MemorySource
    {
    public:
        RecordingSource(ByteBlock data, uint32_t size, const std::wstring& name, MemoryFiles* files)
            : MemorySource(std::move(data), size, name, files), m_files(files)
        {
        }
        bool Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount) override
        {
            m_files->readPositions.push_back(position);
            return MemorySource::Read(position, dest, count, readCount);
        }

    private:
        MemoryFiles* m_files;
    };
};

constexpr uint8_t kFill = 0x5A;

// A texture in memory: storage of power-of-two sides, every byte kFill after Allocate.
class MemoryTexture : public IResourceTexture
{
public:
    explicit MemoryTexture(const std::wstring& name = L"texture") : IResourceTexture(name) {}

    bool Load() override { return false; }
    bool Allocate(ImageSize size) override
    {
        ++allocations;
        if (failAllocate)
            return false;
        image = size;
        textureWidth = sideFor(size.width);
        textureHeight = sideFor(size.height);
        texels.assign(size_t(textureWidth) * textureHeight * 4, kFill);
        return true;
    }
    void Bind(uint32_t, bool) override {}
    bool Lock(void** bits, int32_t* pitch, bool) override
    {
        if (failLock || texels.empty())
            return false;
        ++locks;
        *bits = texels.data();
        *pitch = int32_t(textureWidth * 4);
        return true;
    }
    void Unlock() override { ++unlocks; }
    void GetTextureSize(uint32_t* w, uint32_t* h) override
    {
        *w = textureWidth;
        *h = textureHeight;
    }
    void GetImageSize(uint32_t* w, uint32_t* h) override
    {
        *w = image.width;
        *h = image.height;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return uint32_t(texels.size()); }

    // The texel as an ARGB word.
    uint32_t Texel(uint32_t x, uint32_t y) const
    {
        const uint8_t* p = &texels[(size_t(y) * textureWidth + x) * 4];
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }

    ImageSize image;
    uint32_t textureWidth = 0;
    uint32_t textureHeight = 0;
    std::vector<uint8_t> texels;
    int allocations = 0;
    int locks = 0;
    int unlocks = 0;
    bool failAllocate = false;
    bool failLock = false;

private:
    static uint32_t sideFor(uint32_t value)
    {
        uint32_t side = 1;
        while (side < value)
            side <<= 1;
        return side;
    }
};

constexpr uint32_t kAllFill = 0x5A5A5A5Au;

// A picture as ARGB words, rows from the top.
struct Picture
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(uint32_t x, uint32_t y) const { return argb[size_t(y) * width + x]; }
};

// Smooth colours (kind to lossy coders) with alpha varying over the picture.
inline Picture MakePicture(uint32_t width, uint32_t height)
{
    Picture p{width, height, {}};
    p.argb.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t r = 40 + x * 160 / width;
            const uint32_t g = 30 + y * 180 / height;
            const uint32_t b = 200 - (x + y) * 100 / (width + height);
            const uint32_t a = (x * 37 + y * 91) & 0xFF;
            p.argb[size_t(y) * width + x] = a << 24 | r << 16 | g << 8 | b;
        }
    return p;
}

// The texture's picture area equals the picture (alpha forced when given).
inline ::testing::AssertionResult SameTexels(const MemoryTexture& texture, const Picture& picture,
                                             int tolerance = 0, int forcedAlpha = -1)
{
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
        {
            uint32_t want = picture.At(x, y);
            if (forcedAlpha >= 0)
                want = (want & 0x00FFFFFFu) | uint32_t(forcedAlpha) << 24;
            const uint32_t got = texture.Texel(x, y);
            for (int shift = 0; shift < 32; shift += 8)
            {
                const int d = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
                if (d > tolerance || d < -tolerance)
                {
                    char text[96];
                    std::snprintf(text, sizeof text, "texel (%u, %u) is %08X, expected %08X", x, y, got,
                                  want);
                    return ::testing::AssertionFailure() << text;
                }
            }
        }
    return ::testing::AssertionSuccess();
}

// Every texel outside the picture area still holds the fill.
inline ::testing::AssertionResult FillOutside(const MemoryTexture& texture, uint32_t width, uint32_t height)
{
    for (uint32_t y = 0; y < texture.textureHeight; ++y)
        for (uint32_t x = 0; x < texture.textureWidth; ++x)
            if ((x >= width || y >= height) && texture.Texel(x, y) != kAllFill)
                return ::testing::AssertionFailure() << "texel (" << x << ", " << y << ") was written";
    return ::testing::AssertionSuccess();
}

// ---- TGA and BMP by hand ----

inline void PutU16(Bytes& out, size_t at, uint32_t value)
{
    out[at] = uint8_t(value);
    out[at + 1] = uint8_t(value >> 8);
}

inline void PutU32(Bytes& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(value >> (8 * i));
}

// An uncompressed TGA: header, image ID, then the picture's rows as stored (first row first), each
// pixel blue, green, red, alpha (depth 32) or blue, green, red (depth 24).
inline Bytes MakeTga(const Picture& picture, uint32_t depth = 32, uint32_t idLength = 0,
                     uint8_t imageType = 2, uint8_t descriptor = 0x28)
{
    Bytes out(18 + idLength, 0);
    out[0] = uint8_t(idLength);
    out[2] = imageType;
    PutU16(out, 12, picture.width);
    PutU16(out, 14, picture.height);
    out[16] = uint8_t(depth);
    out[17] = descriptor;
    for (uint32_t i = 0; i < idLength; ++i)
        out[18 + i] = uint8_t('A' + i % 26);
    for (uint32_t value : picture.argb)
        for (uint32_t b = 0; b < depth / 8; ++b)
            out.push_back(uint8_t(value >> (8 * b)));
    return out;
}

// An 8-bit BMP whose stored index of each pixel is values(x, y), rows stored bottom-up as BMPs are.
inline Bytes MakeBmp8(int32_t width, int32_t height, const std::function<uint8_t(uint32_t, uint32_t)>& values,
                      uint32_t bitCount = 8)
{
    const uint32_t rows = uint32_t(height < 0 ? -height : height);
    const uint32_t rowLength = (uint32_t(width) * (bitCount / 8) + 3) & ~3u;
    const uint32_t offset = 54 + 256 * 4;
    Bytes out(offset + size_t(rowLength) * rows, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutU32(out, 2, uint32_t(out.size()));
    PutU32(out, 10, offset);
    PutU32(out, 14, 40);
    PutU32(out, 18, uint32_t(width));
    PutU32(out, 22, uint32_t(height));
    PutU16(out, 26, 1);
    PutU16(out, 28, bitCount);
    for (uint32_t i = 0; i < 256; ++i)
        PutU32(out, 54 + i * 4, 0x00FFFFFFu); // a palette the mask does not use
    for (uint32_t stored = 0; stored < rows; ++stored)
    {
        const uint32_t y = height < 0 ? stored : rows - 1 - stored;
        for (uint32_t x = 0; x < uint32_t(width); ++x)
            for (uint32_t b = 0; b < bitCount / 8; ++b)
                out[offset + size_t(stored) * rowLength + x * (bitCount / 8) + b] = values(x, y);
    }
    return out;
}

// ---- PNG through libpng ----

struct PngOptions
{
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    bool interlaced = false;
};

// The picture as a PNG. Palette pictures index a 256-entry grey ramp with the blue byte; grey ones
// store the blue byte; 16-bit channels repeat each byte.
inline Bytes EncodePng(const Picture& picture, PngOptions options = {})
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length)
        {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, picture.width, picture.height, options.bitDepth, options.colourType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (options.colourType == PNG_COLOR_TYPE_PALETTE)
    {
        png_color palette[256];
        for (int i = 0; i < 256; ++i)
            palette[i] = png_color{png_byte(i), png_byte(i), png_byte(i)};
        png_set_PLTE(png, info, palette, 256);
    }
    png_write_info(png, info);
    const int channels = png_get_channels(png, info);
    const int bytes = options.bitDepth / 8;
    std::vector<Bytes> rows(picture.height);
    std::vector<png_bytep> pointers;
    for (uint32_t y = 0; y < picture.height; ++y)
    {
        Bytes& row = rows[y];
        for (uint32_t x = 0; x < picture.width; ++x)
        {
            const uint32_t v = picture.At(x, y);
            const uint8_t r = uint8_t(v >> 16), g = uint8_t(v >> 8), b = uint8_t(v), a = uint8_t(v >> 24);
            uint8_t samples[4] = {r, g, b, a};
            if (channels <= 2)
            {
                samples[0] = b;
                samples[1] = a;
            }
            for (int c = 0; c < channels; ++c)
                for (int k = 0; k < bytes; ++k)
                    row.push_back(samples[c]);
        }
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---- JPEG through libjpeg ----

struct JpegOptions
{
    int components = 3;
    int lumaH = 1; // sampling factors of the first component (chroma stays 1 x 1)
    int lumaV = 1;
    int quality = 95;
    int restartInterval = 0; // in MCUs
    bool progressive = false;
    bool rgbCoded = false; // as cjpeg -rgb writes it: RGB components, identifiers 'R', 'G', 'B', Adobe flag 0
};

inline Bytes EncodeJpeg(const Picture& picture, JpegOptions options = {})
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = picture.width;
    info.image_height = picture.height;
    info.input_components = options.components;
    info.in_color_space = options.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.rgbCoded)
        jpeg_set_colorspace(&info, JCS_RGB);
    if (options.components == 3)
    {
        info.comp_info[0].h_samp_factor = options.lumaH;
        info.comp_info[0].v_samp_factor = options.lumaV;
        for (int c = 1; c < 3; ++c)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    info.restart_interval = unsigned(options.restartInterval);
    if (options.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    Bytes row(size_t(picture.width) * options.components);
    while (info.next_scanline < info.image_height)
    {
        const uint32_t y = info.next_scanline;
        for (uint32_t x = 0; x < picture.width; ++x)
        {
            const uint32_t v = picture.At(x, y);
            if (options.components == 1)
                row[x] = uint8_t(v >> 8);
            else
            {
                row[x * 3] = uint8_t(v >> 16);
                row[x * 3 + 1] = uint8_t(v >> 8);
                row[x * 3 + 2] = uint8_t(v);
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// What libjpeg itself makes of a JPEG (its default settings), as opaque ARGB; empty on failure.
inline Picture DecodeJpegWithLibjpeg(const Bytes& file)
{
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    Picture p{info.output_width, info.output_height, {}};
    Bytes row(size_t(info.output_width) * info.output_components);
    while (info.output_scanline < info.output_height)
    {
        JSAMPROW pointer = row.data();
        jpeg_read_scanlines(&info, &pointer, 1);
        for (uint32_t x = 0; x < p.width; ++x)
        {
            const uint8_t* s = &row[size_t(x) * info.output_components];
            const uint32_t r = s[0], g = info.output_components == 3 ? s[1] : s[0],
                           b = info.output_components == 3 ? s[2] : s[0];
            p.argb.push_back(0xFF000000u | r << 16 | g << 8 | b);
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return p;
}

// ---- JPEG 2000 through OpenJPEG ----

struct Jp2Options
{
    int components = 3;     // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    bool fileFormat = true; // a JP2 file, else a raw codestream
};

struct MemoryOutput
{
    Bytes data;
    size_t position = 0;
};

// The picture coded losslessly.
inline Bytes EncodeJp2(const Picture& picture, Jp2Options options = {})
{
    opj_image_cmptparm_t parameters[4];
    std::memset(parameters, 0, sizeof parameters);
    for (int c = 0; c < options.components; ++c)
    {
        parameters[c].dx = parameters[c].dy = 1;
        parameters[c].w = picture.width;
        parameters[c].h = picture.height;
        parameters[c].prec = 8;
    }
    const bool grey = options.components <= 2;
    opj_image_t* image =
        opj_image_create(uint32_t(options.components), parameters, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB);
    image->x1 = picture.width;
    image->y1 = picture.height;
    if (options.components == 2 || options.components == 4)
        image->comps[options.components - 1].alpha = 1;
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
        {
            const uint32_t v = picture.At(x, y);
            const size_t i = size_t(y) * picture.width + x;
            if (grey)
            {
                image->comps[0].data[i] = int32_t(v & 0xFF);
                if (options.components == 2)
                    image->comps[1].data[i] = int32_t(v >> 24);
            }
            else
            {
                image->comps[0].data[i] = int32_t((v >> 16) & 0xFF);
                image->comps[1].data[i] = int32_t((v >> 8) & 0xFF);
                image->comps[2].data[i] = int32_t(v & 0xFF);
                if (options.components == 4)
                    image->comps[3].data[i] = int32_t(v >> 24);
            }
        }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0;
    settings.cp_disto_alloc = 1;
    settings.tcp_mct = options.components >= 3 ? 1 : 0;
    int resolutions = 6;
    while (resolutions > 1 && (1u << (resolutions - 1)) > std::min(picture.width, picture.height))
        --resolutions;
    settings.numresolution = resolutions;
    opj_codec_t* codec = opj_create_compress(options.fileFormat ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_setup_encoder(codec, &settings, image);
    MemoryOutput output;
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
    opj_stream_set_user_data(stream, &output, nullptr);
    opj_stream_set_write_function(stream,
                                  [](void* buffer, OPJ_SIZE_T count, void* user) -> OPJ_SIZE_T
                                  {
                                      auto* o = static_cast<MemoryOutput*>(user);
                                      if (o->data.size() < o->position + count)
                                          o->data.resize(o->position + count);
                                      std::memcpy(o->data.data() + o->position, buffer, count);
                                      o->position += count;
                                      return count;
                                  });
    opj_stream_set_skip_function(stream,
                                 [](OPJ_OFF_T count, void* user) -> OPJ_OFF_T
                                 {
                                     auto* o = static_cast<MemoryOutput*>(user);
                                     o->position = size_t(OPJ_OFF_T(o->position) + count);
                                     return count;
                                 });
    opj_stream_set_seek_function(stream,
                                 [](OPJ_OFF_T at, void* user) -> OPJ_BOOL
                                 {
                                     static_cast<MemoryOutput*>(user)->position = size_t(at);
                                     return OPJ_TRUE;
                                 });
    const bool ok = opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
                    opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return ok ? output.data : Bytes{};
}

// A file system over files in memory, live for the test.
class LoaderFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto source = std::make_unique<MemoryFiles>();
        files = source.get();
        ASSERT_TRUE(fileSystem.AddSource(std::move(source)));
    }

    void Put(const std::wstring& name, Bytes data) { files->files[name] = std::move(data); }

    // Puts the file under the name, then ReadHeader, Allocate and Load as the recreater does;
    // returns which step failed (0 none) and the size the header gave.
    template <class Loader>
    int LoadWith(const std::wstring& name, const Bytes& file, MemoryTexture& texture,
                 ImageSize* size = nullptr)
    {
        Put(name, file);
        Loader loader(name);
        ImageSize read;
        if (!loader.ReadHeader(&read))
            return 1;
        if (size)
            *size = read;
        if (!texture.Allocate(read))
            return 2;
        return loader.Load(&texture) ? 0 : 3;
    }

    FileSystem fileSystem;
    MemoryFiles* files = nullptr;
};

// Copies of a file cut at a few places: inside the header, in the middle, one byte short.
inline std::vector<Bytes> Truncations(const Bytes& file)
{
    std::vector<Bytes> cuts;
    for (size_t keep : {size_t(1), size_t(10), size_t(40), file.size() / 3, file.size() / 2,
                        file.size() * 9 / 10, file.size() - 1})
        if (keep > 0 && keep < file.size())
            cuts.emplace_back(file.begin(), file.begin() + ptrdiff_t(keep));
    return cuts;
}

} // namespace LoaderTest
