// Noted problems; see StartupProblem.h.
#include "engine/core/diagnostics/StartupProblem.h"

namespace TarnEngine
{

namespace
{

std::wstring& noted()
{
    static std::wstring problem;
    return problem;
}

} // namespace

void NoteProblem(const std::wstring& text)
{
    // A problem's text comes from files and scripts: bounded, so a message box stays readable.
    constexpr size_t kLongest = 400;
    if (noted().empty())
        noted() = text.size() > kLongest ? text.substr(0, kLongest) + L"..." : text;
}

const std::wstring& NotedProblem()
{
    return noted();
}

void ClearNotedProblem()
{
    noted().clear();
}

} // namespace TarnEngine
