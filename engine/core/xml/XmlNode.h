// The engine's one XML tree. Every XML file of the engine and the game is
// parsed (by TinyXML) straight into XmlNode and read back through path
// queries and typed attribute readers; WriteXmlText prints a tree again in a
// form that the parser reads back to the same tree.
#pragma once

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace TarnEngine
{

// An element's attributes by name, in name order. Elements have few, so one
// sorted block per element is far cheaper to build and free than a tree node
// per attribute; lookups read like a map's.
class XmlAttributes
{
public:
    using value_type = std::pair<std::wstring, std::wstring>;
    using iterator = std::vector<value_type>::iterator;
    using const_iterator = std::vector<value_type>::const_iterator;

    iterator begin() { return entries.begin(); }
    iterator end() { return entries.end(); }
    const_iterator begin() const { return entries.begin(); }
    const_iterator end() const { return entries.end(); }
    size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    void clear() { entries.clear(); }
    void reserve(size_t count) { entries.reserve(count); }

    iterator find(const std::wstring& key)
    {
        const iterator it = lowerBound(key);
        return it != entries.end() && it->first == key ? it : entries.end();
    }
    const_iterator find(const std::wstring& key) const { return const_cast<XmlAttributes*>(this)->find(key); }
    size_t count(const std::wstring& key) const { return find(key) == end() ? 0 : 1; }
    const std::wstring& at(const std::wstring& key) const
    {
        const const_iterator it = find(key);
        if (it == end())
            throw std::out_of_range("XmlAttributes::at");
        return it->second;
    }
    std::wstring& operator[](const std::wstring& key)
    {
        const iterator it = lowerBound(key);
        if (it != entries.end() && it->first == key)
            return it->second;
        return entries.insert(it, value_type(key, std::wstring()))->second;
    }
    void insert_or_assign(std::wstring key, std::wstring value)
    {
        const iterator it = lowerBound(key);
        if (it != entries.end() && it->first == key)
            it->second = std::move(value);
        else
            entries.insert(it, value_type(std::move(key), std::move(value)));
    }
    // For a name known to sort after every name already held (the loader's fast path).
    void AppendInOrder(std::wstring key, std::wstring value)
    {
        entries.emplace_back(std::move(key), std::move(value));
    }
    bool operator==(const XmlAttributes& other) const { return entries == other.entries; }

private:
    iterator lowerBound(const std::wstring& key)
    {
        return std::lower_bound(entries.begin(), entries.end(), key,
                                [](const value_type& entry, const std::wstring& k)
                                { return entry.first < k; });
    }
    std::vector<value_type> entries;
};

class XmlNode
{
public:
    XmlNode() = default;
    explicit XmlNode(const std::wstring& nodeName) : name(nodeName) {}
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // Takes ownership of the child and appends it.
    void AppendChild(std::unique_ptr<XmlNode> child);
    XmlNode* AddNewChild(const std::wstring& childName);
    void SetAttribute(const std::wstring& attributeName, const std::wstring& value);
    // Deletes the child at the index; false (and no change) when out of range.
    bool RemoveChild(size_t index);

    std::wstring GetName() const { return name; }
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
    std::wstring name;
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

// The text of XmlNode::Print at depth 0, without a declaration.
std::wstring WriteXmlText(const XmlNode& node);

} // namespace TarnEngine
