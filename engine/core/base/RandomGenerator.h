// The engine's two random sources: a Mersenne Twister (MT19937) generator per thread, and a small
// process-wide XOR pool of 64 words for the main thread's effects and game logic.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class RandomGenerator
{
public:
    // The calling thread's generator, made and seeded from the millisecond clock on first use.
    static RandomGenerator& ForThread();

    RandomGenerator();
    // state[0] = seed | 1, then each word the previous times 69069 (not the reference
    // initialisation of MT19937, so sequences differ from it for the same seed).
    void Seed(uint32_t seed);
    // The next tempered word; a generator never seeded is seeded with 4357 first.
    uint32_t Next();
    // Next() times 2^-32, in [0, 1).
    float NextUnitFloat();

private:
    void reload();

    static constexpr int kWords = 624;
    uint32_t m_state[kWords];
    int m_next = 0;
    int m_left = -1; // -1: never seeded
};

// The pool: 64 words and the index of the last word drawn. Writable: the game re-seeds it.
struct RandomPool
{
    uint32_t words[64];
    uint32_t index;
};
RandomPool& GetRandomPool();

// Start-up fill: each word is three successive 15-bit values of the engine's own fixed generator
// (shifted by 0, 11 and 22 bits), and the index is reset. The pool holds these contents from the
// start, before any code runs; every machine and every run draws the same sequence.
void FillRandomPool();
// The game's re-seeding after it seeds the runtime generator: each word is set to 0x6E9B2271 and then
// filled the same way.
void RefillRandomPool();

// The next pool word: index = (index + 1) & 63, word[index] ^= word[(index + 3) & 63].
uint32_t PoolRandom();
// a + (b - a) r 2^-32 in single precision, in [a, b): a result that rounds onto b is moved back
// just inside.
float PoolRandomRange(float a, float b);
// PoolRandomRange on the two integers, rounded down: for a < b the result lies in [a, b), each of its
// integers equally likely below zero as above it (as far as floats hold them exactly).
int32_t PoolRandomInt(int32_t a, int32_t b);
// x r 2^-32, in [0, x).
float PoolRandomFloat(float x);

} // namespace TarnEngine
