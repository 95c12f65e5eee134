// Builds small OpenType files with a GPOS table byte by byte, so the kerning
// reader can be tested on fonts whose every offset is known.
#pragma once

#include "engine/graphics/text/COtfGpos.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace gpos_fixture
{

constexpr uint32_t kOtto = 0x4F54544F;
constexpr uint32_t kTrueType = 0x00010000;
constexpr uint32_t kLatn = 0x6C61746E;
constexpr uint32_t kCyrl = 0x6379726C;
constexpr uint32_t kDflt = 0x44464C54;
constexpr uint32_t kKern = 0x6B65726E;
constexpr uint32_t kLiga = 0x6C696761;

struct Bytes
{
    std::vector<uint8_t> data;

    Bytes& u16(uint32_t value)
    {
        data.push_back(uint8_t(value >> 8));
        data.push_back(uint8_t(value));
        return *this;
    }
    Bytes& u32(uint32_t value)
    {
        u16(value >> 16);
        return u16(value & 0xFFFF);
    }
    Bytes& append(const Bytes& other)
    {
        data.insert(data.end(), other.data.begin(), other.data.end());
        return *this;
    }
    size_t size() const { return data.size(); }
};

// Fields in bit order; device offsets are written as 0.
inline void writeValue(Bytes& out, uint16_t format, const TarnEngine::OtfValueRecord& value)
{
    const int16_t fields[4] = {value.XPlacement, value.YPlacement, value.XAdvance, value.YAdvance};
    for (int bit = 0; bit < 8; ++bit)
    {
        if (format & (1u << bit))
            out.u16(bit < 4 ? uint16_t(fields[bit]) : 0);
    }
}

inline TarnEngine::OtfValueRecord xAdvance(int16_t amount)
{
    TarnEngine::OtfValueRecord value;
    value.XAdvance = amount;
    return value;
}

inline Bytes coverageFormat1(const std::vector<uint16_t>& glyphs)
{
    Bytes out;
    out.u16(1).u16(uint16_t(glyphs.size()));
    for (uint16_t glyph : glyphs)
        out.u16(glyph);
    return out;
}

// One range per run of consecutive glyphs.
inline Bytes coverageFormat2(const std::vector<uint16_t>& glyphs)
{
    std::vector<std::pair<uint16_t, uint16_t>> ranges;
    for (uint16_t glyph : glyphs)
    {
        if (!ranges.empty() && ranges.back().second + 1 == glyph)
            ranges.back().second = glyph;
        else
            ranges.push_back({glyph, glyph});
    }
    Bytes out;
    out.u16(2).u16(uint16_t(ranges.size()));
    uint16_t index = 0;
    for (auto [start, end] : ranges)
    {
        out.u16(start).u16(end).u16(index);
        index = uint16_t(index + end - start + 1);
    }
    return out;
}

struct PairRecord
{
    uint16_t first;
    uint16_t second;
    TarnEngine::OtfValueRecord value1;
    TarnEngine::OtfValueRecord value2;
};

// Pair sets in the order of the first glyphs' first appearance.
inline Bytes pairPosFormat1(uint16_t valueFormat1, uint16_t valueFormat2,
                            const std::vector<PairRecord>& pairs, bool rangeCoverage = false)
{
    std::vector<uint16_t> firsts;
    std::map<uint16_t, std::vector<PairRecord>> sets;
    for (const PairRecord& pair : pairs)
    {
        if (!sets.count(pair.first))
            firsts.push_back(pair.first);
        sets[pair.first].push_back(pair);
    }
    const Bytes coverage = rangeCoverage ? coverageFormat2(firsts) : coverageFormat1(firsts);
    const size_t headerSize = 10 + 2 * firsts.size();
    Bytes out;
    out.u16(1).u16(uint16_t(headerSize)).u16(valueFormat1).u16(valueFormat2).u16(uint16_t(firsts.size()));
    Bytes body;
    body.append(coverage);
    std::vector<uint16_t> offsets;
    for (uint16_t first : firsts)
    {
        offsets.push_back(uint16_t(headerSize + body.size()));
        body.u16(uint16_t(sets[first].size()));
        for (const PairRecord& pair : sets[first])
        {
            body.u16(pair.second);
            writeValue(body, valueFormat1, pair.value1);
            writeValue(body, valueFormat2, pair.value2);
        }
    }
    for (uint16_t offset : offsets)
        out.u16(offset);
    return out.append(body);
}

inline Bytes classDefFormat1(uint16_t start, const std::vector<uint16_t>& classes)
{
    Bytes out;
    out.u16(1).u16(start).u16(uint16_t(classes.size()));
    for (uint16_t value : classes)
        out.u16(value);
    return out;
}

struct ClassRange
{
    uint16_t start;
    uint16_t end;
    uint16_t classValue;
};

inline Bytes classDefFormat2(const std::vector<ClassRange>& ranges)
{
    Bytes out;
    out.u16(2).u16(uint16_t(ranges.size()));
    for (const ClassRange& range : ranges)
        out.u16(range.start).u16(range.end).u16(range.classValue);
    return out;
}

// matrix[class1][class2] gives value record 1's x advance; value record 2 is
// written with valueFormat2 and left empty.
inline Bytes pairPosFormat2(uint16_t valueFormat1, uint16_t valueFormat2, const Bytes& coverage,
                            const Bytes& classDef1, const Bytes& classDef2,
                            const std::vector<std::vector<int16_t>>& matrix, uint16_t class2Count)
{
    Bytes records;
    for (const auto& row : matrix)
    {
        for (uint16_t c2 = 0; c2 < class2Count; ++c2)
        {
            writeValue(records, valueFormat1, xAdvance(c2 < row.size() ? row[c2] : 0));
            writeValue(records, valueFormat2, TarnEngine::OtfValueRecord());
        }
    }
    const size_t headerSize = 16 + records.size();
    Bytes out;
    out.u16(2)
        .u16(uint16_t(headerSize))
        .u16(valueFormat1)
        .u16(valueFormat2)
        .u16(uint16_t(headerSize + coverage.size()))
        .u16(uint16_t(headerSize + coverage.size() + classDef1.size()))
        .u16(uint16_t(matrix.size()))
        .u16(class2Count);
    return out.append(records).append(coverage).append(classDef1).append(classDef2);
}

struct Script
{
    uint32_t tag;
    bool hasDefault;
    std::vector<uint16_t> featureIndices;
};

struct Feature
{
    uint32_t tag;
    std::vector<uint16_t> lookupIndices;
};

struct Lookup
{
    uint16_t type;
    std::vector<Bytes> subTables;
};

inline Bytes langSys(const std::vector<uint16_t>& featureIndices)
{
    Bytes out;
    out.u16(0).u16(0xFFFF).u16(uint16_t(featureIndices.size()));
    for (uint16_t index : featureIndices)
        out.u16(index);
    return out;
}

inline Bytes gposTable(const std::vector<Script>& scripts, const std::vector<Feature>& features,
                       const std::vector<Lookup>& lookups)
{
    // Script list.
    Bytes scriptList;
    {
        const size_t head = 2 + 6 * scripts.size();
        scriptList.u16(uint16_t(scripts.size()));
        Bytes body;
        for (const Script& script : scripts)
        {
            scriptList.u32(script.tag).u16(uint16_t(head + body.size()));
            body.u16(script.hasDefault ? 4 : 0).u16(0);
            if (script.hasDefault)
                body.append(langSys(script.featureIndices));
        }
        scriptList.append(body);
    }
    Bytes featureList;
    {
        const size_t head = 2 + 6 * features.size();
        featureList.u16(uint16_t(features.size()));
        Bytes body;
        for (const Feature& feature : features)
        {
            featureList.u32(feature.tag).u16(uint16_t(head + body.size()));
            body.u16(0).u16(uint16_t(feature.lookupIndices.size()));
            for (uint16_t index : feature.lookupIndices)
                body.u16(index);
        }
        featureList.append(body);
    }
    Bytes lookupList;
    {
        const size_t head = 2 + 2 * lookups.size();
        lookupList.u16(uint16_t(lookups.size()));
        Bytes body;
        for (const Lookup& lookup : lookups)
        {
            lookupList.u16(uint16_t(head + body.size()));
            const size_t lookupHead = 6 + 2 * lookup.subTables.size();
            Bytes lookupBytes;
            lookupBytes.u16(lookup.type).u16(0).u16(uint16_t(lookup.subTables.size()));
            Bytes tables;
            for (const Bytes& table : lookup.subTables)
            {
                lookupBytes.u16(uint16_t(lookupHead + tables.size()));
                tables.append(table);
            }
            body.append(lookupBytes.append(tables));
        }
        lookupList.append(body);
    }
    Bytes out;
    out.u32(0x00010000)
        .u16(10)
        .u16(uint16_t(10 + scriptList.size()))
        .u16(uint16_t(10 + scriptList.size() + featureList.size()));
    return out.append(scriptList).append(featureList).append(lookupList);
}

// An sfnt with a dummy 'head' record and the GPOS table.
inline Bytes font(const Bytes& gpos, uint32_t version = kOtto)
{
    Bytes head;
    head.u32(0x00010000).u32(0).u32(0).u32(0);
    Bytes out;
    out.u32(version).u16(2).u16(32).u16(1).u16(0);
    const uint32_t headOffset = 12 + 2 * 16;
    const uint32_t gposOffset = headOffset + uint32_t(head.size());
    out.u32(0x47504F53).u32(0).u32(gposOffset).u32(uint32_t(gpos.size()));
    out.u32(0x68656164).u32(0).u32(headOffset).u32(uint32_t(head.size()));
    return out.append(head).append(gpos);
}

// The usual shape: 'latn' default language system -> 'kern' -> one lookup.
inline Bytes kernFont(std::vector<Bytes> subTables, uint32_t version = kOtto)
{
    return font(gposTable({{kLatn, true, {0}}}, {{kKern, {0}}}, {{2, std::move(subTables)}}), version);
}

// A font exercising both subtable formats: A(36)V(57) -80 and T(55)o(82) -60
// by pairs, and a class table that kerns W(58) against e(72)/o(82) by -40.
inline Bytes sampleFont()
{
    const Bytes pairs = pairPosFormat1(0x0004, 0, {{36, 57, xAdvance(-80), {}}, {55, 82, xAdvance(-60), {}}});
    const Bytes classes = pairPosFormat2(0x0004, 0, coverageFormat1({58}), classDefFormat1(58, {1}),
                                         classDefFormat2({{72, 72, 1}, {82, 82, 1}}), {{0, 0}, {0, -40}}, 2);
    return kernFont({pairs, classes});
}

} // namespace gpos_fixture
