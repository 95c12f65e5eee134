// The class records of the scene fixtures' stand-in instances, which the scene suite defines in
// its own test files.
#include "tests/game/ui/DialogFixture.h"

namespace WidgetTest
{
TARN_IMPLEMENT_RCLASS(MeasuredText, Instance_Text, RObjectFactory<MeasuredText>)
}

namespace SceneTest
{
TARN_IMPLEMENT_RCLASS(TestImage, Instance_Base, RObjectFactory<TestImage>)
}
