// The class records of the stand-ins in DefinitionTestSupport.h.
#include "tests/scene/definitions/DefinitionTestSupport.h"

namespace DefinitionTest
{

TARN_IMPLEMENT_RCLASS(SetupImage, Instance_Base, RObjectFactory<SetupImage>)
TARN_IMPLEMENT_RCLASS(SetupText, Instance_Base, RObjectFactory<SetupText>)
TARN_IMPLEMENT_RCLASS(SetupBitmapText, SetupText, RObjectFactory<SetupBitmapText>)

} // namespace DefinitionTest
