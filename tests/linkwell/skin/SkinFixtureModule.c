/* A stand-in for "libskinresource.so": the fixture bitmaps of SkinFixture.h
   (the same sizes and colours), built as a module of its own. Built twice:
   with SKIN_BITMAPS 10 and with 9 (id 110 missing). It is C, so the test
   suite's glob of C++ sources leaves it out. */
#include <stdint.h>
#include <stdlib.h>

#ifndef SKIN_BITMAPS
#define SKIN_BITMAPS 10
#endif

static const int sizes[10][2] = {{10, 30}, {12, 32}, {8, 14}, {9, 15}, {5, 28},
                                 {60, 20}, {100, 26}, {6, 4}, {7, 4}, {3, 11}};
static const uint8_t colours[10][3] = {{255, 0, 0},   {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255},
                                       {255, 0, 255}, {128, 0, 0}, {0, 128, 0}, {0, 0, 128},   {128, 128, 0}};
static uint8_t* files[10];
static uint32_t lengths[10];

static void put32(uint8_t* at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = (uint8_t)(v >> (8 * i));
}

static void make(int index)
{
    const uint32_t width = (uint32_t)sizes[index][0];
    const uint32_t height = (uint32_t)sizes[index][1];
    const uint32_t stride = (width * 3 + 3) & ~3u;
    const uint32_t length = 54 + stride * height;
    uint8_t* file = calloc(length, 1);
    if (file == NULL)
        return;
    file[0] = 'B';
    file[1] = 'M';
    put32(file + 2, length);
    put32(file + 10, 54);
    put32(file + 14, 40);
    put32(file + 18, width);
    put32(file + 22, height);
    file[26] = 1;
    file[28] = 24;
    put32(file + 34, stride * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
        {
            uint8_t* p = file + 54 + y * stride + x * 3;
            p[0] = colours[index][2];
            p[1] = colours[index][1];
            p[2] = colours[index][0];
        }
    files[index] = file;
    lengths[index] = length;
}

__attribute__((destructor)) static void release(void)
{
    for (int i = 0; i < 10; ++i)
        free(files[i]);
}

const uint8_t* skinresource_bitmap(uint32_t id, uint32_t* byteCount)
{
    if (id < 101 || id >= 101 + SKIN_BITMAPS || byteCount == NULL)
        return NULL;
    const int index = (int)(id - 101);
    if (files[index] == NULL)
        make(index);
    *byteCount = lengths[index];
    return files[index];
}
