// Fuzz target: a profile document's "FACEBOOK_DATA" into FaceBook::LoadProfile and LoadData, with the
// fake library of the social-network tests. Input starting with '<' is a profile document (its first
// PROFILE is the current profile); any other input is split at line ends into the values of
// "UserID", "Salt" and "Enabled". The salt is never empty, and what SaveData writes reads back the same.
#include "engine/core/text/TextConversion.h"
#include "tests/game/social/FakeLinkwell.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace FakeLinkwell;
    using namespace TarnEngine;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Record record;
    g_record = &record;
    World world;
    if (!text.empty() && text[0] == '<')
    {
        XmlNode root;
        if (!ParseXmlText(root, text.c_str(), false))
        {
            g_record = nullptr;
            return 0;
        }
        XmlNode* profile = root.FindChild(L"PROFILE");
        if (!profile)
        {
            g_record = nullptr;
            return 0;
        }
        world.profile = std::make_unique<XmlNode>(L"PROFILE");
        for (auto& child : profile->children)
            world.profile->AppendChild(std::move(child));
    }
    else
    {
        auto element = std::make_unique<XmlNode>(L"FACEBOOK_DATA");
        const wchar_t* names[] = {L"UserID", L"Salt", L"Enabled"};
        size_t start = 0;
        for (const wchar_t* name : names)
        {
            if (start > text.size())
                break;
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            element->SetAttribute(name, Utf8ToWString(text.substr(start, end - start)));
            start = end + 1;
        }
        world.profile->AppendChild(std::move(element));
    }
    {
        FaceBook social(std::make_unique<Host>(world));
        if (!social.Init(3))
            std::abort();
        social.LoadProfile();
        if (social.GetSalt().empty())
            std::abort();
        const int64_t id = social.GetUserId();
        const std::wstring salt = social.GetSalt();
        const bool enabled = social.IsEnabled();
        social.SaveData();
        if (!social.LoadData() || social.GetUserId() != id || social.GetSalt() != salt || social.IsEnabled() != enabled)
            std::abort();
    }
    g_record = nullptr;
    return 0;
}
