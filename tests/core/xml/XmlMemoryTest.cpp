#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/xml/XmlMemory.h"
#include "engine/core/xml/XmlNode.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XML_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(XML_TEST_ASAN)
#define XML_TEST_ASAN 1
#endif

using namespace TarnEngine;

namespace
{

struct Held
{
    unsigned char* block;
    size_t bytes;
    unsigned char mark;
};

// Blocks of every size around the steps of the slabs, all alive at once and
// each filled to its last byte, must keep their contents: no two overlap and
// none reaches into its neighbour.
TEST(XmlMemory, BlocksOfEverySizeKeepTheirBytesWhileHeld)
{
    const size_t sizes[] = {0, 1, 31, 32, 33, 63, 64, 190, 192, 256, 511, 512, 513, 4096};
    std::vector<Held> held;
    for (int round = 0; round < 300; ++round)
        for (size_t bytes : sizes)
        {
            auto* block = static_cast<unsigned char*>(XmlMemory::Allocate(bytes));
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << bytes;
            const auto mark = static_cast<unsigned char>(held.size() * 7 + 1);
            std::memset(block, mark, bytes);
            held.push_back({block, bytes, mark});
        }
    // Free every other block and take new ones in their places.
    for (size_t i = 0; i < held.size(); i += 2)
    {
        XmlMemory::Release(held[i].block, held[i].bytes);
        held[i].block = static_cast<unsigned char*>(XmlMemory::Allocate(held[i].bytes));
        std::memset(held[i].block, held[i].mark, held[i].bytes);
    }
    for (const Held& h : held)
    {
        for (size_t k = 0; k < h.bytes; ++k)
            if (h.block[k] != h.mark)
            {
                ADD_FAILURE() << "block of " << h.bytes << " bytes changed at " << k;
                break;
            }
        XmlMemory::Release(h.block, h.bytes);
    }
    XmlMemory::Release(nullptr, 32);
}

std::unique_ptr<XmlNode> buildTree(int elements, const std::wstring& tag)
{
    auto root = std::make_unique<XmlNode>(L"root");
    for (int i = 0; i < elements; ++i)
    {
        XmlNode* child = root->AddNewChild(tag + std::to_wstring(i));
        child->SetAttribute(L"value", std::wstring(size_t(i % 40), L'a' + wchar_t(i % 26)));
        child->SetAttribute(L"index", std::to_wstring(i));
    }
    return root;
}

bool treeIntact(const XmlNode& root, int elements, const std::wstring& tag)
{
    if (root.children.size() != size_t(elements))
        return false;
    for (int i = 0; i < elements; ++i)
    {
        const XmlNode& child = *root.children[size_t(i)];
        if (child.GetName() != tag + std::to_wstring(i) ||
            child.GetStringAttribute(L"value", L"?") != std::wstring(size_t(i % 40), L'a' + wchar_t(i % 26)) ||
            child.GetStringAttribute(L"index", L"?") != std::to_wstring(i))
            return false;
    }
    return true;
}

// Trees made on one thread and freed on another, by threads that end while
// holding free blocks, while other threads keep making and freeing their own:
// every tree reads back as it was made.
TEST(XmlMemory, TreesCrossThreadsAndOutliveTheirMakers)
{
    const int kElements = 3000;
    std::vector<std::unique_ptr<XmlNode>> made(4);
    std::vector<std::thread> makers;
    for (size_t t = 0; t < made.size(); ++t)
        makers.emplace_back(
            [&made, t]
            {
                // Each maker also frees a tree of its own before it ends.
                auto scratch = buildTree(kElements, L"scratch");
                made[t] = buildTree(kElements, L"t" + std::to_wstring(t) + L"_");
            });
    for (std::thread& maker : makers)
        maker.join();
    for (size_t t = 0; t < made.size(); ++t)
        EXPECT_TRUE(treeIntact(*made[t], kElements, L"t" + std::to_wstring(t) + L"_")) << t;

    // Freed here, remade on other threads from what the ended threads handed on.
    made.clear();
    std::vector<std::thread> again;
    std::vector<bool> intact(4, false);
    for (size_t t = 0; t < intact.size(); ++t)
        again.emplace_back(
            [&intact, t]
            {
                for (int round = 0; round < 3; ++round)
                {
                    auto tree = buildTree(kElements, L"r" + std::to_wstring(round) + L"_");
                    intact[t] = treeIntact(*tree, kElements, L"r" + std::to_wstring(round) + L"_");
                    if (!intact[t])
                        return;
                }
            });
    auto local = buildTree(kElements, L"main");
    for (std::thread& thread : again)
        thread.join();
    EXPECT_TRUE(treeIntact(*local, kElements, L"main"));
    for (size_t t = 0; t < intact.size(); ++t)
        EXPECT_TRUE(intact[t]) << t;
}

#ifdef XML_TEST_ASAN
// Blocks are reused without going back to the general allocator, so the
// address checks must still see a freed element as freed.
TEST(XmlMemoryDeathTest, AnElementUsedAfterItWasFreedIsCaught)
{
    EXPECT_DEATH(
        {
            auto* node = new XmlNode(L"gone");
            XmlNode* stale = node;
            delete node;
            volatile bool empty = stale->empty;
            (void)empty;
        },
        "use-after-poison|use-after-free");
}
#endif

} // namespace
