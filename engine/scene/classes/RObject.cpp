// Implementation of RObject.h.
#include "engine/scene/classes/RObject.h"

#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{

RObject* RNoFactory()
{
    return nullptr;
}

// ---- RObject

RClass* RObject::StaticClass()
{
    static RClass* record = nullptr;
    // The root has no parent; its record alone carries the flag 1.
    return record ? record : RClass::Obtain(record, "RObject", nullptr, RNoFactory, 1);
}

RClass* RObject::GetClass() const
{
    return StaticClass();
}

bool RObject::IsKindOf(const RClass* record) const
{
    return GetClass()->IsSubclassOf(record);
}

void RObject::DeleteSelf(RObject* object)
{
    delete object;
}

// ---- RClass

RClass::Registry& RClass::GetRegistry()
{
    static Registry registry;
    return registry;
}

RObject* RClass::Create()
{
    return new RClass;
}

RClass* RClass::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record : Obtain(record, "RClass", &RObject::StaticClass, &RClass::Create);
}

RClass* RClass::GetClass() const
{
    return StaticClass();
}

bool RClass::IsSubclassOf(const RClass* record) const
{
    if (!record)
        return false;
    for (const RClass* c = this; c; c = c->parent)
        if (c == record)
            return true;
    return false;
}

void RClass::Register(const char* className, RClass* parentRecord, RObjectFactoryFn factoryFn, uint8_t flagByte)
{
    name = className;
    parent = parentRecord;
    factory = factoryFn;
    flag = flagByte;
    Registry& registry = GetRegistry();
    registry.classes.push_back(this);
    registry.names[className] = this;
}

RClass* RClass::FindByName(const char* className)
{
    if (!className)
        return nullptr;
    const Registry& registry = GetRegistry();
    const auto found = registry.names.find(className);
    return found == registry.names.end() ? nullptr : found->second;
}

RClass* RClass::FindByName(const std::wstring& className)
{
    return FindByName(WStringToAnsi(className).c_str());
}

RObject* RClass::CreateObject(const std::wstring& className)
{
    const RClass* record = FindByName(className);
    return record && record->factory ? record->factory() : nullptr;
}

RClass* RClass::Obtain(RClass*& slot, const char* className, RClass* (*parentGetter)(), RObjectFactoryFn factoryFn,
                       uint8_t flagByte)
{
    if (slot)
        return slot;
    // Stored before the parent is asked for, so that a getter reached again
    // while the parent is made returns this record instead of a second one.
    RClass* record = new RClass;
    slot = record;
    record->slot = &slot;
    RClass* parentRecord = parentGetter ? parentGetter() : nullptr;
    record->Register(className, parentRecord, factoryFn, flagByte);
    return record;
}

void RClass::DeleteAll()
{
    std::vector<RClass*> records;
    records.swap(GetRegistry().classes);
    GetRegistry().names.clear();
    for (RClass* record : records)
        if (record->slot && *record->slot == record)
            *record->slot = nullptr;
    for (RClass* record : records)
        delete record;
}

// ---- RInstanceClass

RObject* RInstanceClass::Create()
{
    return new RInstanceClass;
}

RClass* RInstanceClass::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record : RClass::Obtain(record, "RInstanceClass", &RClass::StaticClass, &RInstanceClass::Create);
}

RClass* RInstanceClass::GetClass() const
{
    return StaticClass();
}

RInstanceClass* RInstanceClass::Obtain(RClass*& slot, const char* className, RClass* (*parentGetter)(),
                                       RObjectFactoryFn factoryFn, const std::type_info* typeInfo,
                                       const wchar_t* luaClassName, RegisterLuaFn registerLua)
{
    if (slot)
        return static_cast<RInstanceClass*>(slot);
    RInstanceClass* record = new RInstanceClass;
    slot = record;
    record->slot = &slot;
    RClass* parentRecord = parentGetter ? parentGetter() : nullptr;
    record->Register(className, parentRecord, factoryFn, 0);
    record->typeInfo = typeInfo;
    record->registerLua = registerLua;
    record->luaClassName = luaClassName ? luaClassName : L"";
    return record;
}

void RInstanceClass::RegisterLuaClass(lua_State* state)
{
    // A copy: a registration function may request records of its own.
    const std::vector<RClass*> classes = GetRegistry().classes;
    for (RClass* record : classes)
        if (RInstanceClass* instanceClass = RObjectCast<RInstanceClass>(record))
            instanceClass->luaRegistered = false;
    for (RClass* record : classes)
        if (RInstanceClass* instanceClass = RObjectCast<RInstanceClass>(record))
            instanceClass->registerLuaStep(state);
}

void RInstanceClass::registerLuaStep(lua_State* state)
{
    if (luaRegistered)
        return;
    // Set first: a class hierarchy has no cycles, but a record must never be
    // able to send the walk round in one.
    luaRegistered = true;
    if (RInstanceClass* parentClass = RObjectCast<RInstanceClass>(parent))
        parentClass->registerLuaStep(state);
    if (registerLua)
        registerLua(state);
}

} // namespace TarnEngine
