// Reference pictures of the software device tests: PNG reading and writing, and the comparison that
// either checks a frame against tests/data/raster/NAME.png or, with PELLWOOD_WRITE_RASTER_REFERENCES=1
// in the environment, writes the frame as the new reference. The graphics tests compile it in too,
// for their own folder of references.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace RasterTest
{

struct Picture
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // ARGB words, rows from the top
    bool operator==(const Picture&) const = default;
};

bool WritePng(const std::string& path, const Picture& picture);
bool ReadPng(const std::string& path, Picture& picture);

// Empty when the frame equals tests/data/FOLDER/NAME.png; otherwise a description of the first
// difference. With writeVariable set to 1 in the environment the frame is written as the new
// reference instead.
std::string CompareWithReferenceIn(const std::string& folder, const char* writeVariable,
                                   const std::string& name, const Picture& frame);

// CompareWithReferenceIn("raster", "PELLWOOD_WRITE_RASTER_REFERENCES", ...).
std::string CompareWithReference(const std::string& name, const Picture& frame);

} // namespace RasterTest
