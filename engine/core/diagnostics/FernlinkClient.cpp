#include "engine/core/diagnostics/FernlinkClient.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/time/FrameClock.h"
#include "platform/system/Module.h"

namespace TarnEngine
{

namespace
{

constexpr const char* defaultModuleNames[] = {"FernlinkD", "Fernlink"};
constexpr wchar_t player[] = L"p0";

const FernlinkHooks defaultHooks = {
    [](const void*) { return 0; },
    [] { return 0; },
    [](uint32_t, uint32_t) {},
    [](const wchar_t*) {},
    [](uint32_t, uint32_t, uint32_t) {},
    [](uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](double, const wchar_t*, const wchar_t*) {},
    [](double, const wchar_t*, const wchar_t*, double, const wchar_t*) {},
    [](uint32_t, uint32_t, uint32_t) {},
    [](double, const wchar_t*, const wchar_t*, int32_t) {},
    [](double, const wchar_t*, int32_t, int32_t, int32_t, int32_t, int32_t) {},
    [](double, const wchar_t*, uint32_t, int32_t, int32_t) {},
    [](double, const wchar_t*, const wchar_t*, const wchar_t*, int32_t) {},
    [](double, const wchar_t*, const wchar_t*, const wchar_t*, int32_t) {},
    [](uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](double, const wchar_t*, const wchar_t*, const wchar_t*, int32_t) {},
    [](double, const wchar_t*, const wchar_t*, double, int32_t) {},
    [](uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](const wchar_t*, double, const wchar_t* const*, const wchar_t* const*, int32_t, int32_t) {},
    [](uint32_t) {},
    [](uint32_t) {},
    [](const wchar_t* const*, const wchar_t* const*, int32_t) {},
    [] {},
    [] { return 0; },
    [] {},
    [] { return 0; },
    [] {},
};

template <class F> void bind(F& hook, const Platform::Module& module, int ordinal)
{
    char name[16];
    std::snprintf(name, sizeof name, "ordinal_%d", ordinal);
    if (void* address = module.Symbol(name))
        hook = reinterpret_cast<F>(address);
}

void bindAll(FernlinkHooks& h, const Platform::Module& m)
{
    bind(h.start, m, 1);
    bind(h.ordinal2, m, 2);
    bind(h.ordinal3, m, 3);
    bind(h.shutdown, m, 4);
    bind(h.ordinal5, m, 5);
    bind(h.ordinal6, m, 6);
    bind(h.enterLevel, m, 7);
    bind(h.exitLevel, m, 8);
    bind(h.ordinal9, m, 9);
    bind(h.optionsAccepted, m, 10);
    bind(h.mouseInput, m, 11);
    bind(h.keyInput, m, 12);
    bind(h.goodAction, m, 13);
    bind(h.badAction, m, 14);
    bind(h.ordinal15, m, 15);
    bind(h.powerUpUsed, m, 16);
    bind(h.statChanged, m, 17);
    bind(h.ordinal18, m, 18);
    bind(h.report, m, 19);
    bind(h.ordinal20, m, 20);
    bind(h.ordinal21, m, 21);
    bind(h.eventDetails, m, 22);
    bind(h.ordinal23, m, 23);
    bind(h.ordinal24, m, 24);
    bind(h.ordinal25, m, 25);
    bind(h.ordinal26, m, 26);
    bind(h.framePresented, m, 27);
}

double scheduledSeconds()
{
    const FrameClock* clock = FrameClock::Get();
    return clock ? clock->GetScheduledSeconds() : 0.0;
}

} // namespace

FernlinkHooks fernlinkHooks = defaultHooks;

FernlinkStartupRecord MakeFernlinkStartupRecord(uint16_t programVersion)
{
    FernlinkStartupRecord record{};
    const uint32_t marker = 0x0001000C;
    const uint32_t version = programVersion;
    std::memcpy(record.bytes + 8, &marker, sizeof marker);
    std::memcpy(record.bytes + 32, &version, sizeof version);
    return record;
}

void ResetFernlinkHooks()
{
    fernlinkHooks = defaultHooks;
}

bool LoadFernlinkClient(const FernlinkStartupRecord* record)
{
    return LoadFernlinkClient(record, defaultModuleNames);
}

bool LoadFernlinkClient(const FernlinkStartupRecord* record, std::span<const char* const> moduleNames)
{
    for (const char* name : moduleNames)
    {
        // Kept mapped after the Module object goes: the hooks point into it.
        std::unique_ptr<Platform::Module> module = Platform::Module::Load(name, true);
        if (!module)
            continue;
        bindAll(fernlinkHooks, *module);
        return fernlinkHooks.start(record) != 0;
    }
    return false;
}

void ReportOptionsToFernlink(const wchar_t* const keys[4], const wchar_t* const values[4], double time)
{
    fernlinkHooks.report(L"Options", time, keys, values, 4, -1);
}

TesselInputHandler& TesselInputHandler::Get()
{
    static TesselInputHandler handler;
    return handler;
}

void TesselInputHandler::OnEvent(const Event_Base& event)
{
    switch (event.type)
    {
    case Event_Base::MouseDown:
    case Event_Base::MouseUp:
    {
        const auto& mouse = static_cast<const Event_Mouse&>(event);
        fernlinkHooks.mouseInput(scheduledSeconds(), player, mouse.button,
                                 event.type == Event_Base::MouseDown ? 1 : 0, mouse.x, mouse.y, -1);
        break;
    }
    case Event_Base::KeyDown:
    case Event_Base::KeyUp:
    {
        const auto& key = static_cast<const Event_Key&>(event);
        fernlinkHooks.keyInput(scheduledSeconds(), player, key.key, event.type == Event_Base::KeyDown ? 1 : 0,
                               -1);
        break;
    }
    default:
        break;
    }
}

} // namespace TarnEngine
