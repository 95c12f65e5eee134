// A scene object that the player drags onto something or clicks to use. The board asks the level
// script what a drop means; the item carries the drag out itself: it picks up, follows the
// pointer, shows its state through the frame of its first child movie (0 normal, 1 pointer over,
// 2 dragged), and goes back where it came from when the drop is refused. It also passes the label
// hits and timeline stops of its sub-movies on to its script table.
//
// The per-frame step arrives as the engine's queued update notice, which a movie queues for its
// handler at every update whose step is above 0.00001 s.
#pragma once

#include "game/hiddenobject/BaseItem.h"

class PuzzleItem : public BaseItem
{
    TARN_RCLASS(PuzzleItem)
    TARN_LUA_CLASS("PuzzleItem")
public:
    void Initialize(const std::wstring& instanceName) override;
    // The home position starts where the item stands when it is loaded.
    void OnLoad(TarnEngine::InstanceHandle instance) override;

    // Nothing when unchanged; otherwise BaseItem's, an end to any drag, input only while active,
    // the hover frame and the tooltip.
    void SetState(int32_t newState) override;
    // Refreshes the tooltip after the script changed "s_state".
    virtual void InternalStateChanded();
    virtual void EnableDrag(bool enable) { dragEnabled = enable; }
    bool IsDragEnabled() const { return dragEnabled; }
    bool IsDragging() const { return dragging; }

    // Moves the item to its home position and restores its drawing order.
    void RestoreOriginalPosition();

    // IInstanceEventHandler.
    void OnLabelHit(TarnEngine::InstanceHandle instance, const std::wstring& label) override;
    void OnMouseDown(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnUpdate(TarnEngine::InstanceHandle instance) override;
    void OnTimelineStop(TarnEngine::InstanceHandle instance) override;

    static void RegisterLua(lua_State* state);

    bool dragging = false;
    bool dragEnabled = true;
    float grabX = 0.0f;
    float grabY = 0.0f;
    float homeX = 0.0f;
    float homeY = 0.0f;

private:
    // Shows the frame on the first child when it is a movie with more frames than that.
    void setVisualState(uint32_t frame);
    // 1 when active and under the pointer, else 0.
    void showHover();
    void cancelDrag();
};
