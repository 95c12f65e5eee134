// Definition map and library loading; see DefinitionMap.h.
#include "engine/scene/definitions/DefinitionMap.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"

namespace TarnEngine
{

bool DefinitionMap::FindEventSound(const std::wstring&, uint32_t, const std::wstring&, std::wstring&) const
{
    return false;
}

bool LoadLibraryXml(const XmlNode& libraryList, DefinitionMap& map, EngineManager*, const XmlNode*, uint32_t)
{
    std::vector<XmlNode*> libraries;
    libraryList.GetChildren(L"library", libraries);
    bool ok = true;
    for (const XmlNode* library : libraries)
    {
        const std::wstring file = library->GetStringAttribute(L"file", L"");
        if (file.empty() || !LoadXmlDocument(file))
        {
            if (ILogger* logger = ILogger::Get())
                logger->Log(LogLibrary, __FILE__, __LINE__, L"definition file %s cannot be loaded", file);
            ok = false;
            continue;
        }
        map.AddLoadedFile(file);
    }
    return ok;
}

void LoadDefinitionsXml(const XmlNode&, DefinitionMap&) {}

} // namespace TarnEngine
