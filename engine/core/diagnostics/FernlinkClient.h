// Binding of the optional reporting module "Fernlink" (libFernlinkD.so, else
// libFernlink.so). The engine reports game events through a table of 27 hooks;
// each starts as a default that does nothing (those with a result answer
// false), so callers call their hook whether or not the module is there. A
// module exports the hooks it implements as C functions named "ordinal_1" to
// "ordinal_27"; the ones it leaves out keep their defaults. Texts are
// zero-terminated wchar_t strings (32-bit), times are the frame clock's
// scheduled seconds. The module stays loaded for the rest of the process.
#pragma once

#include <cstdint>
#include <span>

#include "engine/core/app/InputEvent.h"

namespace TarnEngine
{

// Handed to ordinal 1 (as a pointer to its bytes): 56 bytes, zero but for the word 0x0001000C at byte 8
// and the program version number at byte 32. It lives only for the call.
struct FernlinkStartupRecord
{
    uint8_t bytes[56];
};
FernlinkStartupRecord MakeFernlinkStartupRecord(uint16_t programVersion);

struct FernlinkHooks
{
    int (*start)(const void* record);                                                       // 1
    int (*ordinal2)();                                                                      // 2
    void (*ordinal3)(uint32_t, uint32_t);                                                   // 3
    void (*shutdown)(const wchar_t* what);                                                  // 4 "ui"
    void (*ordinal5)(uint32_t, uint32_t, uint32_t);                                         // 5
    void (*ordinal6)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);           // 6
    void (*enterLevel)(double time, const wchar_t* level, const wchar_t* second);           // 7
    void (*exitLevel)(double time, const wchar_t*, const wchar_t*, double, const wchar_t*); // 8
    void (*ordinal9)(uint32_t, uint32_t, uint32_t);                                         // 9
    void (*optionsAccepted)(double time, const wchar_t*, const wchar_t*, int32_t);          // 10
    void (*mouseInput)(double time, const wchar_t* player, int32_t button, int32_t pressed, int32_t x,
                       int32_t y,
                       int32_t);                                                                      // 11
    void (*keyInput)(double time, const wchar_t* player, uint32_t key, int32_t pressed, int32_t);     // 12
    void (*goodAction)(double time, const wchar_t* player, const wchar_t*, const wchar_t*, int32_t);  // 13
    void (*badAction)(double time, const wchar_t* player, const wchar_t*, const wchar_t*, int32_t);   // 14
    void (*ordinal15)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);                    // 15
    void (*powerUpUsed)(double time, const wchar_t* player, const wchar_t*, const wchar_t*, int32_t); // 16
    void (*statChanged)(double time, const wchar_t* player, const wchar_t*, double, int32_t);         // 17
    void (*ordinal18)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                      uint32_t); // 18
    void (*report)(const wchar_t* category, double time, const wchar_t* const* keys,
                   const wchar_t* const* values, int32_t count, int32_t);                          // 19
    void (*ordinal20)(uint32_t);                                                                   // 20
    void (*ordinal21)(uint32_t);                                                                   // 21
    void (*eventDetails)(const wchar_t* const* keys, const wchar_t* const* values, int32_t count); // 22
    void (*ordinal23)();                                                                           // 23
    int (*ordinal24)();                                                                            // 24
    void (*ordinal25)();                                                                           // 25
    int (*ordinal26)();                                                                            // 26
    void (*framePresented)();                                                                      // 27
};

// The process-wide table; written only while binding at start-up.
extern FernlinkHooks fernlinkHooks;

// Loads the first module of `moduleNames` that exists, binds its exports and
// returns what its ordinal 1 answers; false, with every default kept, when no
// module could be loaded.
bool LoadFernlinkClient(const FernlinkStartupRecord* record);
bool LoadFernlinkClient(const FernlinkStartupRecord* record, std::span<const char* const> moduleNames);
// Puts every default back (no module bound).
void ResetFernlinkHooks();

// The settings report: ("Options", time, keys, values, 4, -1) to ordinal 19.
void ReportOptionsToFernlink(const wchar_t* const keys[4], const wchar_t* const values[4], double time);

// Forwards the user interface's mouse and key events to ordinals 11 and 12.
class TesselInputHandler final : public IEventListener
{
public:
    static TesselInputHandler& Get();
    void OnEvent(const Event_Base& event) override;
};

} // namespace TarnEngine
