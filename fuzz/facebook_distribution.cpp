// Fuzz target: the bytes of "lwcache.bin" into FaceBook::Init (the first line, the SKU or address,
// the suffix), with the fake library of the social-network tests. Init must succeed exactly when the
// first line is not empty, and the suffix must be empty, ",sku:" and a decimal number, or ",url:"
// and nothing but ASCII letters, digits and "%XX" escapes.
#include "tests/game/social/FakeLinkwell.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

bool isAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}

void checkSuffix(const std::u16string& suffix)
{
    if (suffix.empty())
        return;
    if (suffix.rfind(u",sku:", 0) == 0)
    {
        size_t at = 5;
        if (at < suffix.size() && suffix[at] == u'-')
            ++at;
        if (at == suffix.size() || suffix.size() - at > 10)
            std::abort();
        for (; at < suffix.size(); ++at)
            if (suffix[at] < u'0' || suffix[at] > u'9')
                std::abort();
        return;
    }
    if (suffix.rfind(u",url:http", 0) != 0)
        std::abort();
    for (size_t at = 5; at < suffix.size(); ++at)
    {
        if (isAlnum(suffix[at]))
            continue;
        if (suffix[at] != u'%' || at + 2 >= suffix.size() || !isHex(suffix[at + 1]) || !isHex(suffix[at + 2]))
            std::abort();
        at += 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace FakeLinkwell;
    Record record;
    g_record = &record;
    World world;
    world.distribution.assign(reinterpret_cast<const char*>(data), size);
    std::string line = world.distribution.substr(0, FaceBook::MaxDistributionLine);
    line = line.substr(0, line.find('\n'));
    line = line.substr(0, line.find('\0'));
    {
        FaceBook social(std::make_unique<Host>(world));
        const bool started = social.Init(3);
        if (started != !line.empty())
            std::abort();
        if (started)
        {
            checkSuffix(social.GetSuffix());
            if (!social.HasConnection())
                std::abort();
        }
    }
    g_record = nullptr;
    return 0;
}
