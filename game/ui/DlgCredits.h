// The credits screen: the entries of "credits.xml" shown one after another on four animated panels
// ("anim0" to "anim3", CreditsPad movies), rippling mirror images under the first one, the music
// faded out and the credits' ambient scene playing. The panels' timelines pace it: each frame label
// a panel reaches starts the next entry on another panel. A press anywhere closes the screen, which
// stops the ambient scene and brings the music back. Scripts and screen definitions open it by
// name; no code of the program does.
//
// The choice of the next entry is a plain function (PickNext) so that it can be checked and fuzzed
// without a screen: it never divides by an empty list, never draws a panel that is not there and
// always ends.
#pragma once

#include "engine/scene/ui/Screen.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace TarnEngine
{
class XmlNode;
}
class CreditsPad;

class DlgCredits final : public TarnEngine::Screen
{
    TARN_RCLASS(DlgCredits)
    TARN_LUA_CLASS("DlgCredits")
public:
    struct CreditEntry
    {
        std::wstring title;
        std::wstring names;
    };

    // Panels 0 to 2 show single-line entries; panel 3 the entries whose names hold a line feed.
    static constexpr uint32_t PanelCount = 4;
    static constexpr uint32_t MultiLinePanel = 3;
    static constexpr const wchar_t* PanelNames[PanelCount] = {L"anim0", L"anim1", L"anim2", L"anim3"};
    static constexpr const wchar_t* TrophyTitle = L"trophy";
    static constexpr const wchar_t* TrophyEvent = L"WatchedCredits";
    static constexpr const wchar_t* CreditsFile = L"credits.xml";
    static constexpr const wchar_t* AmbientScene = L"audio\\ambient\\credits.xml";
    static constexpr float MusicFadeSeconds = 2.0f;
    // A multi-line entry with more characters than this plays its panel proportionally slower.
    static constexpr size_t LongNames = 100;

    // The next entry to show: which entry, on which panel, at what rate, after how many trophy
    // entries (each raising the trophy event).
    struct Pick
    {
        bool found = false;
        uint32_t entry = 0;
        uint32_t panel = 0;
        float rate = 1.0f;
        uint32_t trophies = 0;
    };
    // Draws an index below its argument (which is at least 1).
    using Draw = std::function<uint32_t(uint32_t)>;

    DlgCredits() = default;
    ~DlgCredits() override;

    // Screen: the set-up when the screen's instance is attached, and the closing hook.
    void OnScreenLoaded() override;
    void OnRemoved() override;
    // IInstanceEventHandler: a label reached by a panel (or the screen) shows the next entry; a press
    // anywhere closes the credits.
    void OnLabelHit(TarnEngine::InstanceHandle instance, const std::wstring& label) override;
    void OnMouseDown(TarnEngine::InstanceHandle instance, uint32_t button) override;

    CreditsPad* FindPad(const std::wstring& name);
    CreditsPad* GetPad(uint32_t index) const;
    const std::vector<CreditEntry>& GetEntries() const { return entries; }
    uint32_t GetCounter() const { return counter; }

    // Every "Entry" child of the root, in document order.
    static std::vector<CreditEntry> ReadEntries(const TarnEngine::XmlNode& root);
    // Walks the cycle from the counter, at most once round: trophy entries are counted and skipped,
    // an entry whose panel is missing is skipped, the first other entry is taken. A single-line
    // entry goes on a present panel among the first three other than the one that reached the
    // label (reached: its index, or -1), or on that one when it is the only one.
    static Pick PickNext(const std::vector<CreditEntry>& entries, uint32_t& counter,
                         const bool (&present)[PanelCount], int32_t reached, const Draw& draw);
    // The pool's draw, as the screen uses it.
    static uint32_t PoolDraw(uint32_t count);

    static void RegisterLua(lua_State* state);

private:
    TarnEngine::InstanceHandle pads[PanelCount];
    std::vector<CreditEntry> entries;
    uint32_t counter = 0;
    // Whether the set-up faded the music out and started the ambient scene, so that closing puts
    // back only what it changed.
    bool soundChanged = false;
};
