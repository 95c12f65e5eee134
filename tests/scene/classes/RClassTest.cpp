// Run-time classes: records made on first use (parents first), the class
// test, the registry and its name map, creating objects by name, the Lua
// registration walk, and the engine's lists of classes and system macros.
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaBaseSubclass.h"
#include "engine/scene/script/ScriptRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace TarnEngine
{

// A small family requested child first, with Lua registrations that record their order.
std::vector<std::string>& walkLog()
{
    static std::vector<std::string> log;
    return log;
}

class ZooAnimal : public RObject
{
    TARN_RCLASS(ZooAnimal)
};
class ZooCat : public ZooAnimal
{
    TARN_RCLASS(ZooCat)
};
class ZooLion : public ZooCat
{
    TARN_RCLASS(ZooLion)
public:
    static void RegisterLua(lua_State*) { walkLog().push_back("ZooLion"); }
};
class ZooTwin : public RObject
{
    TARN_RCLASS(ZooTwin)
};
class ZooTwinAgain : public RObject
{
    TARN_RCLASS(ZooTwinAgain)
};

TARN_IMPLEMENT_RCLASS(ZooAnimal, RObject, RNoFactory)
TARN_IMPLEMENT_RINSTANCECLASS(ZooCat, ZooAnimal, RObjectFactory<ZooCat>, L"Cat", [](lua_State*) {
    walkLog().push_back("ZooCat");
})
TARN_IMPLEMENT_RINSTANCECLASS(ZooLion, ZooCat, RObjectFactory<ZooLion>, L"Lion", &ZooLion::RegisterLua)
// Two classes under one name.
::TarnEngine::RClass* ZooTwin::StaticClass()
{
    static RClass* record = nullptr;
    return RInstanceClass::Obtain(record, "ZooTwin", &RObject::StaticClass, RObjectFactory<ZooTwin>, nullptr, L"",
                                  [](lua_State*) { walkLog().push_back("first twin"); });
}
::TarnEngine::RClass* ZooTwinAgain::StaticClass()
{
    static RClass* record = nullptr;
    return RInstanceClass::Obtain(record, "ZooTwin", &RObject::StaticClass, RObjectFactory<ZooTwinAgain>, nullptr,
                                  L"", [](lua_State*) { walkLog().push_back("second twin"); });
}

namespace
{

size_t positionOf(const RClass* record)
{
    const auto& classes = RClass::GetRegistry().classes;
    return size_t(std::find(classes.begin(), classes.end(), record) - classes.begin());
}

TEST(RClass, ParentsAreMadeAndListedBeforeTheirChildren)
{
    RClass* lion = ZooLion::StaticClass(); // the first request of the whole family
    RClass* cat = ZooCat::StaticClass();
    RClass* animal = ZooAnimal::StaticClass();
    EXPECT_EQ(ZooLion::StaticClass(), lion) << "one record per class";
    EXPECT_EQ(lion->GetParent(), cat);
    EXPECT_EQ(cat->GetParent(), animal);
    EXPECT_EQ(animal->GetParent(), RObject::StaticClass());
    EXPECT_EQ(RObject::StaticClass()->GetParent(), nullptr);
    EXPECT_LT(positionOf(animal), positionOf(cat));
    EXPECT_LT(positionOf(cat), positionOf(lion));
    EXPECT_LT(positionOf(lion), RClass::GetRegistry().classes.size());
    EXPECT_STREQ(lion->GetName(), "ZooLion");
    EXPECT_EQ(RClass::FindByName("ZooLion"), lion);
    EXPECT_EQ(RClass::FindByName(L"ZooCat"), cat);
    EXPECT_EQ(RClass::FindByName("zoolion"), nullptr) << "names match exactly";
    EXPECT_EQ(RClass::FindByName("NoSuchClass"), nullptr);
    EXPECT_EQ(RClass::FindByName(static_cast<const char*>(nullptr)), nullptr);

    const auto* lionRecord = RObjectCast<RInstanceClass>(lion);
    ASSERT_NE(lionRecord, nullptr);
    EXPECT_EQ(lionRecord->GetLuaClassName(), L"Lion");
    EXPECT_EQ(lionRecord->GetTypeInfo(), &typeid(ZooLion));
    EXPECT_EQ(RObjectCast<RInstanceClass>(animal), nullptr) << "a plain record";
    EXPECT_EQ(RObject::StaticClass()->GetFlag(), 1);
    EXPECT_EQ(animal->GetFlag(), 0);
}

TEST(RClass, SubclassAndKindTests)
{
    const RClass* cat = ZooCat::StaticClass();
    struct Case
    {
        const RClass* record;
        const RClass* other;
        bool expected;
    };
    const Case cases[] = {
        {cat, cat, true},
        {cat, ZooAnimal::StaticClass(), true},
        {cat, RObject::StaticClass(), true},
        {cat, ZooLion::StaticClass(), false},
        {cat, nullptr, false},
        {RInstanceClass::StaticClass(), RClass::StaticClass(), true},
        {RClass::StaticClass(), RInstanceClass::StaticClass(), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.record->IsSubclassOf(c.other), c.expected) << c.record->GetName();

    ZooLion lion;
    ZooCat plainCat;
    const RObject* objects[] = {&lion, &plainCat, cat, RObject::StaticClass()};
    for (const RObject* object : objects)
        EXPECT_TRUE(object->IsKindOf(RObject::StaticClass()));
    EXPECT_EQ(RObjectCast<ZooCat>(static_cast<RObject*>(&lion)), &lion);
    EXPECT_EQ(RObjectCast<ZooLion>(static_cast<RObject*>(&plainCat)), nullptr);
    EXPECT_EQ(RObjectCast<ZooCat>(static_cast<RObject*>(nullptr)), nullptr);
    RObject::DeleteSelf(nullptr); // nothing happens
    RObject::DeleteSelf(new ZooLion);
}

TEST(RClass, ObjectsAreMadeByName)
{
    ZooLion::StaticClass();
    RObject* made = RClass::CreateObject(L"ZooLion");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetClass(), ZooLion::StaticClass());
    RObject::DeleteSelf(made);
    ZooAnimal::StaticClass();
    EXPECT_EQ(RClass::CreateObject(L"ZooAnimal"), nullptr) << "abstract";
    EXPECT_EQ(RClass::CreateObject(L"Unknown"), nullptr);
}

TEST(RClass, ASecondClassUnderOneNameWinsTheNameButBothAreWalked)
{
    RClass* first = ZooTwin::StaticClass();
    RClass* second = ZooTwinAgain::StaticClass();
    EXPECT_NE(first, second);
    EXPECT_EQ(RClass::FindByName("ZooTwin"), second);
    const auto& classes = RClass::GetRegistry().classes;
    EXPECT_NE(std::find(classes.begin(), classes.end(), first), classes.end());

    ZooLion::StaticClass();
    for (int round = 0; round < 2; ++round) // every walk builds into a new state
    {
        walkLog().clear();
        RInstanceClass::RegisterLuaClass(nullptr);
        const auto& log = walkLog();
        const auto at = [&](const char* name) { return std::find(log.begin(), log.end(), name) - log.begin(); };
        EXPECT_EQ(std::count(log.begin(), log.end(), "ZooCat"), 1);
        EXPECT_EQ(std::count(log.begin(), log.end(), "ZooLion"), 1);
        EXPECT_LT(at("ZooCat"), at("ZooLion"));
        EXPECT_EQ(std::count(log.begin(), log.end(), "first twin"), 1);
        EXPECT_EQ(std::count(log.begin(), log.end(), "second twin"), 1);
    }
    EXPECT_TRUE(RObjectCast<RInstanceClass>(ZooLion::StaticClass())->IsLuaRegistered());
}

TEST(EngineRegistrations, EveryListedClassIsRegisteredAndMakesItsKind)
{
    RegisterEngineStatics();
    struct Case
    {
        const wchar_t* name;
        RClass* (*getter)();
        bool makesObject;
    };
    const Case cases[] = {
        {L"RObject", &RObject::StaticClass, false},
        {L"RClass", &RClass::StaticClass, true},
        {L"RInstanceClass", &RInstanceClass::StaticClass, true},
        {L"LuaBaseSubclass<LuaObjectType>", &LuaBaseClass::StaticClass, false}, // the later of the two bindings
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        RClass* record = RClass::FindByName(c.name);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record, c.getter());
        RObject* made = RClass::CreateObject(c.name);
        EXPECT_EQ(made != nullptr, c.makesObject);
        if (made)
        {
            EXPECT_EQ(made->GetClass(), record);
        }
        RObject::DeleteSelf(made);
    }
    // Both bindings have their records, under one name, and their script names.
    const auto* strong = RObjectCast<RInstanceClass>(LuaSubclass::StaticClass());
    const auto* weak = RObjectCast<RInstanceClass>(LuaBaseClass::StaticClass());
    ASSERT_TRUE(strong && weak);
    EXPECT_NE(strong, weak);
    EXPECT_STREQ(strong->GetName(), weak->GetName());
    EXPECT_EQ(strong->GetLuaClassName(), L"LuaBaseSubclass");
    EXPECT_EQ(strong->GetParent(), RObject::StaticClass());
    EXPECT_STREQ(LuaSubclass::StaticScriptName(), "LuaSubclass");
    EXPECT_STREQ(LuaBaseClass::StaticScriptName(), "LuaBaseClass");
}

TEST(EngineRegistrations, TheSystemMacros)
{
    RegisterEngineStatics();
    RegisterEngineStatics(); // a second run adds nothing
    const std::pair<const char*, const char*> expected[] = {
        {"INSTANCE_MOVIE", "0"},        {"INSTANCE_IMAGE", "1"},          {"INSTANCE_TEXT", "2"},
        {"INSTANCE_EFFECT", "3"},       {"SYSTEM_TIME", "0"},             {"GAME_TIME", "1"},
        {"HTT_All", "0"},               {"HTT_NonAlpha", "1"},            {"HTT_None", "2"},
        {"HTT_COUNT", "3"},             {"eMaterialNoBlend", "0"},        {"eMaterialAlpha", "1"},
        {"eMaterialAdditive", "2"},     {"eMaterialNoTexture", "3"},      {"eMaterialMaskLayer", "4"},
        {"eMaterialDebug", "5"},        {"eMaterialCount", "7"},          {"eMaterialCanvas", "16"},
        {"eMaterialMaskedIn", "65536"}, {"eMaterialMaskClear", "131072"}, {"eMaterialMaskedOut", "262144"},
        {"eMaterialNoAutoInherit", "524288"}, {"WR_Top", "1"},            {"WR_Right", "2"},
        {"WR_Bottom", "4"},             {"WR_Left", "8"},                 {"WR_All", "15"},
    };
    EXPECT_EQ(GetSystemMacros().size(), std::size(expected));
    for (const auto& [name, value] : expected)
    {
        const std::string* body = FindSystemMacro(name);
        ASSERT_NE(body, nullptr) << name;
        EXPECT_EQ(*body, value) << name;
    }
    EXPECT_EQ(std::stoi(*FindSystemMacro("eMaterialAlpha")) | std::stoi(*FindSystemMacro("eMaterialMaskedIn")), 65537);
    for (const SystemMacro& macro : GetSystemMacros())
        EXPECT_NE(macro.value, "6") << macro.name;
}

} // namespace
} // namespace TarnEngine
