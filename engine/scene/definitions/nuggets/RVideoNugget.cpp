// The video nugget; see RVideoNugget.h.
#include "engine/scene/definitions/nuggets/RVideoNugget.h"

#include "engine/core/xml/XmlNode.h"
#include "engine/media/video/IImageSource.h"
#include "engine/scene/definitions/DefinitionValues.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/node/Instance_Base.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RVideoNugget, RNuggetBase, RObjectFactory<RVideoNugget>)

bool RVideoNugget::Load(const XmlNode& element)
{
    fileName = element.GetChildText(L"FileName");
    alphaFileName = element.GetChildText(L"FileNameAlpha");
    autoPlay = element.GetChildText(L"AutoPlay") == L"true";
    loop = element.GetChildText(L"Loop") == L"true";
    delay = float(ReadRealValue(element.GetChildText(L"Delay")));
    return true;
}

void RVideoNugget::Apply(Instance_Base* instance)
{
    auto* image = dynamic_cast<IImageInstanceSetup*>(instance);
    if (!image)
        return;
    IImageSource* video = image->AttachVideo(fileName, alphaFileName);
    if (video && autoPlay)
        video->Open(loop, 0.0f);
}

} // namespace TarnEngine
