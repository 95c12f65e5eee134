// The display-tree node: handles, transform, extent, point conversion, hit testing, drawing order,
// masks, event sounds and deletion; see Instance_Base.h.
#include "engine/scene/display/node/Instance_Base.h"

#include "engine/graphics/canvas/CRenderCanvas.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Instance_Base, LuaSubclass, RObjectFactory<Instance_Base>, L"Base",
                              &Instance_Base::RegisterLua)

// ---- Handles.

Instance_Base* InstanceHandle::GetInstance() const
{
    return static_cast<Instance_Base*>(Get());
}

InstanceHandle InstanceHandle::AsType(uint32_t kind) const
{
    const Instance_Base* instance = GetInstance();
    return instance && instance->type == kind ? *this : InstanceHandle{};
}

InstanceHandle InstanceHandle::AsMovie() const
{
    return AsType(INSTANCE_MOVIE);
}

InstanceHandle InstanceHandle::AsImage() const
{
    return AsType(INSTANCE_IMAGE);
}

InstanceHandle InstanceHandle::AsText() const
{
    return AsType(INSTANCE_TEXT);
}

namespace
{

std::unique_ptr<IRenderCanvas> makeGraphicsCanvas()
{
    return CRenderCanvas::Create();
}

Instance_Base::CanvasFactory g_canvasFactory = &makeGraphicsCanvas;

// The device applies its whole material state again at the next material change.
void invalidateDeviceMaterial()
{
    if (Renderer* renderer = Renderer::Get())
        if (IGIL* device = renderer->GetDevice())
            device->Invalidate();
}

Instance_Movie* parentMovie(const Instance_Base& instance)
{
    Instance_Base* parent = instance.parent.GetInstance();
    return parent ? RObjectCast<Instance_Movie>(parent) : nullptr;
}

// A coordinate of at least 0 truncated to a pixel; beyond the range of pixels it stays beyond.
uint32_t toPixel(float value)
{
    return value < 4294967040.0f ? uint32_t(value) : 0xFFFFFFFFu;
}

void transform(const Matrix3& m, float& px, float& py)
{
    m.TransformPoint(px, py, px, py);
}

} // namespace

Instance_Base::CanvasFactory Instance_Base::SetCanvasFactory(CanvasFactory factory)
{
    return std::exchange(g_canvasFactory, factory);
}

Instance_Base::Instance_Base() = default;

Instance_Base::~Instance_Base()
{
    canvas.reset();
    releaseHandle();
}

void Instance_Base::releaseHandle()
{
    if (!handle.IsValid())
        return;
    UserInterface* ui = UserInterface::Get();
    if (ui && handle.table == &ui->instanceTable)
        ui->ReleaseInstance(handle);
    else
        handle.table->Release(handle);
}

void Instance_Base::Initialize(const std::wstring& instanceName)
{
    name = instanceName;
    timelineIndex = -1;
    x = y = rotation = 0.0f;
    scaleX = scaleY = 1.0f;
    regX = regY = 0.0f;
    localMatrix.SetIdentity();
    localMatrixValid = false;
    cornersValid = false;
    extentRect = Rect{};
    useExtentRect = false;
    unloaded = false;
    material = 1;
    opacity = 1.0f;
    allowFiltering = visible = inputEnabled = true;
    inHitList = false;
}

// ---- Transform.

void Instance_Base::SetX(float value)
{
    x = value;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetY(float value)
{
    y = value;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetPosition(float newX, float newY)
{
    x = newX;
    y = newY;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetRotation(float radians)
{
    rotation = radians;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetScaleX(float value)
{
    scaleX = value;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetScaleY(float value)
{
    scaleY = value;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetScale(float sx, float sy)
{
    scaleX = sx;
    scaleY = sy;
    InvalidateMatrix(this, true);
}

void Instance_Base::SetRegistrationPoint(float rx, float ry)
{
    regX = rx;
    regY = ry;
    InvalidateMatrix(this, true);
}

// ---- Appearance.

void Instance_Base::SetOpacity(float value)
{
    opacity = value;
    invalidateDeviceMaterial();
}

void Instance_Base::SetVisible(bool show)
{
    visible = show;
    invalidateDeviceMaterial();
}

void Instance_Base::SetMaterial(uint32_t flags)
{
    material = flags;
    invalidateDeviceMaterial();
}

void Instance_Base::SetAllowFiltering(bool allow)
{
    allowFiltering = allow;
    invalidateDeviceMaterial();
}

void Instance_Base::ToggleMaskBase(bool on)
{
    // The mask layer replaces the whole word; switching it off goes back to plain alpha, not to
    // whatever was there before.
    if (on && !(material & 4))
        SetMaterial(4);
    else if (!on && (material & 4))
        SetMaterial(1);
}

namespace
{

void toggleBit(Instance_Base& instance, uint32_t bit, bool on)
{
    const uint32_t flags = on ? instance.material | bit : instance.material & ~bit;
    if (flags != instance.material)
        instance.SetMaterial(flags);
}

} // namespace

void Instance_Base::ToggleMaskIn(bool on)
{
    toggleBit(*this, eMaterialMaskedIn, on);
}

void Instance_Base::ToggleMaskOut(bool on)
{
    toggleBit(*this, eMaterialMaskedOut, on);
}

void Instance_Base::ToggleMaskClear(bool on)
{
    toggleBit(*this, eMaterialMaskClear, on);
}

IRenderCanvas* Instance_Base::GetCanvas(bool create)
{
    if (!canvas && create && g_canvasFactory)
        canvas = g_canvasFactory();
    return canvas.get();
}

// ---- Matrices, extents and points.

const Matrix3& Instance_Base::GetLocalMatrix()
{
    if (localMatrixValid)
        return localMatrix;
    Matrix3 m;
    m.SetTranslation(-regX, -regY);
    for (int row = 0; row < 3; ++row)
    {
        m.m[row][0] *= scaleX;
        m.m[row][1] *= scaleY;
    }
    Matrix3 turn;
    turn.SetRotation(rotation);
    m = Matrix3::Multiply(m, turn);
    m.m[2][0] += x;
    m.m[2][1] += y;
    localMatrix = m;
    localMatrixValid = true;
    return localMatrix;
}

void Instance_Base::InvalidateMatrix(Instance_Base* instance, bool alsoLocal)
{
    if (!instance)
        return;
    if (alsoLocal)
        instance->localMatrixValid = false;
    Instance_Base* node = instance;
    for (int depth = 0; node && depth < MaxTreeDepth; ++depth)
    {
        node->cornersValid = false;
        node = node->parent.GetInstance();
    }
}

void Instance_Base::UpdateCorners()
{
    if (cornersValid)
        return;
    const Matrix3& m = GetLocalMatrix();
    if (useExtentRect)
    {
        const Rect& r = extentRect;
        corners[0] = {r.x, r.y};
        corners[1] = {r.x, r.y + r.height};
        corners[2] = {r.x + r.width, r.y};
        corners[3] = {r.x + r.width, r.y + r.height};
    }
    else
        ComputeBounds();
    for (Point& corner : corners)
        transform(m, corner.x, corner.y);
    cornersValid = true;
}

void Instance_Base::GetBounds(float& left, float& top, float& right, float& bottom, bool global)
{
    UpdateCorners();
    Point box[4] = {corners[0], corners[1], corners[2], corners[3]};
    if (global)
        if (Instance_Base* up = parent.GetInstance())
            for (Point& corner : box)
                up->LocalToGlobal(corner.x, corner.y);
    left = right = box[0].x;
    top = bottom = box[0].y;
    for (const Point& corner : box)
    {
        left = std::min(left, corner.x);
        right = std::max(right, corner.x);
        top = std::min(top, corner.y);
        bottom = std::max(bottom, corner.y);
    }
}

float Instance_Base::ComputeWidth(bool global)
{
    float left, top, right, bottom;
    GetBounds(left, top, right, bottom, global);
    return right - left;
}

float Instance_Base::ComputeHeight(bool global)
{
    float left, top, right, bottom;
    GetBounds(left, top, right, bottom, global);
    return bottom - top;
}

void Instance_Base::LocalToGlobal(float& px, float& py)
{
    Instance_Base* node = this;
    for (int depth = 0; node && depth < MaxTreeDepth; ++depth)
    {
        transform(node->GetLocalMatrix(), px, py);
        node = node->parent.GetInstance();
    }
}

bool Instance_Base::GlobalToLocal(float& px, float& py)
{
    std::vector<Instance_Base*> chain;
    for (Instance_Base* node = this; node && chain.size() < size_t(MaxTreeDepth);
         node = node->parent.GetInstance())
        chain.push_back(node);
    float lx = px, ly = py;
    for (auto node = chain.rbegin(); node != chain.rend(); ++node)
    {
        Matrix3 inverse;
        if (!(*node)->GetLocalMatrix().Inverse(inverse))
            return false;
        transform(inverse, lx, ly);
    }
    px = lx;
    py = ly;
    return true;
}

void Instance_Base::GetLocalMousePosition(float& outX, float& outY)
{
    const UserInterface* ui = UserInterface::Get();
    outX = ui ? float(ui->mouseX) : 0.0f;
    outY = ui ? float(ui->mouseY) : 0.0f;
    GlobalToLocal(outX, outY);
}

// ---- Hit testing.

InstanceHandle Instance_Base::HitTestPoint(float px, float py, bool acceptOwnBounds, bool inputOnly,
                                           std::vector<InstanceHandle>* hits, HitStop* stop)
{
    if (inputOnly && !inputEnabled)
    {
        if (stop && stop->blocks && stop->blocks(*this))
        {
            std::vector<InstanceHandle> covered;
            if (HitTestPoint(px, py, acceptOwnBounds, false, &covered).IsValid() || !covered.empty())
                stop->stopped = true;
        }
        return {};
    }
    UpdateCorners();
    float minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const Point& corner : corners)
    {
        minX = std::min(minX, corner.x);
        maxX = std::max(maxX, corner.x);
        minY = std::min(minY, corner.y);
        maxY = std::max(maxY, corner.y);
    }
    // Left and top edges belong to the box, right and bottom edges to the next one.
    if (!(px >= minX && px < maxX && py >= minY && py < maxY))
        return {};
    inHitList = false;
    // A transform that cannot be inverted has no inside to test the point against.
    Matrix3 inverse;
    if (!GetLocalMatrix().Inverse(inverse))
        return {};
    float lx = px, ly = py;
    transform(inverse, lx, ly);

    Instance_Movie* movie = type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(this) : nullptr;
    if (movie)
    {
        const size_t listed = hits ? hits->size() : 0;
        bool found = false;
        for (size_t i = movie->drawOrder.size(); i-- > 0;)
        {
            Instance_Base* child = movie->drawOrder[i];
            if (child->type == INSTANCE_EFFECT)
                continue;
            // Once something inside was listed, leaves behind it cannot add anything new.
            if (hits && hits->size() > listed && child->type != INSTANCE_MOVIE)
                continue;
            const InstanceHandle hit = child->HitTestPoint(lx, ly, acceptOwnBounds, inputOnly, hits, stop);
            if (stop && stop->stopped)
                return {}; // the movie holds the blocker, or lies behind it
            if (hit.IsValid())
            {
                if (!hits)
                    return hit;
                found = true;
            }
        }
        // A leaf lists its movie itself, so a child may have been hit without handing a result up:
        // a list that grew counts as a find, which puts every movie after those inside it.
        if (useExtentRect || (hits && hits->size() > listed))
            found = true;
        const InstanceHandle own = handle.AsMovie();
        if (!acceptOwnBounds && !useExtentRect)
        {
            if (!found || inHitList)
                return {};
            if (hits)
                hits->push_back(own);
            inHitList = true;
            return own;
        }
        // Its own box counts only for a movie that holds nothing.
        if (!movie->children.empty())
            return {};
        if (hits && !inHitList)
        {
            hits->push_back(own);
            inHitList = true;
        }
        return own;
    }

    if (type == INSTANCE_IMAGE && (lx < 0.0f || ly < 0.0f))
        return {};
    if (type == INSTANCE_IMAGE && !HitTestPixel(toPixel(lx), toPixel(ly)))
        return {};
    // A leaf makes its movie the hit.
    Instance_Base* up = parent.GetInstance();
    if (up && hits && !up->inHitList)
    {
        hits->push_back(parent);
        up->inHitList = true;
    }
    return parent;
}

InstanceHandle Instance_Base::HitTestAtGlobal(float px, float py, bool acceptOwnBounds, bool inputOnly,
                                              std::vector<InstanceHandle>* hits)
{
    if (Instance_Base* up = parent.GetInstance())
    {
        if (!up->GlobalToLocal(px, py))
            return {};
        // A leaf tested on its own lists its parent; the parent's mark may be left from another pass.
        up->inHitList = false;
    }
    return HitTestPoint(px, py, acceptOwnBounds, inputOnly, hits);
}

bool Instance_Base::IsMouseOver()
{
    Instance_Base* up = parent.GetInstance();
    if (!up)
        return false;
    const UserInterface* ui = UserInterface::Get();
    float px = ui ? float(ui->mouseX) : 0.0f, py = ui ? float(ui->mouseY) : 0.0f;
    if (!up->GlobalToLocal(px, py))
        return false;
    up->inHitList = false;
    std::vector<InstanceHandle> hits;
    HitTestPoint(px, py, true, false, &hits);
    return !hits.empty();
}

// ---- Drawing order.

void Instance_Base::MoveToFront()
{
    Instance_Movie* movie = parentMovie(*this);
    if (!movie)
        return;
    std::vector<Instance_Base*>& order = movie->drawOrder;
    const auto found = std::find(order.begin(), order.end(), this);
    if (found == order.end())
        return;
    order.erase(found);
    order.push_back(this);
}

void Instance_Base::MoveToBack()
{
    Instance_Movie* movie = parentMovie(*this);
    if (!movie)
        return;
    std::vector<Instance_Base*>& order = movie->drawOrder;
    const auto found = std::find(order.begin(), order.end(), this);
    if (found == order.end())
        return;
    order.erase(found);
    order.insert(order.begin(), this);
}

namespace
{

// Moves `instance` next to `other` in their parent's drawing order: after it (in front) or before it.
void moveNextTo(Instance_Base& instance, Instance_Base* other, bool inFront)
{
    if (!other || other == &instance || !instance.parent.Equals(other->parent))
        return;
    Instance_Movie* movie = parentMovie(instance);
    if (!movie)
        return;
    std::vector<Instance_Base*>& order = movie->drawOrder;
    const auto own = std::find(order.begin(), order.end(), &instance);
    const auto target = std::find(order.begin(), order.end(), other);
    if (own == order.end() || target == order.end())
        return;
    const size_t ownPosition = size_t(own - order.begin());
    size_t targetPosition = size_t(target - order.begin());
    order.erase(own);
    if (ownPosition < targetPosition)
        --targetPosition;
    order.insert(order.begin() + std::ptrdiff_t(inFront ? targetPosition + 1 : targetPosition), &instance);
}

} // namespace

void Instance_Base::MoveInFrontOf(Instance_Base* other)
{
    moveNextTo(*this, other, true);
}

void Instance_Base::MoveBehind(Instance_Base* other)
{
    moveNextTo(*this, other, false);
}

// ---- Life.

void Instance_Base::Delete(bool clearHandlers)
{
    if (clearHandlers && type == INSTANCE_MOVIE)
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(this))
            movie->ClearEventHandlersRecursive();
    if (Instance_Movie* movie = parentMovie(*this))
        movie->RemoveChild(name);
}

WeakPtr<ISound> Instance_Base::PlayEventSound(const std::wstring& eventName)
{
    const UserInterface* ui = UserInterface::Get();
    ISoundManager* sounds = ISoundManager::Get();
    if (definitionName.empty() || !ui || !sounds)
        return {};
    std::wstring soundName;
    if (!ui->definitionMap->FindEventSound(definitionName, definitionIndex, eventName, soundName))
        return {};
    return sounds->PlaySoundWithParams(soundName, false, false);
}

void Instance_Base::Unload()
{
    unloaded = true;
    releaseHandle();
}

void Instance_Base::CopyFrom(const Instance_Base& source)
{
    useExtentRect = source.useExtentRect;
    cornersValid = source.cornersValid;
    localMatrixValid = source.localMatrixValid;
    inputEnabled = source.inputEnabled;
    material = source.material;
    opacity = source.opacity;
    allowFiltering = source.allowFiltering;
    extentRect = source.extentRect;
    regX = source.regX;
    regY = source.regY;
    rotation = source.rotation;
    scaleX = source.scaleX;
    scaleY = source.scaleY;
    for (int i = 0; i < 4; ++i)
        corners[i] = source.corners[i];
    localMatrix = source.localMatrix;
    x = source.x;
    y = source.y;
    visible = source.visible;
}

InstanceServices MakeInstanceServices()
{
    InstanceServices services;
    services.draw = [](const InstanceHandle& instance, const Matrix3& matrix, float alpha)
    {
        Instance_Base* node = instance.GetInstance();
        if (!node)
            return false;
        node->Draw(matrix, alpha);
        return true;
    };
    services.imageTexture = [](const InstanceHandle& instance)
    {
        const Instance_Image* image = RObjectCast<Instance_Image>(instance.GetInstance());
        return image ? image->texture : RefPtr<IResourceTexture>();
    };
    return services;
}

} // namespace TarnEngine
