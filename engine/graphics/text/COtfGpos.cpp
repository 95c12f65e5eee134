// OpenType GPOS pair-kerning reader; see COtfGpos.h.
#include "engine/graphics/text/COtfGpos.h"

#include <algorithm>
#include <bit>

namespace TarnEngine
{

namespace
{

constexpr uint32_t kTagOtto = 0x4F54544F; // 'OTTO': CFF outlines
constexpr uint32_t kTagGpos = 0x47504F53;
constexpr uint32_t kTagLatn = 0x6C61746E;
constexpr uint32_t kTagKern = 0x6B65726E;
constexpr uint16_t kLookupPairAdjustment = 2;

// Restores the cursor's position when a nested read is done.
class SavedPosition
{
public:
    explicit SavedPosition(OtfCursor& cursor) : m_cursor(cursor), m_position(cursor.Position()) {}
    ~SavedPosition() { m_cursor.Seek(m_position); }
    SavedPosition(const SavedPosition&) = delete;
    SavedPosition& operator=(const SavedPosition&) = delete;

private:
    OtfCursor& m_cursor;
    size_t m_position;
};

// Size in bytes of a value record: one 16-bit field per set bit of the low
// byte (placements, advances and the four device offsets).
size_t valueRecordSize(uint16_t valueFormat)
{
    return 2u * static_cast<size_t>(std::popcount(static_cast<unsigned>(valueFormat & 0xFF)));
}

bool readValueRecord(OtfCursor& cursor, uint16_t valueFormat, OtfValueRecord& record)
{
    record = OtfValueRecord();
    int16_t* fields[4] = {&record.XPlacement, &record.YPlacement, &record.XAdvance, &record.YAdvance};
    for (int bit = 0; bit < 8; ++bit)
    {
        if ((valueFormat & (1u << bit)) == 0)
            continue;
        uint16_t value = 0;
        if (!cursor.ReadU16(value))
            return false;
        if (bit < 4)
            *fields[bit] = static_cast<int16_t>(value);
    }
    return true;
}

// True when count items of itemSize bytes fit in what remains of the data;
// checked before anything is allocated for them.
bool fits(const OtfCursor& cursor, uint64_t count, uint64_t itemSize)
{
    return count * itemSize <= cursor.Remaining();
}

std::unique_ptr<SOtfLookupList::ICoverageTable> loadCoverage(OtfCursor& cursor, size_t start)
{
    SavedPosition saved(cursor);
    uint16_t format = 0;
    if (!cursor.Seek(start) || !cursor.ReadU16(format))
        return nullptr;
    std::unique_ptr<SOtfLookupList::ICoverageTable> table;
    if (format == 1)
        table = std::make_unique<SOtfLookupList::CCoverageTableFormat1>();
    else if (format == 2)
        table = std::make_unique<SOtfLookupList::CCoverageTableFormat2>();
    else
        return nullptr;
    if (!table->Load(cursor))
        return nullptr;
    return table;
}

std::unique_ptr<SOtfLookupList::IClassDefTable> loadClassDef(OtfCursor& cursor, size_t start)
{
    SavedPosition saved(cursor);
    uint16_t format = 0;
    if (!cursor.Seek(start) || !cursor.ReadU16(format))
        return nullptr;
    std::unique_ptr<SOtfLookupList::IClassDefTable> table;
    if (format == 1)
        table = std::make_unique<SOtfLookupList::CClassDefTableFormat1>();
    else if (format == 2)
        table = std::make_unique<SOtfLookupList::CClassDefTableFormat2>();
    else
        return nullptr;
    if (!table->Load(cursor))
        return nullptr;
    return table;
}

bool readLangSys(OtfCursor& cursor, size_t start, OtfLangSys& langSys)
{
    SavedPosition saved(cursor);
    uint16_t count = 0;
    if (!cursor.Seek(start) || !cursor.ReadU16(langSys.lookupOrder) ||
        !cursor.ReadU16(langSys.requiredFeatureIndex) || !cursor.ReadU16(count))
        return false;
    if (!fits(cursor, count, 2) || !cursor.ChargeEntries(count))
        return false;
    langSys.featureIndices.resize(count);
    for (uint16_t& index : langSys.featureIndices)
    {
        if (!cursor.ReadU16(index))
            return false;
    }
    return true;
}

} // namespace

void OtfValueRecord::Add(const OtfValueRecord& other)
{
    XPlacement = static_cast<int16_t>(XPlacement + other.XPlacement);
    YPlacement = static_cast<int16_t>(YPlacement + other.YPlacement);
    XAdvance = static_cast<int16_t>(XAdvance + other.XAdvance);
    YAdvance = static_cast<int16_t>(YAdvance + other.YAdvance);
}

// ---------------------------------------------------------------------------
// Cursor

OtfCursor::OtfCursor(const uint8_t* data, size_t size)
    : m_data(data), m_size(data ? size : 0),
      // A well-formed font reads each of its bytes about once and stores at
      // most one entry per two bytes; shared subtables multiply that a little.
      // Offsets that point many records at one large table would multiply it
      // without end, so both are bounded by the file's size.
      m_readsLeft(32 * m_size + (size_t(1) << 20)), m_entriesLeft(4 * m_size + 65536)
{
}

bool OtfCursor::Charge()
{
    if (m_readsLeft == 0)
        return false;
    --m_readsLeft;
    return true;
}

bool OtfCursor::ChargeEntries(size_t count)
{
    if (count > m_entriesLeft)
    {
        m_entriesLeft = 0;
        m_readsLeft = 0; // the parse in progress cannot go on sensibly
        return false;
    }
    m_entriesLeft -= count;
    return true;
}

bool OtfCursor::ReadU16(uint16_t& value)
{
    if (Remaining() < 2 || !Charge())
        return false;
    value = static_cast<uint16_t>((m_data[m_position] << 8) | m_data[m_position + 1]);
    m_position += 2;
    return true;
}

bool OtfCursor::ReadU32(uint32_t& value)
{
    if (Remaining() < 4 || !Charge())
        return false;
    const uint8_t* p = m_data + m_position;
    value = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    m_position += 4;
    return true;
}

bool OtfCursor::Seek(size_t position)
{
    m_position = position;
    return position <= m_size;
}

// ---------------------------------------------------------------------------
// Coverage tables

bool SOtfLookupList::CCoverageTableFormat1::Load(OtfCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.ReadU16(count) || !fits(cursor, count, 2) || !cursor.ChargeEntries(2u * count))
        return false;
    m_glyphs.resize(count);
    for (uint16_t& glyph : m_glyphs)
    {
        if (!cursor.ReadU16(glyph))
            return false;
    }
    m_sorted = m_glyphs;
    std::sort(m_sorted.begin(), m_sorted.end());
    return true;
}

int32_t SOtfLookupList::CCoverageTableFormat1::GetGlyph(uint32_t coverageIndex) const
{
    return coverageIndex < m_glyphs.size() ? m_glyphs[coverageIndex] : -1;
}

bool SOtfLookupList::CCoverageTableFormat1::ContainsGlyph(uint32_t glyph) const
{
    return glyph <= 0xFFFF && std::binary_search(m_sorted.begin(), m_sorted.end(), uint16_t(glyph));
}

bool SOtfLookupList::CCoverageTableFormat2::Load(OtfCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.ReadU16(count) || !fits(cursor, count, 6) || !cursor.ChargeEntries(count))
        return false;
    m_ranges.resize(count);
    m_count = 0;
    for (Range& range : m_ranges)
    {
        if (!cursor.ReadU16(range.start) || !cursor.ReadU16(range.end) ||
            !cursor.ReadU16(range.startCoverageIndex))
            return false;
        // A reversed range covers nothing.
        if (range.end >= range.start)
            m_count += uint32_t(range.end - range.start) + 1;
    }
    return true;
}

int32_t SOtfLookupList::CCoverageTableFormat2::GetGlyph(uint32_t coverageIndex) const
{
    if (m_ranges.empty())
        return -1;
    const Range* found = &m_ranges.back();
    for (size_t i = 0; i < m_ranges.size(); ++i)
    {
        if (m_ranges[i].startCoverageIndex <= coverageIndex &&
            (i + 1 == m_ranges.size() || m_ranges[i + 1].startCoverageIndex > coverageIndex))
        {
            found = &m_ranges[i];
            break;
        }
    }
    const int64_t glyph = int64_t(found->start) + int64_t(coverageIndex) - int64_t(found->startCoverageIndex);
    return glyph >= 0 && glyph <= 0xFFFF ? int32_t(glyph) : -1;
}

bool SOtfLookupList::CCoverageTableFormat2::ContainsGlyph(uint32_t glyph) const
{
    for (const Range& range : m_ranges)
    {
        if (range.start <= glyph && range.end >= glyph)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Class definition tables

bool SOtfLookupList::CClassDefTableFormat1::Load(OtfCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.ReadU16(m_startGlyph) || !cursor.ReadU16(count) || !fits(cursor, count, 2) ||
        !cursor.ChargeEntries(count))
        return false;
    m_classes.resize(count);
    for (uint16_t& value : m_classes)
    {
        if (!cursor.ReadU16(value))
            return false;
    }
    return true;
}

uint16_t SOtfLookupList::CClassDefTableFormat1::GetClass(uint32_t glyph) const
{
    if (glyph < m_startGlyph || glyph - m_startGlyph >= m_classes.size())
        return 0;
    return m_classes[glyph - m_startGlyph];
}

bool SOtfLookupList::CClassDefTableFormat2::Load(OtfCursor& cursor)
{
    uint16_t count = 0;
    if (!cursor.ReadU16(count) || !fits(cursor, count, 6) || !cursor.ChargeEntries(count))
        return false;
    m_ranges.resize(count);
    for (Range& range : m_ranges)
    {
        if (!cursor.ReadU16(range.start) || !cursor.ReadU16(range.end) || !cursor.ReadU16(range.classValue))
            return false;
    }
    return true;
}

uint16_t SOtfLookupList::CClassDefTableFormat2::GetClass(uint32_t glyph) const
{
    for (const Range& range : m_ranges)
    {
        if (range.start <= glyph && range.end >= glyph)
            return range.classValue;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Pair-adjustment subtables

bool SOtfLookupList::CPairPosSubTableFormat1::Load(OtfCursor& cursor)
{
    const size_t start = cursor.Position();
    uint16_t posFormat = 0, coverageOffset = 0, valueFormat1 = 0, valueFormat2 = 0, pairSetCount = 0;
    if (!cursor.ReadU16(posFormat) || !cursor.ReadU16(coverageOffset) || !cursor.ReadU16(valueFormat1) ||
        !cursor.ReadU16(valueFormat2) || !cursor.ReadU16(pairSetCount) || !fits(cursor, pairSetCount, 2))
        return false;
    std::vector<uint16_t> pairSetOffsets(pairSetCount);
    for (uint16_t& offset : pairSetOffsets)
    {
        if (!cursor.ReadU16(offset))
            return false;
    }
    // The coverage only names the first glyph of each pair set.
    std::unique_ptr<ICoverageTable> coverage = loadCoverage(cursor, start + coverageOffset);
    if (!coverage)
        return false;

    const size_t recordSize = 2 + valueRecordSize(valueFormat1) + valueRecordSize(valueFormat2);
    std::vector<Pair> pairs;
    for (uint32_t i = 0; i < pairSetCount; ++i)
    {
        if (i >= coverage->GetCoverageCount())
            continue;
        const int32_t firstGlyph = coverage->GetGlyph(i);
        if (firstGlyph < 0)
            continue;
        SavedPosition saved(cursor);
        uint16_t pairValueCount = 0;
        if (!cursor.Seek(start + pairSetOffsets[i]) || !cursor.ReadU16(pairValueCount) ||
            !fits(cursor, pairValueCount, recordSize) || !cursor.ChargeEntries(pairValueCount))
            return false;
        for (uint32_t k = 0; k < pairValueCount; ++k)
        {
            Pair pair;
            pair.first = uint16_t(firstGlyph);
            if (!cursor.ReadU16(pair.second) || !readValueRecord(cursor, valueFormat1, pair.value1) ||
                !readValueRecord(cursor, valueFormat2, pair.value2))
                return false;
            pairs.push_back(pair);
        }
    }
    // One entry per pair; a repeated pair keeps the values read last.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const Pair& a, const Pair& b)
                     { return a.first != b.first ? a.first < b.first : a.second < b.second; });
    m_pairs.clear();
    m_pairs.reserve(pairs.size());
    for (const Pair& pair : pairs)
    {
        if (!m_pairs.empty() && m_pairs.back().first == pair.first && m_pairs.back().second == pair.second)
            m_pairs.back() = pair;
        else
            m_pairs.push_back(pair);
    }
    return true;
}

bool SOtfLookupList::CPairPosSubTableFormat1::GetPairAdjustment(uint32_t first, uint32_t second,
                                                                OtfValueRecord& value1,
                                                                OtfValueRecord& value2) const
{
    if (first > 0xFFFF || second > 0xFFFF)
        return false;
    auto it = std::lower_bound(m_pairs.begin(), m_pairs.end(), std::pair<uint32_t, uint32_t>(first, second),
                               [](const Pair& pair, const std::pair<uint32_t, uint32_t>& key) {
                                   return pair.first != key.first ? pair.first < key.first
                                                                  : pair.second < key.second;
                               });
    if (it == m_pairs.end() || it->first != first || it->second != second)
        return false;
    if (it->value1.IsEmpty() && it->value2.IsEmpty())
        return false;
    value1 = it->value1;
    value2 = it->value2;
    return true;
}

bool SOtfLookupList::CPairPosSubTableFormat2::Load(OtfCursor& cursor)
{
    const size_t start = cursor.Position();
    uint16_t posFormat = 0, coverageOffset = 0, valueFormat1 = 0, valueFormat2 = 0;
    uint16_t classDef1Offset = 0, classDef2Offset = 0;
    if (!cursor.ReadU16(posFormat) || !cursor.ReadU16(coverageOffset) || !cursor.ReadU16(valueFormat1) ||
        !cursor.ReadU16(valueFormat2) || !cursor.ReadU16(classDef1Offset) ||
        !cursor.ReadU16(classDef2Offset) || !cursor.ReadU16(m_class1Count) || !cursor.ReadU16(m_class2Count))
        return false;

    // The matrix is class1Count x class2Count records; its size comes from
    // the file, so it must fit in the bytes that follow before it is made.
    const uint64_t cells = uint64_t(m_class1Count) * m_class2Count;
    const size_t recordSize = valueRecordSize(valueFormat1) + valueRecordSize(valueFormat2);
    m_matrix1.clear();
    m_matrix2.clear();
    if (recordSize > 0)
    {
        if (!fits(cursor, cells, recordSize) || !cursor.ChargeEntries(size_t(cells)))
            return false;
        m_matrix1.resize(size_t(cells));
        m_matrix2.resize(size_t(cells));
        for (size_t i = 0; i < cells; ++i)
        {
            if (!readValueRecord(cursor, valueFormat1, m_matrix1[i]) ||
                !readValueRecord(cursor, valueFormat2, m_matrix2[i]))
                return false;
        }
    }
    m_coverage = loadCoverage(cursor, start + coverageOffset);
    if (m_coverage)
        m_classDef1 = loadClassDef(cursor, start + classDef1Offset);
    if (m_classDef1)
        m_classDef2 = loadClassDef(cursor, start + classDef2Offset);
    if (!m_classDef2)
    {
        m_coverage.reset();
        m_classDef1.reset();
        m_matrix1.clear();
        m_matrix2.clear();
        return false;
    }
    return true;
}

bool SOtfLookupList::CPairPosSubTableFormat2::GetPairAdjustment(uint32_t first, uint32_t second,
                                                                OtfValueRecord& value1,
                                                                OtfValueRecord& value2) const
{
    if (!m_coverage || first > 0xFFFF || second > 0xFFFF || !m_coverage->ContainsGlyph(first))
        return false;
    const uint16_t class1 = m_classDef1->GetClass(first);
    const uint16_t class2 = m_classDef2->GetClass(second);
    if (class1 >= m_class1Count || class2 >= m_class2Count || m_matrix1.empty())
        return false;
    const size_t cell = size_t(class1) * m_class2Count + class2;
    if (m_matrix1[cell].IsEmpty() && m_matrix2[cell].IsEmpty())
        return false;
    value1 = m_matrix1[cell];
    value2 = m_matrix2[cell];
    return true;
}

// ---------------------------------------------------------------------------
// GPOS table

void COtfGpos::Clear()
{
    m_scripts.clear();
    m_features.clear();
    m_lookups.clear();
    m_chosenLookup = nullptr;
}

bool COtfGpos::Parse(OtfCursor& cursor)
{
    Clear();
    const size_t start = cursor.Position();
    uint32_t version = 0;
    uint16_t scriptListOffset = 0, featureListOffset = 0, lookupListOffset = 0;
    if (!cursor.ReadU32(version) || !cursor.ReadU16(scriptListOffset) || !cursor.ReadU16(featureListOffset) ||
        !cursor.ReadU16(lookupListOffset))
        return false;
    const bool parsed = cursor.Seek(start + scriptListOffset) && ParseScriptList(cursor) &&
                        cursor.Seek(start + featureListOffset) && ParseFeatureList(cursor) &&
                        cursor.Seek(start + lookupListOffset) && ParseLookupList(cursor);
    if (!parsed)
    {
        Clear();
        return false;
    }
    ChooseLookup(cursor);
    return true;
}

bool COtfGpos::ParseScriptList(OtfCursor& cursor)
{
    const size_t start = cursor.Position();
    uint16_t count = 0;
    if (!cursor.ReadU16(count) || !fits(cursor, count, 6) || !cursor.ChargeEntries(count))
        return false;
    m_scripts.resize(count);
    for (ScriptRecord& script : m_scripts)
    {
        uint16_t offset = 0;
        if (!cursor.ReadU32(script.tag) || !cursor.ReadU16(offset))
            return false;
        SavedPosition saved(cursor);
        const size_t scriptStart = start + offset;
        uint16_t defaultOffset = 0, langSysCount = 0;
        if (!cursor.Seek(scriptStart) || !cursor.ReadU16(defaultOffset) || !cursor.ReadU16(langSysCount) ||
            !fits(cursor, langSysCount, 6) || !cursor.ChargeEntries(langSysCount))
            return false;
        if (defaultOffset != 0)
        {
            script.hasDefaultLangSys = true;
            if (!readLangSys(cursor, scriptStart + defaultOffset, script.defaultLangSys))
                return false;
        }
        script.langSystems.resize(langSysCount);
        for (auto& [tag, langSys] : script.langSystems)
        {
            uint16_t langSysOffset = 0;
            if (!cursor.ReadU32(tag) || !cursor.ReadU16(langSysOffset) ||
                !readLangSys(cursor, scriptStart + langSysOffset, langSys))
                return false;
        }
    }
    return true;
}

bool COtfGpos::ParseFeatureList(OtfCursor& cursor)
{
    const size_t start = cursor.Position();
    uint16_t count = 0;
    if (!cursor.ReadU16(count) || !fits(cursor, count, 6) || !cursor.ChargeEntries(count))
        return false;
    m_features.resize(count);
    for (FeatureRecord& feature : m_features)
    {
        uint16_t offset = 0;
        if (!cursor.ReadU32(feature.tag) || !cursor.ReadU16(offset))
            return false;
        SavedPosition saved(cursor);
        uint16_t lookupCount = 0;
        if (!cursor.Seek(start + offset) || !cursor.ReadU16(feature.featureParams) ||
            !cursor.ReadU16(lookupCount) || !fits(cursor, lookupCount, 2) ||
            !cursor.ChargeEntries(lookupCount))
            return false;
        feature.lookupIndices.resize(lookupCount);
        for (uint16_t& index : feature.lookupIndices)
        {
            if (!cursor.ReadU16(index))
                return false;
        }
    }
    return true;
}

bool COtfGpos::ParseLookupList(OtfCursor& cursor)
{
    const size_t start = cursor.Position();
    uint16_t count = 0;
    if (!cursor.ReadU16(count) || !fits(cursor, count, 2) || !cursor.ChargeEntries(count))
        return false;
    m_lookups.resize(count);
    for (SOtfLookupList::Lookup& lookup : m_lookups)
    {
        uint16_t offset = 0;
        if (!cursor.ReadU16(offset))
            return false;
        SavedPosition saved(cursor);
        const size_t lookupStart = start + offset;
        uint16_t subTableCount = 0;
        if (!cursor.Seek(lookupStart) || !cursor.ReadU16(lookup.lookupType) ||
            !cursor.ReadU16(lookup.lookupFlag) || !cursor.ReadU16(subTableCount) ||
            !fits(cursor, subTableCount, 2) || !cursor.ChargeEntries(2u * subTableCount))
            return false;
        lookup.subTableStarts.resize(subTableCount);
        lookup.subTableFormats.resize(subTableCount);
        for (uint16_t i = 0; i < subTableCount; ++i)
        {
            uint16_t subTableOffset = 0;
            if (!cursor.ReadU16(subTableOffset))
                return false;
            SavedPosition savedSubTable(cursor);
            lookup.subTableStarts[i] = lookupStart + subTableOffset;
            if (!cursor.Seek(lookup.subTableStarts[i]) || !cursor.ReadU16(lookup.subTableFormats[i]))
                return false;
        }
    }
    return true;
}

void COtfGpos::ChooseLookup(OtfCursor& cursor)
{
    m_chosenLookup = nullptr;
    if (m_scripts.empty())
        return;
    const ScriptRecord* script = &m_scripts.front();
    for (const ScriptRecord& candidate : m_scripts)
    {
        if (candidate.tag == kTagLatn)
        {
            script = &candidate;
            break;
        }
    }
    if (!script->hasDefaultLangSys)
        return;
    const FeatureRecord* kern = nullptr;
    for (uint16_t index : script->defaultLangSys.featureIndices)
    {
        // An index past the feature list names nothing.
        if (index < m_features.size() && m_features[index].tag == kTagKern)
        {
            kern = &m_features[index];
            break;
        }
    }
    if (!kern || kern->lookupIndices.empty() || kern->lookupIndices.front() >= m_lookups.size())
        return;
    SOtfLookupList::Lookup& lookup = m_lookups[kern->lookupIndices.front()];
    if (lookup.lookupType != kLookupPairAdjustment)
        return;
    // Only the chosen lookup is ever asked, so only its subtables are loaded.
    lookup.subTables.clear();
    lookup.subTables.resize(lookup.subTableStarts.size());
    for (size_t i = 0; i < lookup.subTableStarts.size(); ++i)
    {
        std::unique_ptr<SOtfLookupList::IPairPosSubTable> table;
        if (lookup.subTableFormats[i] == 1)
            table = std::make_unique<SOtfLookupList::CPairPosSubTableFormat1>();
        else if (lookup.subTableFormats[i] == 2)
            table = std::make_unique<SOtfLookupList::CPairPosSubTableFormat2>();
        else
            continue;
        SavedPosition saved(cursor);
        if (cursor.Seek(lookup.subTableStarts[i]) && table->Load(cursor))
            lookup.subTables[i] = std::move(table);
    }
    m_chosenLookup = &lookup;
}

bool COtfGpos::GetPairAdjustment(uint32_t first, uint32_t second, OtfValueRecord& value1,
                                 OtfValueRecord& value2) const
{
    if (!m_chosenLookup)
        return false;
    OtfValueRecord sum1, sum2;
    bool adjusted = false;
    for (const auto& table : m_chosenLookup->subTables)
    {
        OtfValueRecord v1, v2;
        if (table && table->GetPairAdjustment(first, second, v1, v2))
        {
            sum1.Add(v1);
            sum2.Add(v2);
            adjusted = true;
        }
    }
    if (adjusted)
    {
        value1 = sum1;
        value2 = sum2;
    }
    return adjusted;
}

// ---------------------------------------------------------------------------
// Font header

std::unique_ptr<COtfHeader> COtfHeader::Parse(std::span<const uint8_t> bytes)
{
    std::unique_ptr<COtfHeader> header(new COtfHeader());
    OtfCursor cursor(bytes.data(), bytes.size());
    if (!header->ParseFont(cursor))
        header->m_gpos.Clear();
    return header;
}

bool COtfHeader::ParseFont(OtfCursor& cursor)
{
    if (!cursor.ReadU32(m_sfntVersion) || m_sfntVersion != kTagOtto)
        return false;
    if (!cursor.ReadU16(m_numTables) || !cursor.ReadU16(m_searchRange) || !cursor.ReadU16(m_entrySelector) ||
        !cursor.ReadU16(m_rangeShift) || !fits(cursor, m_numTables, 16))
        return false;
    m_tables.resize(m_numTables);
    for (TableRecord& table : m_tables)
    {
        if (!cursor.ReadU32(table.tag) || !cursor.ReadU32(table.checkSum) || !cursor.ReadU32(table.offset) ||
            !cursor.ReadU32(table.length))
            return false;
    }
    for (const TableRecord& table : m_tables)
    {
        if (table.tag != kTagGpos)
            continue;
        if (!cursor.Seek(table.offset) || !m_gpos.Parse(cursor))
            return false;
    }
    return true;
}

} // namespace TarnEngine
