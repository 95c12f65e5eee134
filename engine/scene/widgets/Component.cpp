// Components: state frames, enabling, hit areas, registration in containers; see Component.h.
#include "engine/scene/widgets/Component.h"

#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/widgets/Container.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Component, Instance_Movie, RObjectFactory<Component>, L"Component",
                              &Component::RegisterLua)

namespace
{

int setEnable(lua_State* state)
{
    Component* self = GetLuaSelf<Component>(state);
    bool flag = false;
    if (self && LuaGetBoolArg(state, flag, 2))
        self->SetEnabled(flag);
    return 0;
}

// Only the flag and what the component shows for it; the container's focus stays as it is.
int setFocus(lua_State* state)
{
    Component* self = GetLuaSelf<Component>(state);
    bool flag = false;
    if (self && LuaGetBoolArg(state, flag, 2))
        self->OnFocus(flag);
    return 0;
}

} // namespace

Component::~Component()
{
    // A container that goes first clears `owner`; one that lives on must not keep a freed pointer.
    unregister();
}

void Component::InitializeOwnHandler(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    enabled = true;
    SetEventHandler(this);
}

bool Component::IsSelf(const InstanceHandle& instance) const
{
    return instance.IsValid() && instance.GetInstance() == static_cast<const Instance_Base*>(this);
}

Instance_Movie* Component::ChildMovie(const std::wstring& childName)
{
    Instance_Base* child = FindChildByPath(childName).GetInstance();
    return child && child->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(child) : nullptr;
}

float Component::Width()
{
    return ComputeWidth(false);
}

float Component::Height()
{
    return ComputeHeight(false);
}

void Component::SetEnabled(bool enable)
{
    if (enable == enabled)
        return;
    enabled = enable;
    SetInputEnabled(enable);
    Instance_Movie* mask = ChildMovie(L"disable_mask");
    if (enable)
    {
        if (mask)
            mask->SetVisible(false);
        float px = 0.0f, py = 0.0f;
        GetLocalMousePosition(px, py);
        SetState(px >= 0.0f && px < Width() && py >= 0.0f && py < Height() ? 1 : 0);
    }
    else if (mask)
    {
        mask->SetVisible(true);
        SetState(0);
    }
    else
    {
        // Without a mask the pressed frame is the disabled look.
        SetState(2);
    }
}

void Component::SetState(int32_t newState)
{
    state = newState;
    if (newState >= 0 && uint32_t(newState) < GetNumFrames())
        SetFrame(uint32_t(newState));
}

bool Component::HitTest(InstanceHandle instance)
{
    if (!FindChildByPath(L"_bounds").IsValid())
        return true;
    const Instance_Base* target = instance.GetInstance();
    return target && target->name == L"_bounds";
}

InstanceHandle Component::GetHitArea()
{
    if (Instance_Base* bounds = FindChildByPath(L"_bounds").GetInstance())
        return bounds->handle;
    return movieHandle;
}

Container* Component::GetParentContainer()
{
    return RObjectCast<Container>(parent.GetInstance());
}

void Component::OnLoad(InstanceHandle instance)
{
    // The handler of "_bounds" hears that child's load as well: only its own counts.
    if (IsSelf(instance))
        LoadComponent();
}

void Component::LoadComponent()
{
    const UserInterface* ui = UserInterface::Get();
    const Instance_Base* root = ui ? ui->GetRoot() : nullptr;
    Container* found = nullptr;
    Instance_Base* node = parent.GetInstance();
    for (int depth = 0; node && node != root && depth < MaxTreeDepth; ++depth)
    {
        if (Container* container = RObjectCast<Container>(node))
        {
            found = container;
            break;
        }
        node = node->parent.GetInstance();
    }
    if (owner && owner != found)
        unregister();
    if (found)
    {
        owner = found;
        found->AddComponent(this);
    }

    SetState(0);
    if (enabled)
    {
        enabled = false;
        SetEnabled(true);
    }

    // Pointer input then reaches the component through its "_bounds" child only.
    if (Instance_Movie* bounds = ChildMovie(L"_bounds"))
    {
        bounds->SetEventHandler(this);
        SetEventHandler(nullptr);
    }
}

void Component::OnUnload(InstanceHandle instance)
{
    if (IsSelf(instance))
        unregister();
}

void Component::Unload()
{
    // A component whose input goes through "_bounds" has no handler of its own and hears no
    // OnUnload; it must leave its container all the same.
    unregister();
    Instance_Movie::Unload();
}

void Component::unregister()
{
    if (Container* container = owner)
    {
        owner = nullptr;
        container->RemoveComponent(this);
    }
}

void Component::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.AddMethod("SetEnable", &setEnable);
    def.AddMethod("SetFocus", &setFocus);
    def.SetConstructor(&LuaConstruct<Component>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
