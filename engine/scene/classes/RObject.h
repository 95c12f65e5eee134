// Run-time classes: every engine and game class that data files or scripts
// can name derives from RObject and has one class record (RClass, or
// RInstanceClass for script-bound classes), made on first use and entered in
// the process-wide class registry. The registry lets definitions, nuggets,
// particle actions and scripts create objects by class name, lets code test
// an object's class without the compiler's type information, and gives the
// script manager the classes whose Lua class tables it builds, parents first.
//
// Declaring a class (two lines):
//
//   // Foo.h
//   class Foo : public Bar
//   {
//       TARN_RCLASS(Foo)              // StaticClass() and GetClass()
//   public:
//       ...
//   };
//
//   // Foo.cpp: a plain record ...
//   TARN_IMPLEMENT_RCLASS(Foo, Bar, RObjectFactory<Foo>)
//   // ... or a script-bound one: its Lua name and the function that builds
//   // its Lua class table (see engine/scene/script/LuaBinding.h)
//   TARN_IMPLEMENT_RINSTANCECLASS(Foo, Bar, RObjectFactory<Foo>, L"Foo", &Foo::RegisterLua)
//
// Abstract classes pass RNoFactory. A class record exists only once some code
// asked for it: list every class that data or scripts must reach in
// engine/scene/classes/EngineRegistrations.cpp (one line each), which runs
// before the first script.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

struct lua_State;

namespace TarnEngine
{

class RClass;
class RInstanceClass;

class RObject
{
public:
    virtual ~RObject() = default;

    // The record of the object's most derived class.
    virtual RClass* GetClass() const;
    // True when the object's class is the given one or derives from it.
    virtual bool IsKindOf(const RClass* record) const;
    // Frees the object through its virtual destructor; nothing for null.
    static void DeleteSelf(RObject* object);

    static RClass* StaticClass();
};

using RObjectFactoryFn = RObject* (*)();

// The factory of a class that can be made with its default constructor.
template <class T> RObject* RObjectFactory()
{
    return new T;
}
// The factory of an abstract class: there is nothing to make.
RObject* RNoFactory();

class RClass : public RObject
{
public:
    // Class list in registration order (duplicate names kept) and the name
    // map (last registration wins). Function-local: usable from any static
    // initialiser, emptied at exit.
    struct Registry
    {
        std::vector<RClass*> classes;
        std::map<std::string, RClass*> names;
    };
    static Registry& GetRegistry();

    static RObject* Create(); // the factory of "RClass" records

    RClass* GetClass() const override;
    static RClass* StaticClass();

    // True when the given record is this one or one of its ancestors; false for null.
    virtual bool IsSubclassOf(const RClass* record) const;
    // Stores the fields and enters the record in the registry.
    virtual void Register(const char* className, RClass* parentRecord, RObjectFactoryFn factoryFn, uint8_t flagByte);

    // The record registered last under exactly that name, or null.
    static RClass* FindByName(const char* className);
    // Wide names are matched in the ANSI code page.
    static RClass* FindByName(const std::wstring& className);
    // A new object of the named class, or null when no such class exists or
    // the class is abstract.
    static RObject* CreateObject(const std::wstring& className);

    // The record getter's steps: when `slot` is empty, creates the record,
    // stores it at once, asks the parent getter for the parent's record and
    // registers. Used by the TARN_IMPLEMENT_* macros.
    static RClass* Obtain(RClass*& slot, const char* className, RClass* (*parentGetter)(), RObjectFactoryFn factoryFn,
                          uint8_t flagByte = 0);
    // Engine shutdown: deletes every registered record and empties the registry. The getters that
    // cached a record forget it, so a class used afterwards (an engine started again in the same
    // process) gets a new record instead of a freed one.
    static void DeleteAll();

    const char* GetName() const { return name; }
    RClass* GetParent() const { return parent; }
    RObjectFactoryFn GetFactory() const { return factory; }
    uint8_t GetFlag() const { return flag; }

protected:
    const char* name = nullptr; // static text, never copied or freed
    RClass* parent = nullptr;   // null only for RObject
    RObjectFactoryFn factory = nullptr;
    uint8_t flag = 0; // stored, read by nothing
    RClass** slot = nullptr; // the getter's cache that holds the record, when a getter made it
};

class RInstanceClass : public RClass
{
public:
    using RegisterLuaFn = void (*)(lua_State*);

    static RObject* Create(); // the factory of "RInstanceClass" records

    RClass* GetClass() const override;
    static RClass* StaticClass();

    // Builds the Lua class tables of every instance class in class-list
    // order, each after its ancestors and once per walk. Every walk starts
    // afresh, because it builds into a new script state.
    static void RegisterLuaClass(lua_State* state);

    // The RInstanceClass form of RClass::Obtain; the Lua name and the
    // registration function are set after the record is registered.
    static RInstanceClass* Obtain(RClass*& slot, const char* className, RClass* (*parentGetter)(),
                                  RObjectFactoryFn factoryFn, const std::type_info* typeInfo,
                                  const wchar_t* luaClassName, RegisterLuaFn registerLua);

    const std::wstring& GetLuaClassName() const { return luaClassName; }
    const std::type_info* GetTypeInfo() const { return typeInfo; }
    RegisterLuaFn GetRegisterLua() const { return registerLua; }
    bool IsLuaRegistered() const { return luaRegistered; }

private:
    void registerLuaStep(lua_State* state);

    std::wstring luaClassName;
    const std::type_info* typeInfo = nullptr;
    RegisterLuaFn registerLua = nullptr;
    bool luaRegistered = false;
};

// The engine's down-cast: the object when it is non-null and of class T (or
// derived from it), else null.
template <class T> T* RObjectCast(RObject* object)
{
    return object && object->IsKindOf(T::StaticClass()) ? static_cast<T*>(object) : nullptr;
}
template <class T> const T* RObjectCast(const RObject* object)
{
    return object && object->IsKindOf(T::StaticClass()) ? static_cast<const T*>(object) : nullptr;
}

} // namespace TarnEngine

// Inside a class body: declares the record getter and overrides GetClass.
// Leaves the access at public.
#define TARN_RCLASS(ClassName)                                                                                         \
public:                                                                                                                \
    static ::TarnEngine::RClass* StaticClass();                                                                        \
    ::TarnEngine::RClass* GetClass() const override { return StaticClass(); }

// In the class's source file: the getter of a plain record.
#define TARN_IMPLEMENT_RCLASS(ClassName, ParentName, Factory)                                                          \
    ::TarnEngine::RClass* ClassName::StaticClass()                                                                     \
    {                                                                                                                  \
        static ::TarnEngine::RClass* record = nullptr;                                                                 \
        return record ? record : ::TarnEngine::RClass::Obtain(record, #ClassName, &ParentName::StaticClass, Factory);  \
    }

// In the class's source file: the getter of a script-bound record.
#define TARN_IMPLEMENT_RINSTANCECLASS(ClassName, ParentName, Factory, LuaName, RegisterLua)                            \
    ::TarnEngine::RClass* ClassName::StaticClass()                                                                     \
    {                                                                                                                  \
        static ::TarnEngine::RClass* record = nullptr;                                                                 \
        return record ? record                                                                                         \
                      : ::TarnEngine::RInstanceClass::Obtain(record, #ClassName, &ParentName::StaticClass, Factory,    \
                                                             &typeid(ClassName), LuaName, RegisterLua);                \
    }
