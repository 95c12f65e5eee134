// Page-turn distortion; see BookScaler.h.
#include "game/media/BookScaler.h"

#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/script/LuaObject.h"

#include <memory>

using namespace TarnEngine;

BookScaler::BookScaler(Instance_Image* image) : image(image) {}

void BookScaler::Update(Distortion_Mesh& mesh)
{
    if (!image)
        return;
    const float offset = image->GetScaleX() - 1.0f;
    mesh.SetTexCoordOffset(0, offset, 0.0f);
    mesh.SetTexCoordOffset(1, offset, 0.0f);
}

bool SetBookScaler(Instance_Image* image)
{
    if (!image)
        return false;
    Distortion_Mesh* mesh = image->CreateDistortionMesh(2, 2);
    if (!mesh)
        return false;
    mesh->SetHandler(std::make_unique<BookScaler>(image));
    return true;
}

int LuaSetBookScaler(lua_State* state)
{
    SetBookScaler(LuaGetObjectArg<Instance_Image>(state, 1));
    return 0;
}
