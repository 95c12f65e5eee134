// Fuzz target: any bytes read as a protected settings file (or a plain XML
// file in its place) must give a document or nothing, never crash, and a
// document must survive being saved and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/ProtectedXmlFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    std::unique_ptr<XmlNode> root = ReadProtectedXml(data, size);
    if (!root)
        return 0;
    ByteBuffer image;
    if (!BuildProtectedXml(*root, image))
        std::abort();
    std::unique_ptr<XmlNode> again = ReadProtectedXml(image.GetData(), image.GetSize());
    if (!again)
        std::abort();
    return 0;
}
