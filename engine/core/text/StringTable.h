// The texts shown to the player: the numbered table read from
// "StringTable.xml" and the key table read from the translator files of a
// language, with the markers that display texts use to refer to them.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace TarnEngine
{

class StringTable
{
public:
    // Which of the two tables an instance is.
    enum Kind
    {
        Numbered,
        Keyed
    };

    explicit StringTable(Kind kind);
    ~StringTable();
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;

    // The process-wide tables, or null outside a running engine.
    static StringTable* GetNumbered();
    static StringTable* GetKeyed();

    // Fills the numbered table from "StringTable.xml"; a missing file is an
    // empty table, an entry without "id" or text is a failure.
    bool Load();
    std::wstring GetById(uint32_t id) const;

    // Reads "translator_" + language + ".xml" and the files its records name.
    bool LoadTranslator(const std::wstring& language);
    // The text for a key (any case); the key itself when there is none.
    std::wstring GetText(const std::wstring& key) const;
    bool HasText(const std::wstring& key) const;

private:
    Kind m_kind;
    std::map<uint32_t, std::wstring> m_byId;
    std::map<std::wstring, std::wstring> m_byKey;
};

// True for "|T|" followed by a key.
bool IsTextKey(const std::wstring& text);
// The key table's text for a text key; any other text unchanged.
std::wstring ResolveTextKey(const std::wstring& text);
// Unwraps "|String|tag|text|" and "|S|tag|text|" and replaces "|number"
// with the numbered table's entry, keeping leading white space.
std::wstring LocalizeText(const std::wstring& text);

} // namespace TarnEngine
