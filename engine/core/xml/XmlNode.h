// The engine's one XML tree. Every XML file of the engine and the game is
// parsed (by TinyXML) straight into XmlNode and read back through path
// queries and typed attribute readers; WriteXmlText prints a tree again in a
// form that the parser reads back to the same tree.
#pragma once

#include <algorithm>
#include <compare>
#include <functional>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/xml/XmlMemory.h"

namespace TarnEngine
{

// An element's name, held in the trees' own memory; compares with any wide text.
class XmlName : public std::basic_string<wchar_t, std::char_traits<wchar_t>, XmlMemory::Allocator<wchar_t>>
{
public:
    using Base = std::basic_string<wchar_t, std::char_traits<wchar_t>, XmlMemory::Allocator<wchar_t>>;
    using Base::Base;
    using Base::operator=;
    XmlName() = default;
    XmlName(const std::wstring& text) : Base(text.data(), text.size()) {}

    friend bool operator==(const XmlName& name, std::wstring_view text) { return std::wstring_view(name) == text; }
    friend bool operator==(const XmlName& name, const wchar_t* text) { return std::wstring_view(name) == text; }
};

// An element's attributes by name, in name order. A document holds many
// elements with a few short attributes each, so an element keeps all of its
// names and values in one block, one record after another: the name's length,
// the value's length, the name, the value. Building appends, reading walks the
// records and hands out views into the block; FindValue makes a string of a
// value the first time it is asked for, for callers that keep a pointer. Like
// the rest of the engine's XML, for one thread at a time.
class XmlAttributes
{
public:
    // A name and its value, valid until the attributes change.
    using value_type = std::pair<std::wstring_view, std::wstring_view>;

    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = XmlAttributes::value_type;
        using difference_type = std::ptrdiff_t;
        using reference = value_type;
        // What operator-> points at: the pair, held by the proxy itself.
        struct pointer
        {
            value_type pair;
            const value_type* operator->() const { return &pair; }
        };

        const_iterator() = default;
        value_type operator*() const { return XmlAttributes::record(at); }
        pointer operator->() const { return pointer{XmlAttributes::record(at)}; }
        const_iterator& operator++()
        {
            at += XmlAttributes::recordSize(at);
            ++index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.index == b.index; }
        // The attribute's place in the order.
        size_t Index() const { return index; }

    private:
        friend class XmlAttributes;
        const_iterator(const wchar_t* at, size_t index) : at(at), index(index) {}
        const wchar_t* at = nullptr;
        size_t index = 0;
    };
    using iterator = const_iterator;

    XmlAttributes() = default;
    XmlAttributes(const XmlAttributes& other) : block(other.block), entries(other.entries) {}
    XmlAttributes(XmlAttributes&& other) noexcept
        : block(std::move(other.block)), entries(std::exchange(other.entries, 0)), copies(std::move(other.copies))
    {
        other.block.clear();
    }
    XmlAttributes& operator=(const XmlAttributes& other)
    {
        if (this != &other)
        {
            block = other.block;
            entries = other.entries;
            copies.reset();
        }
        return *this;
    }
    XmlAttributes& operator=(XmlAttributes&& other) noexcept
    {
        if (this != &other)
        {
            block = std::move(other.block);
            entries = std::exchange(other.entries, 0);
            copies = std::move(other.copies);
            other.block.clear();
        }
        return *this;
    }

    const_iterator begin() const { return const_iterator(block.data(), 0); }
    const_iterator end() const { return const_iterator(block.data() + block.size(), entries); }
    size_t size() const { return entries; }
    bool empty() const { return entries == 0; }
    void clear();
    // Room for count attributes with this many characters of names and values in all.
    void reserve(size_t count, size_t characters) { block.reserve(kHeader * count + characters); }

    const_iterator find(std::wstring_view name) const;
    size_t count(std::wstring_view name) const { return find(name) == end() ? 0 : 1; }
    // The value as a string that stays where it is until the attributes change; null when absent.
    const std::wstring* FindValue(std::wstring_view name) const;
    // As FindValue, but throws std::out_of_range when the name is absent.
    const std::wstring& at(std::wstring_view name) const;

    void insert_or_assign(std::wstring_view name, std::wstring_view value);
    // For a name known to sort after every name already held (the loader's
    // and the savers' path): no search, nothing moved.
    void AppendInOrder(std::wstring_view name, std::wstring_view value)
    {
        if (holds(value))
        {
            const std::wstring copy(value);
            AppendInOrder(name, copy);
            return;
        }
        AppendInOrder(name, value.size(),
                      [&](wchar_t* out)
                      {
                          std::char_traits<wchar_t>::copy(out, value.data(), value.size());
                          return value.size();
                      });
    }
    // As above, the value written in place by fill(out), which may write up
    // to room characters and returns how many it wrote.
    template <typename Fill> void AppendInOrder(std::wstring_view name, size_t room, Fill&& fill)
    {
        if (holds(name))
        {
            const std::wstring copy(name);
            AppendInOrder(copy, room, fill);
            return;
        }
        checkLengths(name.size(), room);
        const size_t at = block.size();
        block.resize(at + kHeader + name.size() + room);
        wchar_t* record = block.data() + at;
        std::char_traits<wchar_t>::copy(record + kHeader, name.data(), name.size());
        const size_t written = fill(record + kHeader + name.size());
        record[0] = static_cast<wchar_t>(static_cast<uint32_t>(name.size()));
        record[1] = static_cast<wchar_t>(static_cast<uint32_t>(written));
        block.resize(at + kHeader + name.size() + written);
        ++entries;
        copies.reset();
    }

    bool operator==(const XmlAttributes& other) const;

private:
    // The two lengths before each record's characters.
    static constexpr size_t kHeader = 2;

    static value_type record(const wchar_t* at)
    {
        const size_t nameSize = uint32_t(at[0]);
        return {std::wstring_view(at + kHeader, nameSize), std::wstring_view(at + kHeader + nameSize, uint32_t(at[1]))};
    }
    static size_t recordSize(const wchar_t* at) { return kHeader + uint32_t(at[0]) + uint32_t(at[1]); }
    // Whether the text lies in the block, which an insertion may move.
    bool holds(std::wstring_view text) const
    {
        const std::less<const wchar_t*> before;
        return !text.empty() && !before(text.data(), block.data()) && before(text.data(), block.data() + block.size());
    }
    // Lengths are kept in 32 bits.
    static void checkLengths(size_t nameSize, size_t valueSize);
    // The first attribute whose name does not sort before name.
    const_iterator lowerBound(std::wstring_view name) const;

    XmlName::Base block;
    size_t entries = 0;
    // The strings FindValue handed out, one place per attribute, made on first use.
    mutable std::unique_ptr<std::optional<std::wstring>[]> copies;
};

class XmlNode
{
public:
    XmlNode() = default;
    explicit XmlNode(const std::wstring& nodeName) : name(nodeName) {}
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // Elements come and go by the thousand with their documents.
    static void* operator new(size_t bytes) { return XmlMemory::Allocate(bytes); }
    static void operator delete(void* node, size_t bytes) noexcept { XmlMemory::Release(node, bytes); }

    // Takes ownership of the child and appends it.
    void AppendChild(std::unique_ptr<XmlNode> child);
    XmlNode* AddNewChild(const std::wstring& childName);
    void SetAttribute(const std::wstring& attributeName, const std::wstring& value);
    // Deletes the child at the index; false (and no change) when out of range.
    bool RemoveChild(size_t index);

    std::wstring GetName() const { return std::wstring(name.data(), name.size()); }
    std::wstring GetText() const { return text; }

    // The element at a slash-separated path below this node (steps compared
    // exactly); the node itself for a path without steps; null when missing.
    XmlNode* GetChild(const std::wstring& path) const;
    // Every child named by the last step below the node the other steps reach.
    void GetChildren(const std::wstring& path, std::vector<XmlNode*>& out) const;
    // First direct child whose name equals the name ignoring case.
    XmlNode* FindChild(const std::wstring& childName) const;
    std::wstring GetChildText(const std::wstring& path) const;

    const std::wstring* FindAttribute(const std::wstring& attributeName) const;
    bool GetAttribute(const std::wstring& attributeName, std::wstring& out) const;
    std::wstring GetStringAttribute(const std::wstring& attributeName, const std::wstring& defaultValue,
                                    bool* found = nullptr) const;
    bool GetBoolAttribute(const std::wstring& attributeName, bool defaultValue) const;
    double GetDoubleAttribute(const std::wstring& attributeName, double defaultValue) const;
    float GetFloatAttribute(const std::wstring& attributeName, float defaultValue) const;
    std::pair<int, int> GetIntPairAttribute(const std::wstring& attributeName, int defaultFirst,
                                            int defaultSecond) const;

    // Appends the XML text of this node and its subtree, indented by depth.
    void Print(std::wstring& out, int depth) const;

    std::vector<std::unique_ptr<XmlNode>> children;
    XmlName name;
    // All text and CDATA pieces of the element, in document order.
    std::wstring text;
    XmlAttributes attributes;
    // True while the element has neither child elements nor text.
    bool empty = true;
    // The file name a cached document was loaded under (roots only).
    std::wstring sourceName;
    // Set on roots that the document cache owns: callers only borrow them.
    bool shared = false;
};

// Fills target from the first root element of a zero-terminated narrow text
// (UTF-8, or what a byte-order mark or declaration says). False, with target
// untouched, when the text does not parse. Once white space has been kept for
// one parse it stays kept for every later parse of the process.
bool ParseXmlText(XmlNode& target, const char* text, bool keepWhiteSpace);
// What the last ParseXmlText that failed found wrong, in the parser's words; empty after a success.
const std::string& LastXmlParseError();
void ClearLastXmlParseError();

// The text of XmlNode::Print at depth 0, without a declaration.
std::wstring WriteXmlText(const XmlNode& node);

} // namespace TarnEngine
