// Tests draw system-font text and compare pixels, so every suite sees the same
// faces: only the DejaVu fonts that the install script provides, through the
// tests' own fontconfig file, whatever else the machine has installed. Set
// before main, ahead of the first font lookup.
#include <cstdlib>

namespace
{

[[maybe_unused]] const bool fixedFonts = []
{
    setenv("FONTCONFIG_FILE", PELLWOOD_TEST_DATA "/fontconfig/fonts.conf", 1);
    return true;
}();

} // namespace
