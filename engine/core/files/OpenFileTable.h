// The file system's table of the sources it has handed out, by name, so that a second open of a
// name that is still in use shares the live source. It holds no references: a source leaving takes
// its own entry out, and only its own - a newer source recorded under the same name stays.
// The file system owns the table and publishes it while it exists; sources reach it through
// OpenFileTable::Current().
#pragma once

#include <map>
#include <string>

namespace TarnEngine
{

class StreamSourceCounted;

class OpenFileTable
{
public:
    // The published table, or null while there is none.
    static OpenFileTable* Current();
    static void SetCurrent(OpenFileTable* table);

    // The live source recorded under name (exact comparison), or null.
    StreamSourceCounted* Find(const std::wstring& name) const;
    // Records source under name, replacing an earlier entry.
    void Record(const std::wstring& name, StreamSourceCounted* source);
    // Erases the entry of name when it is this source's.
    void Forget(const std::wstring& name, const StreamSourceCounted* source);
    void Clear() { m_entries.clear(); }
    size_t GetCount() const { return m_entries.size(); }

private:
    std::map<std::wstring, StreamSourceCounted*> m_entries;
};

} // namespace TarnEngine
