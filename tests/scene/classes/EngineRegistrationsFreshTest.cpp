// The engine's class list checked where nothing else registered a class: a child process (this test
// program run again on one test) runs the engine's registrations alone, and every class name that
// definitions, meta files, effect files and scripts may name must then be found and, for the kinds
// that data creates, make an object of that very class. In the shared test process any other test
// could have registered a class that the list dropped.
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/classes/RObject.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

extern char** environ;

namespace
{

using namespace TarnEngine;

constexpr const char* childVariable = "PELLWOOD_REGISTRATIONS_CHILD";

TEST(EngineRegistrationsFresh, EveryNamedClassIsRegisteredByTheListAlone)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    environment.push_back(std::string(childVariable) + "=1");
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe", filter = "--gtest_filter=EngineRegistrationsFreshChild.*",
                brief = "--gtest_brief=1";
    char* argv[] = {program.data(), filter.data(), brief.data(), nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the fresh process missed a class; its output is above";
}

TEST(EngineRegistrationsFreshChild, Check)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by EngineRegistrationsFresh.EveryNamedClassIsRegisteredByTheListAlone";
    ASSERT_TRUE(RClass::GetRegistry().classes.empty()) << "something registered a class before the list ran";
    RegisterEngineStatics();
    struct Case
    {
        const wchar_t* name;
        bool makesObject; // data creates objects of it by name
    };
    const Case cases[] = {
        {L"RObject", false},
        {L"RClass", true},
        {L"RInstanceClass", true},
        {L"LuaBaseSubclass<LuaObjectType>", false},
        {L"Instance_Base", true},
        {L"Instance_Movie", true},
        {L"Instance_Image", true},
        {L"Instance_Text", false},
        {L"TextureText", true},
        {L"BitmapText", true},
        {L"Instance_Effect", true},
        {L"UserInterface", false},
        {L"Console", false},
        {L"Component", true},
        {L"Container", true},
        {L"Screen", true},
        {L"Button", true},
        {L"TextField", true},
        {L"CheckBox", true},
        {L"ISlider", false},
        {L"Slider", true},
        {L"VSlider", true},
        {L"RadioButton", true},
        {L"Panel", true},
        {L"BitmapNumber", true},
        {L"_ScreenMgr", false},
        {L"MultipleVideo", true},
        {L"RNuggetBase", false},
        {L"RMaterialNugget", true},
        {L"RMovieClassNugget", true},
        {L"RLuaClassNugget", true},
        {L"RHitTestTypeNugget", true},
        {L"RVideoNugget", true},
        {L"RSoundEffectNugget", true},
        {L"REffectNugget", true},
        {L"RPfxActionBase", false},
        {L"RPfxStreamEmitterAction", true},
        {L"RPfxExplosionEmitterAction", true},
        {L"RPfxMovePositionAction", true},
        {L"RPfxRandomMoveAction", true},
        {L"RPfxRandomMoveTargetAction", true},
        {L"RPfxSetVelocityAction", true},
        {L"RPfxGravityAction", true},
        {L"RPfxSetVelocityTowardAction", true},
        {L"RPfxPointGravityAction", true},
        {L"RPfxSetRotationAction", true},
        {L"RPfxSpinRotationAction", true},
        {L"RPfxAlignRotationToVelocityAction", true},
        {L"RPfxSetScaleAction", true},
        {L"RPfxSetUniformScaleAction", true},
        {L"RPfxSetScaleFromVelocityAction", true},
        {L"RPfxSetOpacityAction", true},
        {L"RPfxSetColorRGBAction", true},
        {L"RPfxSetColorHSVAction", true},
        {L"RPfxSetImageListFrameAction", true},
        {L"RPfxSetFamilyImageListAction", true},
        {L"RPfxImageScatterAction", true},
        {L"RPfxSplineMoveAction", true}
    };
    for (const Case& c : cases)
    {
        const std::string name(c.name, c.name + std::wcslen(c.name));
        SCOPED_TRACE(name);
        RClass* record = RClass::FindByName(c.name);
        ASSERT_NE(record, nullptr) << "not registered";
        EXPECT_EQ(record->GetName(), name);
        RObject* made = RClass::CreateObject(c.name);
        EXPECT_EQ(made != nullptr, c.makesObject);
        if (made)
        {
            EXPECT_EQ(made->GetClass(), record);
        }
        RObject::DeleteSelf(made);
    }
}

} // namespace
