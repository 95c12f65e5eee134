// Fuzz target: any bytes loaded as a definition file and then applied as a meta file to what it
// defined (so that nuggets are made from the same text), then every movie made and every entry's
// child made. Loading must give definitions or nothing, and what it gives must keep the loader's
// promises: one key per frame, angles in range, atlas rectangles inside their logical images.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/display/node/Instance_Base.h"

namespace
{

using namespace TarnEngine;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkMovie(Definition_Movie& movie)
{
    for (const InstanceEntry& entry : movie.entries)
    {
        check(entry.keys.size() == movie.length);
        for (const KeyEntry& key : entry.keys)
            check(std::isfinite(key.rotation) && key.rotation >= 0.0f && key.rotation < 6.2831855f);
        check(entry.kind == eEntryLibrary || entry.kind == eEntryText);
        if (entry.kind == eEntryText)
            check(entry.lineSpacing >= 1.0 && entry.lineSpacing <= 2.0);
    }
    RObject::DeleteSelf(movie.CreateInstance(L"fuzz", nullptr));
    for (uint32_t i = 0; i < movie.entries.size() && i < 64; ++i)
        RObject::DeleteSelf(movie.CreateInstanceFromEntry(i));
}

void checkImage(const Definition_Image& image)
{
    if (!image.HasAtlasInfo())
        return;
    check(uint64_t(image.offsetX) + image.storedWidth <= image.logicalWidth);
    check(uint64_t(image.offsetY) + image.storedHeight <= image.logicalHeight);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterEngineStatics();
    std::unique_ptr<XmlNode> root = ParseXmlFileBytes(data, size, false);
    if (!root)
        return 0;
    DefinitionMap map;
    uint32_t added = 0, appended = 0;
    const bool loaded = LoadDefinitionFile(*root, map, added, appended);
    check(loaded || map.GetDefinitions().empty());
    check(added == map.GetDefinitions().size());
    LoadDefinitionsXml(*root, map);
    (void)ValidateReferences(map);
    for (const auto& [name, list] : map.GetDefinitions())
    {
        for (size_t i = 0; i < list.size(); ++i)
        {
            check(list[i]->listIndex == i && list[i]->name == name);
            if (auto* movie = dynamic_cast<Definition_Movie*>(list[i].get()))
                checkMovie(*movie);
            else if (auto* image = dynamic_cast<Definition_Image*>(list[i].get()))
                checkImage(*image);
            std::wstring sound;
            (void)map.FindEventSound(name, uint32_t(i), L"bttn_click", sound);
        }
    }
    return 0;
}
