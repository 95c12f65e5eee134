// Implementation of OpenFileTable.h.
#include "engine/core/files/OpenFileTable.h"

namespace TarnEngine
{

namespace
{
OpenFileTable* g_current = nullptr;
}

OpenFileTable* OpenFileTable::Current()
{
    return g_current;
}

void OpenFileTable::SetCurrent(OpenFileTable* table)
{
    g_current = table;
}

StreamSourceCounted* OpenFileTable::Find(const std::wstring& name) const
{
    const auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : it->second;
}

void OpenFileTable::Record(const std::wstring& name, StreamSourceCounted* source)
{
    m_entries[name] = source;
}

void OpenFileTable::Forget(const std::wstring& name, const StreamSourceCounted* source)
{
    const auto it = m_entries.find(name);
    if (it != m_entries.end() && it->second == source)
        m_entries.erase(it);
}

} // namespace TarnEngine
