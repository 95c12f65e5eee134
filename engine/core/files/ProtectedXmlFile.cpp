// Protected settings files; see ProtectedXmlFile.h.
#include "engine/core/files/ProtectedXmlFile.h"

#include <cstring>
#include <vector>
#include <zlib.h>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{
// The text the settings key is derived from. Changing it makes every stored
// settings and profile file unreadable.
const wchar_t kSettingsKeyText[] = L"Halcyra Games engine settings";

uint32_t crcOf(const uint8_t* data, size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0)
    {
        const uInt chunk = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        crc = crc32(crc, data, chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

std::array<uint32_t, 4> BuildSettingsKey(const std::wstring& text)
{
    const std::string bytes = WStringToUtf8(text.empty() ? std::wstring(kSettingsKeyText) : text);
    std::array<uint32_t, 4> key{};
    uLong chain = crc32(0L, Z_NULL, 0);
    for (size_t i = 0; i < key.size(); ++i)
    {
        // Each word continues the checksum over the text once more, so the
        // four words differ while depending only on the text.
        chain = crc32(chain, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
        key[i] = static_cast<uint32_t>(chain) ^ (0x9E3779B9u * static_cast<uint32_t>(i + 1));
    }
    return key;
}

bool BuildProtectedXml(const XmlNode& root, ByteBuffer& out)
{
    return BuildProtectedXmlText(WriteXmlText(root), out);
}

bool BuildProtectedXmlText(const std::wstring& text, ByteBuffer& out)
{
    ByteBuffer payload;
    const uint8_t mark[2] = {0xFF, 0xFE};
    if (!payload.Write(mark, 2))
        return false;
    const std::vector<uint8_t> units = WStringToUtf16Le(text);
    if (!units.empty() && !payload.Write(units.data(), static_cast<uint32_t>(units.size())))
        return false;
    const std::array<uint32_t, 4> key = BuildSettingsKey();
    if (!payload.Encipher(key.data()))
        return false;
    const uint32_t size = payload.GetSize();
    const uint32_t crc = crcOf(payload.GetData(), size);
    const uint8_t header[4] = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
    return out.Write(header, 4) && out.Write(payload.GetData(), size);
}

bool SaveProtectedXml(const XmlNode& root, SettingsStore& store, const std::wstring& fileName, int location)
{
    ByteBuffer file;
    if (!BuildProtectedXml(root, file))
        return false;
    return WriteFileViaTemp(store, fileName, location, file);
}

std::unique_ptr<XmlNode> ParseXmlBuffer(ByteBuffer& buffer)
{
    const uint8_t zeros[2] = {0, 0};
    buffer.SetWritePosition(buffer.GetSize());
    if (!buffer.Write(zeros, 2))
        return nullptr;
    const uint8_t* data = buffer.GetData();
    const size_t size = buffer.GetSize();
    std::string text;
    if (data[0] == 0xFF && data[1] == 0xFE)
    {
        // The code units after the mark, up to the first zero unit.
        size_t units = 0;
        const size_t available = (size - 2) / 2;
        while (units < available && (data[2 + 2 * units] | data[3 + 2 * units]) != 0)
            ++units;
        text = WStringToUtf8(Utf16LeToWString(data + 2, units * 2));
    }
    else
        text.assign(reinterpret_cast<const char*>(data));
    // White space in texts is kept: these files hold the player's own data.
    auto root = std::make_unique<XmlNode>();
    if (!ParseXmlText(*root, text.c_str(), true))
        return nullptr;
    return root;
}

std::unique_ptr<XmlNode> ReadProtectedXml(const uint8_t* data, size_t size)
{
    if (!data || size < 5 || size > 0x7FFFFFF0u)
        return nullptr;
    if (readU32(data) == crcOf(data + 4, size - 4))
    {
        ByteBuffer payload;
        if (payload.Write(data + 4, static_cast<uint32_t>(size - 4)))
        {
            const std::array<uint32_t, 4> key = BuildSettingsKey();
            if (payload.Decipher(key.data()))
                if (std::unique_ptr<XmlNode> root = ParseXmlBuffer(payload))
                    return root;
        }
    }
    // Not a protected file (or not one of ours): perhaps plain XML.
    ByteBuffer plain;
    if (!plain.Write(data, static_cast<uint32_t>(size)))
        return nullptr;
    return ParseXmlBuffer(plain);
}

std::unique_ptr<XmlNode> LoadProtectedXml(SettingsStore& store, const std::wstring& fileName, int location)
{
    ByteBuffer file;
    if (!store.ReadFile(location, fileName, file))
        return nullptr;
    return ReadProtectedXml(file.GetData(), file.GetSize());
}

} // namespace TarnEngine
