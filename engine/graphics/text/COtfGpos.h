// OpenType pair kerning read straight from a font file's GPOS table.
//
// FreeType applies only the old 'kern' table, so OpenType fonts with CFF
// outlines that keep their kerning in GPOS would be drawn unkerned. This
// reader parses the table directory, the GPOS script, feature and lookup
// lists and the pair-adjustment subtables (formats 1 and 2) of the lookup
// that the 'kern' feature of the Latin (or first) script names, and answers
// by how much a glyph pair moves.
//
// Everything is copied out of the font bytes while parsing; the reader keeps
// no pointer into them. The bytes are untrusted: every count and offset is
// checked against what remains, and the work and memory a file can ask for
// are bounded by its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace TarnEngine
{

// One GPOS value record in host form; absent fields are zero.
struct OtfValueRecord
{
    int16_t XPlacement = 0;
    int16_t YPlacement = 0;
    int16_t XAdvance = 0;
    int16_t YAdvance = 0;

    // XPlacement is deliberately not looked at: the layout moves glyphs by
    // their advance only.
    bool IsEmpty() const { return YPlacement == 0 && XAdvance == 0 && YAdvance == 0; }
    void Add(const OtfValueRecord& other);
};

class IOtfGposTable
{
public:
    // True and the two value records when the pair (first, second) is
    // adjusted by the kerning lookup; false otherwise.
    virtual bool GetPairAdjustment(uint32_t first, uint32_t second, OtfValueRecord& value1,
                                   OtfValueRecord& value2) const = 0;

protected:
    ~IOtfGposTable() = default;
};

class IOtfFont
{
public:
    virtual ~IOtfFont() = default;
    virtual const IOtfGposTable& GetGpos() const = 0;
};

// Big-endian read cursor over the font bytes. Every read is checked; a read
// past the end, or past the work budget, fails and leaves the cursor failed.
class OtfCursor
{
public:
    OtfCursor(const uint8_t* data, size_t size);

    bool ReadU16(uint16_t& value);
    bool ReadU32(uint32_t& value);
    bool Seek(size_t position);
    size_t Position() const { return m_position; }
    size_t Remaining() const { return m_position <= m_size ? m_size - m_position : 0; }
    size_t Size() const { return m_size; }
    // Pair entries kept so far across the whole font; bounded like the reads.
    bool ChargeEntries(size_t count);

private:
    bool Charge();

    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
    size_t m_readsLeft;
    size_t m_entriesLeft;
};

struct SOtfLookupList
{
    class ICoverageTable
    {
    public:
        virtual ~ICoverageTable() = default;
        virtual bool Load(OtfCursor& cursor) = 0;
        virtual uint32_t GetCoverageCount() const = 0;
        // The glyph at a coverage index, or -1 when the table names none.
        virtual int32_t GetGlyph(uint32_t coverageIndex) const = 0;
        virtual bool ContainsGlyph(uint32_t glyph) const = 0;
    };

    class CCoverageTableFormat1 final : public ICoverageTable
    {
    public:
        bool Load(OtfCursor& cursor) override;
        uint32_t GetCoverageCount() const override { return static_cast<uint32_t>(m_glyphs.size()); }
        int32_t GetGlyph(uint32_t coverageIndex) const override;
        bool ContainsGlyph(uint32_t glyph) const override;

    private:
        std::vector<uint16_t> m_glyphs;
        std::vector<uint16_t> m_sorted; // for membership tests only
    };

    class CCoverageTableFormat2 final : public ICoverageTable
    {
    public:
        bool Load(OtfCursor& cursor) override;
        uint32_t GetCoverageCount() const override { return m_count; }
        int32_t GetGlyph(uint32_t coverageIndex) const override;
        bool ContainsGlyph(uint32_t glyph) const override;

    private:
        struct Range
        {
            uint16_t start;
            uint16_t end;
            uint16_t startCoverageIndex;
        };
        std::vector<Range> m_ranges;
        uint32_t m_count = 0;
    };

    class IClassDefTable
    {
    public:
        virtual ~IClassDefTable() = default;
        virtual bool Load(OtfCursor& cursor) = 0;
        virtual uint16_t GetClass(uint32_t glyph) const = 0;
    };

    class CClassDefTableFormat1 final : public IClassDefTable
    {
    public:
        bool Load(OtfCursor& cursor) override;
        uint16_t GetClass(uint32_t glyph) const override;

    private:
        uint16_t m_startGlyph = 0;
        std::vector<uint16_t> m_classes;
    };

    class CClassDefTableFormat2 final : public IClassDefTable
    {
    public:
        bool Load(OtfCursor& cursor) override;
        uint16_t GetClass(uint32_t glyph) const override;

    private:
        struct Range
        {
            uint16_t start;
            uint16_t end;
            uint16_t classValue;
        };
        std::vector<Range> m_ranges;
    };

    class ISubTable
    {
    public:
        virtual ~ISubTable() = default;
    };

    class IPairPosSubTable : public ISubTable
    {
    public:
        virtual bool Load(OtfCursor& cursor) = 0;
        virtual bool GetPairAdjustment(uint32_t first, uint32_t second, OtfValueRecord& value1,
                                       OtfValueRecord& value2) const = 0;
    };

    class CPairPosSubTableFormat1 final : public IPairPosSubTable
    {
    public:
        bool Load(OtfCursor& cursor) override;
        bool GetPairAdjustment(uint32_t first, uint32_t second, OtfValueRecord& value1,
                               OtfValueRecord& value2) const override;

    private:
        struct Pair
        {
            uint16_t first;
            uint16_t second;
            OtfValueRecord value1;
            OtfValueRecord value2;
        };
        std::vector<Pair> m_pairs; // sorted by (first, second), one per pair
    };

    class CPairPosSubTableFormat2 final : public IPairPosSubTable
    {
    public:
        bool Load(OtfCursor& cursor) override;
        bool GetPairAdjustment(uint32_t first, uint32_t second, OtfValueRecord& value1,
                               OtfValueRecord& value2) const override;

    private:
        std::unique_ptr<ICoverageTable> m_coverage;
        std::unique_ptr<IClassDefTable> m_classDef1;
        std::unique_ptr<IClassDefTable> m_classDef2;
        uint16_t m_class1Count = 0;
        uint16_t m_class2Count = 0;
        // class1Count x class2Count pairs, row by row; empty when both value
        // formats are 0 (every pair then reads as not adjusted).
        std::vector<OtfValueRecord> m_matrix1;
        std::vector<OtfValueRecord> m_matrix2;
    };

    struct Lookup
    {
        uint16_t lookupType = 0;
        uint16_t lookupFlag = 0;
        std::vector<size_t> subTableStarts;
        std::vector<uint16_t> subTableFormats;
        std::vector<std::unique_ptr<IPairPosSubTable>> subTables; // null where a subtable failed
    };
};

struct OtfLangSys
{
    uint16_t lookupOrder = 0;
    uint16_t requiredFeatureIndex = 0;
    std::vector<uint16_t> featureIndices;
};

class COtfGpos final : public IOtfGposTable
{
public:
    bool GetPairAdjustment(uint32_t first, uint32_t second, OtfValueRecord& value1,
                           OtfValueRecord& value2) const override;

    // Parses the GPOS table at the cursor's position; false ends parsing of
    // the font with no kerning.
    bool Parse(OtfCursor& cursor);
    void Clear();
    bool HasKerning() const { return m_chosenLookup != nullptr; }

private:
    struct ScriptRecord
    {
        uint32_t tag = 0;
        bool hasDefaultLangSys = false;
        OtfLangSys defaultLangSys;
        std::vector<std::pair<uint32_t, OtfLangSys>> langSystems;
    };
    struct FeatureRecord
    {
        uint32_t tag = 0;
        uint16_t featureParams = 0;
        std::vector<uint16_t> lookupIndices;
    };

    bool ParseScriptList(OtfCursor& cursor);
    bool ParseFeatureList(OtfCursor& cursor);
    bool ParseLookupList(OtfCursor& cursor);
    void ChooseLookup(OtfCursor& cursor);

    std::vector<ScriptRecord> m_scripts;
    std::vector<FeatureRecord> m_features;
    std::vector<SOtfLookupList::Lookup> m_lookups;
    const SOtfLookupList::Lookup* m_chosenLookup = nullptr;
};

class COtfHeader final : public IOtfFont
{
public:
    // Never null: a file that is not CFF-flavoured OpenType, has no GPOS or a
    // GPOS that does not parse gives a reader that answers every pair false.
    static std::unique_ptr<COtfHeader> Parse(std::span<const uint8_t> bytes);
    static std::unique_ptr<COtfHeader> Parse(const uint8_t* data, size_t size)
    {
        return Parse(std::span<const uint8_t>(data, data ? size : 0));
    }

    const IOtfGposTable& GetGpos() const override { return m_gpos; }
    bool HasKerning() const { return m_gpos.HasKerning(); }

private:
    struct TableRecord
    {
        uint32_t tag;
        uint32_t checkSum;
        uint32_t offset;
        uint32_t length;
    };

    bool ParseFont(OtfCursor& cursor);

    uint32_t m_sfntVersion = 0;
    uint16_t m_numTables = 0;
    uint16_t m_searchRange = 0;
    uint16_t m_entrySelector = 0;
    uint16_t m_rangeShift = 0;
    std::vector<TableRecord> m_tables;
    COtfGpos m_gpos;
};

} // namespace TarnEngine
