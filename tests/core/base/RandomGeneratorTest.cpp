// The per-thread Mersenne Twister against goldens from an independent MT19937 (fed the same state),
// and the XOR pool with its range helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include "engine/core/base/RandomGenerator.h"

using namespace TarnEngine;

TEST(RandomGenerator, GoldenSequences)
{
    struct Case
    {
        bool seeded;
        uint32_t seed;
        uint32_t first[4];
        uint32_t at623, at624, at1299; // around the first reload and after the second
    } cases[] = {
        {true, 12345, {0x9552F4DC, 0xFE5E3B80, 0x967FCE7A, 0xDB83142D}, 0x6A8B35F4, 0x3B40120B, 0xCE4FD243},
        {true, 2, {0x9C1459BA, 0x96F2632B, 0xEFBBC7CA, 0x8C1C7D37}, 0x10526612, 0xE516CC69, 0x2B25618F},
        {true, 3, {0x9C1459BA, 0x96F2632B, 0xEFBBC7CA, 0x8C1C7D37}, 0x10526612, 0xE516CC69, 0x2B25618F},
        // Never seeded: seeded with 4357 on first use.
        {false, 0, {0xD13C8AF5, 0xFFC27482, 0x82A6958B, 0x21AC240A}, 0x2B9061BD, 0x8472D5CF, 0x592A288E},
    };
    for (const Case& c : cases)
    {
        RandomGenerator g;
        if (c.seeded)
            g.Seed(c.seed);
        std::vector<uint32_t> out;
        for (int i = 0; i < 1300; ++i)
            out.push_back(g.Next());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(out[size_t(i)], c.first[i]) << c.seed << " #" << i;
        EXPECT_EQ(out[623], c.at623) << c.seed;
        EXPECT_EQ(out[624], c.at624) << c.seed;
        EXPECT_EQ(out[1299], c.at1299) << c.seed;
    }
}

TEST(RandomGenerator, ReseedingRepeatsTheSequence)
{
    RandomGenerator g;
    g.Seed(99);
    const uint32_t a = g.Next(), b = g.Next();
    g.Seed(99);
    EXPECT_EQ(g.Next(), a);
    EXPECT_EQ(g.Next(), b);
    const float unit = g.NextUnitFloat();
    EXPECT_GE(unit, 0.0f);
    EXPECT_LT(unit, 1.0f);
}

TEST(RandomGenerator, EachThreadHasItsOwn)
{
    RandomGenerator* mine = &RandomGenerator::ForThread();
    EXPECT_EQ(mine, &RandomGenerator::ForThread());
    RandomGenerator* theirs = nullptr;
    std::thread([&] { theirs = &RandomGenerator::ForThread(); }).join();
    EXPECT_NE(mine, theirs);
}

namespace
{

// Saves and restores the process-wide pool around a test.
class PoolTest : public ::testing::Test
{
protected:
    void SetUp() override { m_saved = GetRandomPool(); }
    void TearDown() override { GetRandomPool() = m_saved; }

    // Makes the next PoolRandom() return value (the word at index 1 XOR the word at index 4).
    static void nextDrawIs(uint32_t value)
    {
        RandomPool& pool = GetRandomPool();
        pool.index = 0;
        pool.words[1] = value;
        pool.words[4] = 0;
    }

    RandomPool m_saved;
};

} // namespace

TEST_F(PoolTest, XorStep)
{
    RandomPool& pool = GetRandomPool();
    for (uint32_t i = 0; i < 64; ++i)
        pool.words[i] = i * 0x01010101u;
    pool.index = 62;
    EXPECT_EQ(PoolRandom(), (63u * 0x01010101u) ^ (2u * 0x01010101u)); // index 63 with word 2
    EXPECT_EQ(pool.index, 63u);
    EXPECT_EQ(PoolRandom(), 0u ^ (3u * 0x01010101u)); // wraps to 0, with word 3
    EXPECT_EQ(pool.index, 0u);
}

TEST_F(PoolTest, RangesStayBelowTheirUpperEnd)
{
    // The largest draws round to 2^32 in single precision; the results stay below the upper end.
    for (const uint32_t draw : {0xFFFFFFFFu, 0xFFFFFF80u, 0xFFFFFF00u})
    {
        nextDrawIs(draw);
        EXPECT_LT(PoolRandomInt(0, 10), 10) << draw;
        nextDrawIs(draw);
        EXPECT_EQ(PoolRandomInt(0, 1), 0) << draw;
        nextDrawIs(draw);
        EXPECT_LT(PoolRandomRange(1.0f, 2.0f), 2.0f) << draw;
        nextDrawIs(draw);
        EXPECT_LT(PoolRandomFloat(3.0f), 3.0f) << draw;
        nextDrawIs(draw);
        EXPECT_LT(PoolRandomInt(0, 100000000), 100000000) << draw;
    }
    nextDrawIs(0);
    EXPECT_EQ(PoolRandomInt(3, 9), 3);
    nextDrawIs(0x80000000u);
    EXPECT_FLOAT_EQ(PoolRandomRange(2.0f, 4.0f), 3.0f);
    nextDrawIs(0x40000000u);
    EXPECT_FLOAT_EQ(PoolRandomFloat(8.0f), 2.0f);
    nextDrawIs(0x12345678u);
    EXPECT_EQ(PoolRandomRange(5.0f, 5.0f), 5.0f);
    nextDrawIs(0xFFFFFFFFu);
    EXPECT_LT(PoolRandomInt(INT32_MIN, INT32_MAX), INT32_MAX); // 2^31 as a float has no int32 value
}

// Draws spread evenly over the unit interval spread evenly over [a, b), negative ranges included
// (rounding toward zero would never give a and would pile two cells onto b - 1); integers too large
// for a float still stay inside the range.
TEST_F(PoolTest, IntegersAreEvenOverTheWholeRange)
{
    struct Case
    {
        int32_t a, b;
    } cases[] = {{0, 5}, {-5, 0}, {-3, 3}, {-10, -6}, {16777217, 16777222}};
    constexpr uint32_t kDraws = 1200;
    for (const Case& c : cases)
    {
        std::map<int32_t, uint32_t> counts;
        for (uint32_t k = 0; k < kDraws; ++k)
        {
            // The middle of the k-th of kDraws equal cells of [0, 2^32).
            nextDrawIs(uint32_t((uint64_t(2 * k + 1) << 32) / (2 * kDraws)));
            ++counts[PoolRandomInt(c.a, c.b)];
        }
        EXPECT_GE(counts.begin()->first, c.a) << c.a << ".." << c.b;
        EXPECT_LT(counts.rbegin()->first, c.b) << c.a << ".." << c.b;
        if (c.b >= (1 << 24))
            continue; // floats no longer hold every integer of the range
        const uint32_t cells = uint32_t(c.b - c.a);
        EXPECT_EQ(counts.size(), cells) << c.a << ".." << c.b;
        for (const auto& [value, count] : counts)
            EXPECT_EQ(count, kDraws / cells) << value << " in " << c.a << ".." << c.b;
    }
}

// Taken during static initialisation: what the pool holds before the program's entry runs.
const RandomPool g_poolAtStart = GetRandomPool();

TEST_F(PoolTest, FillsFollowTheirGenerators)
{
    RandomPool& pool = GetRandomPool();
    for (uint32_t& w : pool.words)
        w = 0;
    pool.index = 17;
    std::srand(99); // the start-up fill does not depend on the runtime generator
    FillRandomPool();
    EXPECT_EQ(pool.index, 0u);
    // The first values of the fixed 15-bit generator, seeded with 1.
    EXPECT_EQ(pool.words[0], 16838u ^ (5758u << 11) ^ (10113u << 22));
    // Filled the same before any code ran, and a second fill gives the same words again.
    EXPECT_EQ(std::vector<uint32_t>(g_poolAtStart.words, g_poolAtStart.words + 64),
              std::vector<uint32_t>(pool.words, pool.words + 64));
    EXPECT_EQ(g_poolAtStart.index, 0u);
    FillRandomPool();
    EXPECT_EQ(std::vector<uint32_t>(g_poolAtStart.words, g_poolAtStart.words + 64),
              std::vector<uint32_t>(pool.words, pool.words + 64));

    std::srand(7);
    RefillRandomPool();
    const RandomPool first = pool;
    std::srand(7);
    RefillRandomPool();
    EXPECT_EQ(std::vector<uint32_t>(first.words, first.words + 64),
              std::vector<uint32_t>(pool.words, pool.words + 64));
    std::srand(7);
    const uint32_t s0 = uint32_t(std::rand()) & 0x7FFF, s1 = uint32_t(std::rand()) & 0x7FFF,
                   s2 = uint32_t(std::rand()) & 0x7FFF;
    EXPECT_EQ(pool.words[0], 0x6E9B2271u ^ s0 ^ (s1 << 11) ^ (s2 << 22));
}
