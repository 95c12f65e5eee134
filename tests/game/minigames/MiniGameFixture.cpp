// The mini-games' content for the game fixture; see MiniGameFixture.h.
#include "tests/game/minigames/MiniGameFixture.h"

#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "tests/common/SoundFiles.h"

#include <fstream>
#include <sstream>

using namespace TarnEngine;

namespace
{

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string text(const std::string& name, const std::string& value, int x, int y, int w = 300, int h = 40,
                 const std::string& align = "left")
{
    return "<Instance type=\"text\" instancename=\"" + name + "\" text=\"" + value +
           "\" face=\"DejaVu Sans\" size=\"16\" color=\"0xFFFFFFFF\" align=\"" + align + "\" width=\"" +
           std::to_string(w) + "\" height=\"" + std::to_string(h) +
           "\" depth=\"1\" create=\"0\" death=\"1000\" regx=\"0\" regy=\"0\"><Frame transform=\"1,0,-0,1," +
           std::to_string(x) + "," + std::to_string(y) + "\" alpha=\"100\"/></Instance>";
}

std::string child(const std::string& name, const std::string& definition, int x, int y, int depth = 2)
{
    return "<Instance type=\"library\" instancename=\"" + name + "\" definition=\"" + definition +
           "\" depth=\"" + std::to_string(depth) +
           "\" create=\"0\" death=\"1000\" regx=\"0\" regy=\"0\"><Frame transform=\"1,0,-0,1," +
           std::to_string(x) + "," + std::to_string(y) + "\" alpha=\"100\"/></Instance>";
}

std::string movie(const std::string& name, int length, const std::string& body)
{
    return "<Definition type=\"movie\" name=\"" + name + "\" length=\"" + std::to_string(length) +
           "\" fps=\"30\">" + body + "</Definition>\n";
}

std::string classOf(const std::string& name, const std::string& className)
{
    return "<Definition name=\"" + name + "\"><Nuggets><MovieClassNugget><MovieClassName>" + className +
           "</MovieClassName></MovieClassNugget></Nuggets></Definition>\n";
}

const char* const kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

} // namespace

void MiniGameFixture::SetUp()
{
    GameFixture::SetUp();
    strings.clear();
    // The boards' sounds, each a few seconds long so that a check finds it still playing.
    const SoundFiles::WavSpec spec;
    const SoundFiles::Bytes wav =
        SoundFiles::MakeWav(spec, SoundFiles::Sine(spec.rate * 5, spec.rate, 440.0, 1, 0.2));
    std::filesystem::create_directories(Content("input/sounds"));
    std::ofstream(Content("input/sounds/long.wav"), std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));
    std::string audio = readFile(Content("input/Audio/Audio.xml"));
    std::string extra;
    for (const char* name : {"Typewriter_key", "bell_fail", "letter_fail", "success_bell", "voice_level1"})
        extra +=
            std::string("    <Sound name=\"") + name + "\" source=\"sounds\\long.wav\" class=\"Sound\"/>\n";
    extra += "    <Sound name=\"TypewriterLevel1Music\" source=\"sounds\\long.wav\" class=\"Music\"/>\n";
    extra += "    <Sound name=\"credits_music\" source=\"sounds\\long.wav\" class=\"Music\"/>\n";
    extra += "    <Sound name=\"credits_wind\" source=\"sounds\\long.wav\" class=\"Ambient\"/>\n";
    audio.insert(audio.rfind("</Audio>"), extra);
    WriteContent("input/Audio/Audio.xml", audio);
    WriteContent("input/audio/ambient/credits.xml",
                 std::string(kHeader) + "<Ambient><Sound name=\"credits_wind\" loop=\"1\"/></Ambient>\n");

    // The typewriter board of the common content is a plain screen: the library's own takes over.
    for (const char* file : {"input/definitions/game.xml", "input/libraries_meta.xml"})
    {
        std::string content = readFile(Content(file));
        std::istringstream lines(content);
        std::string line, kept;
        while (std::getline(lines, line))
            if (line.find("\"mov_typewriter_board\"") == std::string::npos)
                kept += line + "\n";
        WriteContent(file, kept);
    }
    writeStrings();
}

void MiniGameFixture::SetStrings(const std::map<std::string, std::string>& entries)
{
    strings = entries;
    writeStrings();
}

void MiniGameFixture::writeStrings()
{
    std::string body = std::string(kHeader) + "<Translator>\n";
    for (const auto& [key, value] : strings)
        body += "  <Entry KEY=\"" + key + "\" VALUE=\"" + value + "\"/>\n";
    body += "</Translator>\n";
    WriteContent("input/translator_en.xml", body);
}

void MiniGameFixture::WriteCreditsContent(const std::vector<bool>& panels, const std::string& creditsXml)
{
    std::string screen;
    for (size_t i = 0; i < panels.size() && i < 4; ++i)
        if (panels[i])
            screen += child("anim" + std::to_string(i), "mov_credits_pad", 100 + 200 * int(i), 100);
    std::string defs = std::string(kHeader) + "<Definitions>\n";
    defs += movie("scr_credits", 1, screen);
    defs +=
        movie("mov_credits_inner", 1, text("lbl_title", "", 0, 10) + text("lbl_name", "", 0, 40, 300, 120));
    // A panel shows its entry for a while, reaches "next" and stops a little later.
    defs += movie("mov_credits_pad", 40,
                  child("pad", "mov_credits_inner", 0, 0) + "<Label name=\"next\" frame=\"20\"/>" +
                      "<Event frame=\"39\" type=\"stop\"/>");
    defs += "</Definitions>\n";
    WriteContent("credits/credits_screen.xml", defs);
    WriteContent("credits/libraries.xml",
                 std::string(kHeader) +
                     "<libraries>\n  <library file=\"credits_screen.xml\"/>\n</libraries>\n");
    WriteContent("credits/libraries_meta.xml",
                 std::string(kHeader) + "<libraries>\n" + classOf("scr_credits", "DlgCredits") +
                     classOf("mov_credits_pad", "CreditsPad") + "</libraries>\n");
    if (!creditsXml.empty())
        WriteContent("input/credits.xml", creditsXml);
}

void MiniGameFixture::WriteTypewriterContent(const std::string& leaveOut)
{
    std::string board;
    if (leaveOut != "paper")
        board += child("paper", "mov_tw_paper", 180, 500, 0);
    if (leaveOut != "text")
        board += text("text", "", 200, 500, 600, 400);
    if (leaveOut != "hud")
        board += child("hud", "mov_tw_hud", 0, 0, 3);
    std::string defs = std::string(kHeader) + "<Definitions>\n";
    defs += movie("mov_typewriter_board", 1, board);
    defs += movie("mov_tw_paper", 1, "");
    defs += movie("mov_tw_hud", 2,
                  child("btn_menu", "mov_tw_button", 10, 10) + child("btn_skip", "mov_tw_button", 100, 10) +
                      child("btn_done", "mov_tw_button", 200, 10) + "<Event frame=\"0\" type=\"stop\"/>");
    defs += movie("mov_tw_button", 3, "<Event frame=\"0\" type=\"stop\"/>");
    defs += movie("mov_typewriter_word", 1, text("text", "", -100, 0, 200, 30, "center"));
    defs += movie("mov_typewriter_letter", 1, text("text", "", 0, 0, 30, 30));
    defs += "</Definitions>\n";
    WriteContent("typewriter/typewriter.xml", defs);
    WriteContent("typewriter/libraries.xml",
                 std::string(kHeader) + "<libraries>\n  <library file=\"typewriter.xml\"/>\n</libraries>\n");
    WriteContent("typewriter/libraries_meta.xml", std::string(kHeader) + "<libraries>\n" +
                                                      classOf("mov_typewriter_board", "TypeBoard") +
                                                      classOf("mov_typewriter_word", "TypeWord") +
                                                      classOf("mov_typewriter_letter", "TypeLetter") +
                                                      classOf("mov_tw_button", "Button") + "</libraries>\n");
}

void MiniGameFixture::WriteOctaneContent(const std::vector<std::string>& leaveOut)
{
    const auto kept = [&](const std::string& name)
    {
        for (const std::string& left : leaveOut)
            if (left == name)
                return false;
        return true;
    };
    std::string board;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
        {
            const std::string cell = std::to_string(r) + "_" + std::to_string(c);
            if (kept("cont_" + cell))
                board += child("cont_" + cell, "mov_oct_buttons", 100 + 120 * c, 100 + 150 * r);
            if (kept("anim_" + cell))
                board += child("anim_" + cell, "mov_oct_roller", 100 + 120 * c, 140 + 150 * r);
        }
    for (int r = 0; r < 3; ++r)
        if (kept("lbl_" + std::to_string(r) + "_x"))
            board += text("lbl_" + std::to_string(r) + "_x", "", 600, 140 + 150 * r, 60, 30);
    for (int c = 0; c < 4; ++c)
        if (kept("lbl_x_" + std::to_string(c)))
            board += text("lbl_x_" + std::to_string(c), "", 100 + 120 * c, 560, 60, 30);
    std::string defs = std::string(kHeader) + "<Definitions>\n";
    defs += movie("mov_octane_board", 1, board);
    defs += movie("mov_oct_buttons", 1,
                  child("btn_up", "mov_oct_button", 0, 0) + child("btn_down", "mov_oct_button", 0, 80));
    defs += movie("mov_oct_button", 3, "<Event frame=\"0\" type=\"stop\"/>");
    defs +=
        movie("mov_oct_digits", 1, text("lbl_up", "", 0, 0, 60, 30) + text("lbl_down", "", 0, 40, 60, 30));
    // Frame 0 rests; "up" rolls over frames 1 to 4 and stops on the last frame, "down" over 5 to 8.
    defs += movie("mov_oct_roller", 10,
                  child("digits", "mov_oct_digits", 0, 0) + "<Label name=\"up\" frame=\"1\"/>" +
                      "<Label name=\"down\" frame=\"5\"/>" + "<Event frame=\"0\" type=\"stop\"/>" +
                      "<Event frame=\"4\" type=\"stop\"/>" + "<Event frame=\"9\" type=\"stop\"/>");
    defs += "</Definitions>\n";
    WriteContent("octane/octane.xml", defs);
    WriteContent("octane/libraries.xml",
                 std::string(kHeader) + "<libraries>\n  <library file=\"octane.xml\"/>\n</libraries>\n");
    WriteContent("octane/libraries_meta.xml", std::string(kHeader) + "<libraries>\n" +
                                                  classOf("mov_octane_board", "OctaneBoard") +
                                                  classOf("mov_oct_buttons", "OctaneBtnContainer") +
                                                  classOf("mov_oct_roller", "OctaneAnimController") +
                                                  classOf("mov_oct_button", "Button") + "</libraries>\n");
}

bool MiniGameFixture::StartInMenu()
{
    WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
    if (!Start())
        return false;
    Frames(2);
    return true;
}

Instance_Movie* MiniGameFixture::Dialog(const std::wstring& name)
{
    _ScreenMgr* manager = _ScreenMgr::Get();
    auto* dialogs =
        manager ? RObjectCast<Instance_Movie>(manager->GetDialogsHandle().GetInstance()) : nullptr;
    return dialogs ? RObjectCast<Instance_Movie>(dialogs->FindChildByPath(name).GetInstance()) : nullptr;
}

bool MiniGameFixture::Playing(const std::wstring& name)
{
    ISoundManager* manager = ISoundManager::Get();
    return manager && manager->FindPlayingSound(name).Get() != nullptr;
}

void MiniGameFixture::Silence()
{
    if (ISoundManager* manager = ISoundManager::Get())
        manager->StopAll();
}
