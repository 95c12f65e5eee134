// Implementation of RandomGenerator.h.
#include "engine/core/base/RandomGenerator.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace TarnEngine
{

namespace
{

constexpr float kTwoToMinus32 = 2.3283064365386963e-10f;

// The start-up fill's own 15-bit generator: the portable one of the C
// standard's example, seeded with 1. The runtime's rand() differs between C
// libraries; this gives the same pool on every machine and in every run.
struct Portable15
{
    uint32_t next = 1;
    constexpr uint32_t operator()()
    {
        next = next * 1103515245u + 12345u;
        return (next / 65536u) % 32768u;
    }
};

constexpr RandomPool startPool()
{
    RandomPool pool{};
    Portable15 generator;
    for (uint32_t& word : pool.words)
    {
        const uint32_t r0 = generator(), r1 = generator(), r2 = generator();
        word = r0 ^ (r1 << 11) ^ (r2 << 22);
    }
    pool.index = 0;
    return pool;
}

// Filled at compile time: ready before any initialiser or the program's
// entry runs, whatever the linker keeps.
constinit RandomPool g_pool = startPool();

uint32_t millisecondClock()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t runtime15()
{
    return uint32_t(std::rand()) & 0x7FFF;
}

void refillPool()
{
    for (uint32_t& word : g_pool.words)
    {
        word = 0x6E9B2271u;
        const uint32_t r0 = runtime15(), r1 = runtime15(), r2 = runtime15();
        word ^= r0 ^ (r1 << 11) ^ (r2 << 22);
    }
    g_pool.index = 0;
}

// The value of a draw between a and b, kept on a's side of b.
float insideRange(float value, float a, float b)
{
    if ((a < b && value >= b) || (a > b && value <= b))
        return std::nextafter(b, a);
    return value;
}

} // namespace

RandomGenerator& RandomGenerator::ForThread()
{
    thread_local RandomGenerator generator = []
    {
        RandomGenerator g;
        g.Seed((millisecondClock() & ~1u) + 1);
        return g;
    }();
    return generator;
}

RandomGenerator::RandomGenerator()
{
    for (uint32_t& word : m_state)
        word = 0;
}

void RandomGenerator::Seed(uint32_t seed)
{
    uint32_t x = seed | 1u;
    for (int i = 0; i < kWords; ++i)
    {
        m_state[i] = x;
        x *= 69069u;
    }
    m_left = 0;
    m_next = 0;
}

void RandomGenerator::reload()
{
    if (m_left < 0)
        Seed(4357);
    // The published MT19937 recurrence.
    for (int i = 0; i < kWords; ++i)
    {
        const uint32_t y = (m_state[i] & 0x80000000u) | (m_state[(i + 1) % kWords] & 0x7FFFFFFFu);
        m_state[i] = m_state[(i + 397) % kWords] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    }
    m_next = 0;
    m_left = kWords;
}

uint32_t RandomGenerator::Next()
{
    if (m_left <= 0)
        reload();
    --m_left;
    uint32_t y = m_state[m_next++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

float RandomGenerator::NextUnitFloat()
{
    return insideRange(float(Next()) * kTwoToMinus32, 0.0f, 1.0f);
}

RandomPool& GetRandomPool()
{
    return g_pool;
}

void FillRandomPool()
{
    g_pool = startPool();
}

void RefillRandomPool()
{
    refillPool();
}

uint32_t PoolRandom()
{
    g_pool.index = (g_pool.index + 1) & 63;
    g_pool.words[g_pool.index] ^= g_pool.words[(g_pool.index + 3) & 63];
    return g_pool.words[g_pool.index];
}

float PoolRandomRange(float a, float b)
{
    const float r = float(PoolRandom()) * kTwoToMinus32;
    return insideRange(a + (b - a) * r, a, b);
}

int32_t PoolRandomInt(int32_t a, int32_t b)
{
    // Rounded down, not toward zero: below zero truncation would never give a, and would give b (or,
    // held below it, b - 1 twice as often as any other value).
    const float value = std::floor(PoolRandomRange(float(a), float(b)));
    // Converted with care: a float at or beyond 2^31 has no int32 value.
    int32_t result;
    if (value >= 2147483648.0f)
        result = INT32_MAX;
    else if (value < -2147483648.0f)
        result = INT32_MIN;
    else
        result = int32_t(value);
    // Integers beyond 2^24 round as floats, which could step outside the range either way.
    if (a < b && result >= b)
        result = b - 1;
    if (a < b && result < a)
        result = a;
    return result;
}

float PoolRandomFloat(float x)
{
    return insideRange(x * (float(PoolRandom()) * kTwoToMinus32), 0.0f, x);
}

} // namespace TarnEngine
