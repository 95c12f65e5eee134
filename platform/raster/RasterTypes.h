// Value types of the software rasterizer that stands in for the 3D device: result codes, formats,
// state identifiers and the numeric state values the graphics code passes, present parameters, caps.
// Values that the engine's own code writes as numbers (blend factors, compare functions, stage ops,
// texture arguments, filters, lock and clear flags, the vertex format) keep those numbers.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Window;

namespace Raster
{

enum class Result : int32_t
{
    Ok = 0,
    DeviceLost,
    DeviceNotReset,
    NotAvailable,
    OutOfVideoMemory,
    DriverInternalError,
    InvalidCall,
};

const char* ResultName(Result result);

enum class Format : uint32_t
{
    Unknown = 0,
    A8R8G8B8,
    X8R8G8B8,
    R5G6B5,
    D16,
    Index16,
};

enum class DeviceType : uint32_t
{
    Hal = 1,
    Reference = 2,
    Software = 3,
};

enum class Pool : uint32_t
{
    Default = 0,
    Managed,
    SystemMem,
};

enum class ResourceType : uint32_t
{
    Surface = 1,
    Texture,
    VertexBuffer,
    IndexBuffer,
};

enum class PrimitiveType : uint32_t
{
    LineList = 2,
    TriangleList = 4,
};

// Render states the device knows; the identifiers are our own and index a table below Count.
enum class RenderState : uint32_t
{
    ZEnable = 0,
    ZWriteEnable,
    ZFunc,
    AlphaTestEnable,
    AlphaRef,
    AlphaFunc,
    AlphaBlendEnable,
    SrcBlend,
    DestBlend,
    TextureFactor,
    CullMode,
    Lighting,
    Count
};

enum class SamplerState : uint32_t
{
    MagFilter = 0,
    MinFilter,
    MipFilter,
    AddressU,
    AddressV,
    Count
};

enum class StageState : uint32_t
{
    ColorOp = 0,
    ColorArg1,
    ColorArg2,
    AlphaOp,
    AlphaArg1,
    AlphaArg2,
    Count
};

enum class TransformKind : uint32_t
{
    View = 2,
    Projection = 3,
    World = 256,
};

// Numeric state values as the engine writes them.
namespace Value
{
constexpr uint32_t CmpLess = 2;
constexpr uint32_t CmpGreater = 5;
constexpr uint32_t CmpGreaterEqual = 7;
constexpr uint32_t CmpAlways = 8;

constexpr uint32_t BlendZero = 1;
constexpr uint32_t BlendOne = 2;
constexpr uint32_t BlendSrcAlpha = 5;
constexpr uint32_t BlendInvSrcAlpha = 6;

constexpr uint32_t CullNone = 1;

constexpr uint32_t OpDisable = 1;
constexpr uint32_t OpSelectArg1 = 2;
constexpr uint32_t OpSelectArg2 = 3;
constexpr uint32_t OpModulate = 4;

constexpr uint32_t ArgDiffuse = 0;
constexpr uint32_t ArgTexture = 2;
constexpr uint32_t ArgTextureFactor = 3;

constexpr uint32_t FilterNone = 0;
constexpr uint32_t FilterPoint = 1;
constexpr uint32_t FilterLinear = 2;

constexpr uint32_t AddressClamp = 3;

constexpr uint32_t ClearTarget = 1;
constexpr uint32_t ClearZBuffer = 2;

constexpr uint32_t LockReadOnly = 0x10;
constexpr uint32_t LockDiscard = 0x2000;

constexpr uint32_t UsageRenderTarget = 1;
constexpr uint32_t UsageWriteOnly = 8;
constexpr uint32_t UsageDynamic = 0x200;

// Pre-transformed position with rhw, one diffuse colour, one texture coordinate set: 28 bytes.
constexpr uint32_t VertexFormatSprite = 0x144;
constexpr uint32_t VertexSizeSprite = 28;

constexpr uint32_t TextureCapsSquareOnly = 0x20;
constexpr uint32_t DevCapsHwTransformAndLight = 0x10000;

constexpr uint32_t CreateSoftwareVertexProcessing = 0x20;
constexpr uint32_t CreateHardwareVertexProcessing = 0x40;

constexpr uint32_t PresentFlagLockableBackBuffer = 1;
constexpr uint32_t SwapEffectCopy = 3;
constexpr uint32_t PresentIntervalDefault = 0;
constexpr uint32_t PresentIntervalOne = 1;
constexpr uint32_t PresentIntervalImmediate = 0x80000000;
} // namespace Value

struct DisplayMode
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    Format format = Format::X8R8G8B8;
};

struct DeviceCaps
{
    DeviceType deviceType = DeviceType::Hal;
    uint32_t adapterOrdinal = 0;
    uint32_t devCaps = 0;
    uint32_t textureCaps = 0;
    uint32_t maxTextureWidth = 4096;
    uint32_t maxTextureHeight = 4096;
    uint32_t maxPrimitiveCount = 0xFFFFF;
    uint32_t maxVertexIndex = 0xFFFFFF;
};

// Identity of an adapter; compared field by field when adapters are excluded.
struct AdapterIdentifier
{
    char driver[64] = {};
    char description[64] = {};
    uint8_t deviceIdentifier[16] = {};
    uint32_t vendorId = 0;
    uint32_t deviceId = 0;
};

struct PresentParams
{
    uint32_t backBufferWidth = 0;
    uint32_t backBufferHeight = 0;
    Format backBufferFormat = Format::X8R8G8B8;
    uint32_t backBufferCount = 1;
    uint32_t swapEffect = Value::SwapEffectCopy;
    SDL_Window* deviceWindow = nullptr;
    bool windowed = true;
    bool enableAutoDepthStencil = true;
    Format autoDepthStencilFormat = Format::D16;
    uint32_t flags = 0;
    uint32_t fullScreenRefreshRate = 0;
    uint32_t presentationInterval = Value::PresentIntervalOne;
};

struct LockedRect
{
    int32_t pitch = 0;
    void* bits = nullptr;
};

struct SurfaceDesc
{
    Format format = Format::Unknown;
    Pool pool = Pool::Default;
    uint32_t usage = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// 4x4 row-major float matrix, stored only: vertices reach the device already transformed.
struct Matrix4
{
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

} // namespace Raster
