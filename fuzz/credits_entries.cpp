// Fuzz target: any bytes read as "credits.xml" give an entry list, and a run of label hits over it
// (which panels exist and which one reached the label come from the first byte) always ends, never
// shows a trophy entry, never picks a missing panel and keeps single-line entries off the panel
// that reached the label unless it is the only one left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/ui/DlgCredits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    if (size < 1)
        return 0;
    const uint8_t mask = data[0];
    std::unique_ptr<XmlNode> root = ParseXmlFileBytes(data + 1, size - 1, false);
    if (!root)
        return 0;
    const std::vector<DlgCredits::CreditEntry> entries = DlgCredits::ReadEntries(*root);
    bool present[DlgCredits::PanelCount];
    for (uint32_t i = 0; i < DlgCredits::PanelCount; ++i)
        present[i] = (mask >> i) & 1;
    uint32_t counter = 0;
    int32_t reached = (mask >> 4) % 5 - 1;
    uint32_t draws = mask;
    const DlgCredits::Draw draw = [&](uint32_t count)
    { return (draws = draws * 1103515245u + 12345u) % count; };
    for (int hit = 0; hit < 8; ++hit)
    {
        const uint32_t before = counter;
        const DlgCredits::Pick pick = DlgCredits::PickNext(entries, counter, present, reached, draw);
        // At most one whole cycle per label.
        if (counter - before > entries.size())
            abort();
        if (!pick.found)
            continue;
        if (pick.entry >= entries.size() || pick.panel >= DlgCredits::PanelCount || !present[pick.panel])
            abort();
        const DlgCredits::CreditEntry& entry = entries[pick.entry];
        if (entry.title == DlgCredits::TrophyTitle)
            abort();
        const bool multiLine = entry.names.find(L'\n') != std::wstring::npos;
        if (multiLine != (pick.panel == DlgCredits::MultiLinePanel) ||
            !(pick.rate > 0.0f && pick.rate <= 1.0f))
            abort();
        if (!multiLine && int32_t(pick.panel) == reached)
            for (uint32_t other = 0; other < DlgCredits::MultiLinePanel; ++other)
                if (present[other] && int32_t(other) != reached)
                    abort();
        reached = int32_t(pick.panel);
    }
    return 0;
}
