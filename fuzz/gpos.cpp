// Fuzz target for the OpenType GPOS pair-kerning reader: parse any bytes as
// a font file, then ask for pairs taken from the input itself, so that glyph
// numbers the file mentions are likely to be queried.
#include "engine/graphics/text/COtfGpos.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto font = TarnEngine::COtfHeader::Parse(data, size);
    const TarnEngine::IOtfGposTable& gpos = font->GetGpos();
    TarnEngine::OtfValueRecord value1, value2;
    for (size_t i = 0; i + 3 < size && i < 4096; i += 2)
    {
        const uint32_t first = (uint32_t(data[i]) << 8) | data[i + 1];
        const uint32_t second = (uint32_t(data[i + 2]) << 8) | data[i + 3];
        gpos.GetPairAdjustment(first, second, value1, value2);
    }
    gpos.GetPairAdjustment(0x10000, 0, value1, value2);
    return 0;
}
