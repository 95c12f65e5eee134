// A player of the sample game on the pellwood program running on an X server of its own (Xvfb):
// the screen points of scripts/make-sample-game.py's manifest, the program's standard error (the
// game's script traces, "sample <seconds>: <what>", and its log lines) read back while it runs,
// what SDL's "disk" audio driver wrote (what would have been heard) and the profile file.
#pragma once

#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/xml/XmlNode.h"
#include "tests/platform/ProgramHand.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace GamePlayer
{

using ProgramLaunch::Clock;
using ProgramLaunch::countOf;
using ProgramLaunch::Hand;
using ProgramLaunch::kOutputRate;
using ProgramLaunch::kPatience;
using ProgramLaunch::Point;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;
using ProgramLaunch::ScreenClosed;
using ProgramLaunch::ScreenOpen;

// The manifest of screen points (sample/clickpoints.txt): "name x y" lines, '#' comments.
class Points
{
public:
    Points()
    {
        std::ifstream in(std::string(PELLWOOD_SOURCE_DIR) + "/sample/clickpoints.txt");
        for (std::string line; std::getline(in, line);)
        {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream fields(line);
            std::string name;
            Point at;
            if (fields >> name >> at.x >> at.y)
                at_[name] = at;
        }
    }
    Point operator[](const std::string& name) const
    {
        const auto found = at_.find(name);
        EXPECT_NE(found, at_.end()) << "no point " << name << " in the manifest";
        return found != at_.end() ? found->second : Point{};
    }

private:
    std::map<std::string, Point> at_;
};

// The text of a profile file (protected or plain), ASCII kept and everything else as '?'; empty
// when it does not read.
inline std::string ProfileText(const std::filesystem::path& path)
{
    const std::string bytes = readFile(path);
    const std::unique_ptr<TarnEngine::XmlNode> root =
        TarnEngine::ReadProtectedXml(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!root)
        return std::string();
    std::string text;
    for (wchar_t c : TarnEngine::WriteXmlText(*root))
        text += c < 0x80 ? char(c) : '?';
    return text;
}


// What the disk audio output holds, as mono.
class Output
{
public:
    explicit Output(const std::filesystem::path& file)
    {
        const std::string bytes = readFile(file);
        std::vector<float> stereo(bytes.size() / sizeof(float));
        std::memcpy(stereo.data(), bytes.data(), stereo.size() * sizeof(float));
        mono_.resize(stereo.size() / 2);
        for (size_t i = 0; i < mono_.size(); ++i)
            mono_[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
    }
    size_t Frames() const { return mono_.size(); }

    // The amplitude of a pure tone at each frequency, summed, in the loudest block of `block`
    // frames that starts in [first, last) (blocks in steps of half their length).
    double Loudest(const std::vector<double>& frequencies, size_t first, size_t last, size_t block = 2048) const
    {
        double loudest = 0.0;
        for (size_t at = first; at < last && at + block <= mono_.size(); at += block / 2)
        {
            double sum = 0.0;
            for (double frequency : frequencies)
                sum += Tone(frequency, at, block);
            loudest = std::max(loudest, sum);
        }
        return loudest;
    }
    // The summed amplitudes of the tones over [first, last) in blocks, added up: how much of them
    // the stretch holds (in amplitude-blocks).
    double Amount(const std::vector<double>& frequencies, size_t first, size_t last, size_t block = 2048) const
    {
        double amount = 0.0;
        for (size_t at = first; at + block <= std::min(last, mono_.size()); at += block)
            for (double frequency : frequencies)
                amount += Tone(frequency, at, block);
        return amount;
    }
    // The loudness of the tones by tenths of a second over [first, last), for a failure's message.
    std::string Levels(const std::vector<double>& frequencies, size_t first, size_t last, size_t block = 2048) const
    {
        std::string text;
        const size_t tenth = size_t(kOutputRate / 10);
        for (size_t at = first; at < last; at += tenth)
            text += std::to_string(Loudest(frequencies, at, at + tenth, block)).substr(0, 5) + " ";
        return text;
    }
    // The amplitude of a pure tone of the frequency in the block (Goertzel, Hann window).
    double Tone(double frequency, size_t first, size_t block) const
    {
        const double pi = 3.14159265358979323846;
        const double w = 2.0 * pi * frequency / kOutputRate;
        const double c = 2.0 * std::cos(w);
        double s1 = 0.0, s2 = 0.0;
        for (size_t i = 0; i < block && first + i < mono_.size(); ++i)
        {
            const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * double(i) / double(block - 1));
            const double s = hann * mono_[first + i] + c * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
        return 4.0 * std::sqrt(std::max(0.0, power)) / double(block); // the Hann window halves it
    }

private:
    std::vector<float> mono_;
};

// The sample's sounds by their tones (scripts/make-sample-game.py): the find (of the effects
// class), the buttons' click and the empty click (effects), and the level's music by its drone.
const std::vector<double> kFindTones = {880.0, 1320.0, 1760.0};
const std::vector<double> kButtonTones = {800.0, 1200.0};
const std::vector<double> kEmptyClickTones = {180.0};
const std::vector<double> kMusicTones = {110.0};

// One run of the program on the sample game. The saved-games folder lives as long as the object,
// so a second Start plays on the profile the first left.
class GameRun
{
public:
    bool Open()
    {
        if (!world.Start())
            return false;
        world.Set("SDL_AUDIODRIVER", "disk");
        world.Set("PELLWOOD_LOG", "debug");
#ifdef PELLWOOD_LEVEL_MODULE_DIR
        // The recording reporting module, found by the name the program looks for.
        world.Set("LD_LIBRARY_PATH", PELLWOOD_LEVEL_MODULE_DIR);
        world.Set("PELLWOOD_LEVEL_REPORTS", Reports().string());
#endif
        return true;
    }
    bool Start()
    {
        ++runs_;
        world.Set("SDL_DISKAUDIOFILE", Audio().string());
        program = Process(world.Launch(ProgramLaunch::SampleArguments(), Said()));
        EXPECT_TRUE(program.Started()) << "the program did not start";
        return program.Started();
    }
    std::filesystem::path Said() const { return world.temp.path / ("stderr" + std::to_string(runs_) + ".txt"); }
    std::filesystem::path Audio() const { return world.temp.path / ("audio" + std::to_string(runs_) + ".raw"); }
    std::filesystem::path Profile() const
    {
        return world.temp.path / "data" / "Halcyra Games" / "Pellwood" / "brq.xml";
    }
    std::filesystem::path Reports() const { return world.temp.path / "reports.txt"; }
    std::string Log() const { return readFile(Said()); }
    // Waits until the text has been said `times` times; false when the program ended first or the
    // time ran out.
    bool WaitFor(const std::string& text, size_t times = 1, std::chrono::milliseconds limit = kPatience)
    {
        return program.WaitFor([&] { return countOf(Log(), text) >= times; }, limit);
    }
    size_t Count(const std::string& text) const { return countOf(Log(), text); }
    // The text of the last line that begins with the start, after it; empty when there is none.
    std::string Last(const std::string& start) const
    {
        const std::string log = Log();
        const size_t at = log.rfind(start);
        if (at == std::string::npos)
            return std::string();
        const size_t from = at + start.size();
        return log.substr(from, log.find('\n', from) - from);
    }

    size_t HeardFrames() const { return ProgramLaunch::HeardFrames(Audio()); }
    bool WaitForHeardFrames(size_t frames)
    {
        return program.WaitFor([&] { return HeardFrames() >= frames; });
    }

    ProgramLaunch::ProgramWorld world;
    Process program;

private:
    int runs_ = 0;
};

} // namespace GamePlayer
