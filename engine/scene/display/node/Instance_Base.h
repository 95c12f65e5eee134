// The node of the display tree. Everything visible is a tree of instances: movies (Instance_Movie)
// hold children, images, texts and particle effects are leaves. A node carries its name and kind,
// a weak link to its parent (a handle into the user interface's instance table), its 2D transform
// with a cached local matrix, the cached outline of its extent in the parent's space, opacity,
// material flags, visibility, input and filtering flags, and an optional drawing canvas.
//
// Only a movie holds its children directly; everything else refers to instances by handle and
// checks it before use, so a removed instance is never reached through a stale link. No world
// matrix is kept anywhere: drawing and hit testing multiply their way down the tree, and changing a
// transform only clears the caches of the node and of its ancestors, whose extents may contain it.
//
// The fields are public as in the rest of the scene model: the movie, the timeline, input dispatch
// and the user interface read and write them. Transforms should go through the setters, which keep
// the caches right; code that writes them directly calls InvalidateMatrix itself.
//
// The script methods are in Instance_BaseLua.cpp, the console commands and Inspect in
// Instance_BaseCommands.cpp.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/core/base/Matrix.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/media/sound/ISound.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class IRenderCanvas;

// The kind of an instance (its `type`), published to scripts under these names.
enum InstanceType : uint32_t
{
    INSTANCE_MOVIE = 0,
    INSTANCE_IMAGE = 1,
    INSTANCE_TEXT = 2,
    INSTANCE_EFFECT = 3,
    // A bare node, of none of the kinds above.
    INSTANCE_NONE = 0xFFFFFFFF,
};

class Instance_Base : public LuaSubclass
{
    TARN_RCLASS(Instance_Base)
    TARN_LUA_CLASS("Instance_Base")
public:
    struct Point
    {
        float x = 0.0f;
        float y = 0.0f;
    };
    struct Rect
    {
        float x = 0.0f;
        float y = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
    };

    // Where GetCanvas gets a new canvas; the graphics layer's canvas unless replaced (tests record
    // what is drawn). Null leaves instances without a canvas. Returns the factory it replaces.
    using CanvasFactory = std::unique_ptr<IRenderCanvas> (*)();
    static CanvasFactory SetCanvasFactory(CanvasFactory factory);

    // Parent chains are followed at most this far: no content nests this deep, and the bound keeps a
    // damaged chain from looping. The movie refuses any child that would make a chain (a node and
    // its ancestors) longer, so every walk up or down the tree stays within it.
    static constexpr int MaxTreeDepth = 1024;

    // A node that Initialize has already reset; scripts get such bare nodes from the constructor.
    Instance_Base();
    ~Instance_Base() override;
    Instance_Base(const Instance_Base&) = delete;
    Instance_Base& operator=(const Instance_Base&) = delete;

    // ---- Operations that the kinds override.
    // Resets the node; derived kinds set `type` after calling it.
    virtual void Initialize(const std::wstring& instanceName);
    // Prints the node on the console.
    virtual void Inspect();
    virtual bool IsReady() { return true; }
    virtual void SetMaterial(uint32_t flags);
    // Images and texts take a tint; a bare node has none.
    virtual void SetColor(uint32_t) {}
    virtual void SetAllowFiltering(bool allow);
    // Draws the node with its parent's world matrix and opacity; a bare node draws nothing.
    virtual void Draw(const Matrix3&, float) {}
    // The node's console command: argument 0 is the command word.
    virtual void ExecuteCommand(const std::vector<std::wstring>& arguments);
    // Fills `corners` with the four corners of the node's own extent in its own space; a bare node
    // keeps them at the origin.
    virtual void ComputeBounds() {}
    virtual void Unload();
    virtual void CopyFrom(const Instance_Base& source);
    // Whether the point (pixels of the node's own space, never negative) hits the node itself once
    // its box did; images test the pixel's alpha, other leaves are hit by their box alone.
    virtual bool HitTestPixel(uint32_t, uint32_t) { return true; }

    // ---- Transform. Each setter stores the value and clears the caches.
    void SetX(float value);
    void SetY(float value);
    void SetPosition(float newX, float newY);
    void SetRotation(float radians);
    void SetScaleX(float value);
    void SetScaleY(float value);
    void SetScale(float sx, float sy);
    void SetRegistrationPoint(float rx, float ry);
    float GetX() const { return x; }
    float GetY() const { return y; }
    float GetRotation() const { return rotation; }
    float GetScaleX() const { return scaleX; }
    float GetScaleY() const { return scaleY; }

    // ---- Appearance and input. These tell the device to apply its material state afresh.
    void SetOpacity(float value);
    void SetVisible(bool show);
    void SetInputEnabled(bool enabled) { inputEnabled = enabled; }

    // ---- Masks: a mask layer, content masked in or out by it, and the mask clear after it.
    void ToggleMaskBase(bool on);
    void ToggleMaskIn(bool on);
    void ToggleMaskOut(bool on);
    void ToggleMaskClear(bool on);

    // The canvas; made on first request when `create` is set, else null until then.
    IRenderCanvas* GetCanvas(bool create);

    // ---- Matrices, extents and points.
    // T(-reg) x S(scale) x R(rotation) x T(position), cached.
    const Matrix3& GetLocalMatrix();
    // Clears the extent cache of the instance and of every ancestor, and the instance's own local
    // matrix when alsoLocal is set.
    static void InvalidateMatrix(Instance_Base* instance, bool alsoLocal);
    void UpdateCorners();
    // The box around the corners: in the parent's space, or in screen space when global is set.
    void GetBounds(float& left, float& top, float& right, float& bottom, bool global);
    float ComputeWidth(bool global);
    float ComputeHeight(bool global);
    // From the node's own space to the screen, through every ancestor.
    void LocalToGlobal(float& px, float& py);
    // From the screen to the node's own space. False, with the point unchanged, when the node or an
    // ancestor has a transform that cannot be inverted (a scale of 0, say).
    bool GlobalToLocal(float& px, float& py);
    // The user interface's pointer position in the node's own space.
    void GetLocalMousePosition(float& outX, float& outY);

    // ---- Hit testing. x and y are in the parent's space. The result is the hit movie (a leaf
    // gives its parent); with a list, every movie hit is appended once, innermost and front-most
    // first, and the walk goes on behind the first hit.
    // With `stop` (input-only walks), a switched-off instance that `stop->blocks` names and that
    // the point hits (its subtree tested input or not) ends the walk: what was listed before it, in
    // front of it, stays, and nothing behind it or holding it is listed.
    struct HitStop
    {
        bool (*blocks)(Instance_Base& instance) = nullptr;
        bool stopped = false;
    };
    InstanceHandle HitTestPoint(float px, float py, bool acceptOwnBounds, bool inputOnly,
                                std::vector<InstanceHandle>* hits, HitStop* stop = nullptr);
    // The same from screen coordinates.
    InstanceHandle HitTestAtGlobal(float px, float py, bool acceptOwnBounds, bool inputOnly,
                                   std::vector<InstanceHandle>* hits);
    // The pointer lies on the node (its own box or anything below it); false without a parent.
    bool IsMouseOver();

    // ---- Drawing order among the siblings (the parent's drawOrder runs back to front).
    void MoveToFront();
    void MoveToBack();
    void MoveInFrontOf(Instance_Base* other);
    void MoveBehind(Instance_Base* other);

    // Asks the parent to remove the instance; for a movie, clearHandlers first drops the event
    // handlers of it and everything below it.
    void Delete(bool clearHandlers);

    // Plays the sound that the instance's definition names for the event; empty when there is none.
    WeakPtr<ISound> PlayEventSound(const std::wstring& eventName);

    static void RegisterLua(lua_State* state);

    // ---- Data.
    std::wstring name;
    uint32_t type = INSTANCE_NONE;
    InstanceHandle handle; // own handle, set when the user interface registers the instance
    InstanceHandle parent; // the parent movie's handle; empty for the root and unattached nodes
    uint32_t treeDepth = 0; // ancestors above the node, kept by the movie that adopts it
    bool unloaded = false;
    std::wstring definitionName;
    uint32_t definitionIndex = 0;
    int32_t timelineIndex = -1; // the parent definition's instance entry that made this child
    float x = 0.0f;
    float y = 0.0f;
    float rotation = 0.0f; // radians
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    float regX = 0.0f;
    float regY = 0.0f;
    Matrix3 localMatrix;
    bool localMatrixValid = false;
    // The extent in the parent's space: (left, top), (left, bottom), (right, top), (right, bottom)
    // of the local extent, transformed.
    Point corners[4];
    Rect extentRect;
    bool useExtentRect = false; // the extent is extentRect instead of what the kind computes
    bool cornersValid = false;
    uint32_t material = eMaterialAlpha;
    float opacity = 1.0f;
    std::unique_ptr<IRenderCanvas> canvas;
    bool allowFiltering = true;
    bool visible = true;
    bool inputEnabled = true;
    bool inHitList = false; // scratch mark of one hit-list pass

private:
    void releaseHandle();
};

// Pushes the instance's script table, made first when it has none; false, with nothing pushed, for
// a null instance or when no table can be made.
bool PushInstanceTable(Instance_Base* instance);

// What the renderer asks of display instances (drawing one into a render target).
struct InstanceServices;
InstanceServices MakeInstanceServices();

} // namespace TarnEngine
