// The optional skin module "libskinresource.so", which holds the frame's
// bitmaps. Looked for as the program's other modules are: beside the program
// first, then on the library search path. Nothing is shipped; without it the
// window keeps its plain frame.
#pragma once

#include <string>

#include "linkwell/skin/SkinBitmaps.h"

namespace linkwell
{

class SkinModule
{
public:
    static constexpr const char* kFileName = "libskinresource.so";
    static constexpr const char* kExport = "skinresource_bitmap";

    // Loads the named file; false (and a log line) when it or its export is missing.
    explicit SkinModule(const std::string& fileName = kFileName);
    ~SkinModule();
    SkinModule(const SkinModule&) = delete;
    SkinModule& operator=(const SkinModule&) = delete;

    bool Opened() const { return bitmap_ != nullptr; }
    // The module's bitmaps; an empty source when it did not open. Valid while the module lives.
    SkinBitmapSource Source() const;

private:
    using BitmapFn = const uint8_t* (*)(uint32_t id, uint32_t* byteCount);
    void* handle_ = nullptr;
    BitmapFn bitmap_ = nullptr;
};

} // namespace linkwell
