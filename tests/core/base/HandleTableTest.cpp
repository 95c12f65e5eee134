// Handle issue, reuse, staleness and growth of the handle table.
#include <gtest/gtest.h>

#include "engine/core/base/HandleTable.h"

using namespace TarnEngine;

TEST(HandleTable, HandsOutDenseIndicesAndRisingSerials)
{
    HandleTable table;
    int a = 0, b = 0, c = 0;
    InstanceHandle ha, hb, hc;
    table.Add(ha, &a, 1);
    table.Add(hb, &b, 4);
    EXPECT_EQ(ha.index, 0u);
    EXPECT_EQ(ha.serial, 1u);
    EXPECT_EQ(hb.index, 1u);
    EXPECT_EQ(hb.serial, 2u);
    EXPECT_EQ(ha.table, &table);
    EXPECT_EQ(ha.Get(), &a);
    EXPECT_EQ(table.GetSlot(1)->kind, 4u);

    // A released index is the first reused; the old handle never matches again.
    table.Release(ha);
    EXPECT_FALSE(ha.IsValid());
    EXPECT_EQ(ha.Get(), nullptr);
    table.Add(hc, &c, 1);
    EXPECT_EQ(hc.index, 0u);
    EXPECT_EQ(hc.serial, 3u);
    EXPECT_FALSE(ha.IsValid());
    EXPECT_EQ(hc.Get(), &c);
    EXPECT_EQ(hb.Get(), &b);
}

TEST(HandleTable, InvalidHandles)
{
    HandleTable table;
    int a = 0;
    InstanceHandle h;
    table.Add(h, &a, 1);
    const InstanceHandle cases[] = {
        {},                // empty
        {0, 0, &table},    // serial 0
        {1, 1, &table},    // index at the used count
        {1, 1000, &table}, // far past it
        {2, 0, &table},    // serial of no object
        {1, 0, nullptr},   // no table
    };
    for (const InstanceHandle& c : cases)
    {
        EXPECT_FALSE(c.IsValid()) << c.serial << " " << c.index;
        EXPECT_EQ(c.Get(), nullptr);
    }
    EXPECT_TRUE(h.IsValid());

    // Another table's handle, stale handles and double releases change nothing.
    HandleTable other;
    InstanceHandle foreign;
    other.Add(foreign, &a, 1);
    table.Release(foreign);
    EXPECT_TRUE(h.IsValid());
    EXPECT_TRUE(foreign.IsValid());
    table.Release(h);
    table.Release(h);
    InstanceHandle next1, next2;
    table.Add(next1, &a, 1);
    table.Add(next2, &a, 1);
    EXPECT_EQ(next1.index, 0u);
    EXPECT_EQ(next2.index, 1u); // index 0 was not handed out twice
}

TEST(HandleTable, GrowsSixteenSlotsAtATime)
{
    HandleTable table;
    int objects[17] = {};
    InstanceHandle handles[17];
    for (int i = 0; i < 16; ++i)
        table.Add(handles[i], &objects[i], 1);
    EXPECT_EQ(table.GetCapacity(), 16u);
    table.Add(handles[16], &objects[16], 1);
    EXPECT_EQ(table.GetCapacity(), 32u);
    EXPECT_EQ(table.GetUsed(), 17u);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(handles[i].Get(), &objects[i]); // indices stay stable across the growth
    for (int i = 0; i < 17; ++i)
        table.Release(handles[i]);
    EXPECT_EQ(table.GetUsed(), 17u); // the high-water mark never drops
    EXPECT_EQ(table.GetSlot(17), nullptr);
}

namespace
{
// A table whose serial counter is about to wrap.
struct NearWrapTable : HandleTable
{
    NearWrapTable() { m_nextSerial = 0xFFFFFFFFu; }
};
} // namespace

TEST(HandleTable, SerialsSkipZeroWhenTheyWrap)
{
    NearWrapTable table;
    int a = 0, b = 0;
    InstanceHandle last, first;
    table.Add(last, &a, 1);
    table.Add(first, &b, 1);
    EXPECT_EQ(last.serial, 0xFFFFFFFFu);
    EXPECT_EQ(first.serial, 1u);
    EXPECT_TRUE(last.IsValid());
    EXPECT_TRUE(first.IsValid());
    EXPECT_EQ(first.Get(), &b);
}
