// The library's log: the stamp format, the line limit, the two flags and
// whole lines from many threads.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "../LinkwellTestSupport.h"
#include "linkwell/log/Log.h"

namespace {

class LogTest : public linkwell_test::TempFolderTest {};

const char* const kStamp = R"((\d+)\.([1-9]\d?)\.([1-9]\d?) (0|[1-9]\d?):(0|[1-9]\d?):(0|[1-9]\d?)\.(0|[1-9]\d{0,2}) )";

TEST_F(LogTest, LineCarriesAUtcStampWithoutLeadingZeros) {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    linkwell::Log(true, false, "Set state %s", "eConnected");
    std::vector<std::string> lines = ReadLines("linkwelllog.txt");
    ASSERT_EQ(lines.size(), 1u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, std::regex(std::string(kStamp) + "Set state eConnected")))
        << lines[0];
    EXPECT_EQ(std::stoi(match[1]), utc.tm_year + 1900);
    EXPECT_EQ(std::stoi(match[2]), utc.tm_mon + 1);

    linkwell::Log(true, false, "%s", "second");
    EXPECT_EQ(ReadLines("linkwelllog.txt").size(), 2u) << "the file is appended to";
}

TEST_F(LogTest, LongMessageIsCutToTheLineLimit) {
    std::string message(10000, 'm');
    linkwell::Log(true, false, "%s", message.c_str());
    std::string text = ReadFile("linkwelllog.txt");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.size() - 1, linkwell::kLogLineBytes - 1) << "the line with its terminator fills 8192 bytes";
    char line[linkwell::kLogLineBytes];
    EXPECT_EQ(linkwell::FormatLogLine(line, "%s", message.c_str()), linkwell::kLogLineBytes - 1);
}

TEST_F(LogTest, FlagsChooseTheOutputs) {
    testing::internal::CaptureStderr();
    linkwell::Log(false, false, "nowhere");
    EXPECT_FALSE(std::filesystem::exists("linkwelllog.txt"));
    linkwell::Log(false, true, "to the debugger %d", 7);
    std::string captured = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists("linkwelllog.txt"));
    EXPECT_TRUE(std::regex_match(captured, std::regex(std::string(kStamp) + "to the debugger 7\n"))) << captured;
}

TEST_F(LogTest, LinesFromEightThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::string filler(300 + t * 50, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) {
                linkwell::Log(true, false, "thread %d line %d %s end", t, i, filler.c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::vector<std::string> lines = ReadLines("linkwelllog.txt");
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::regex whole(std::string(kStamp) + R"(thread (\d) line (\d+) ([a-h]+) end)");
    std::vector<int> seen(kThreads, 0);
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line.substr(0, 120);
        int t = std::stoi(match[8]);
        EXPECT_EQ(match[10].length(), static_cast<long>(300 + t * 50));
        EXPECT_EQ(match[10].str().find_first_not_of(static_cast<char>('a' + t)), std::string::npos);
        ++seen[t];
    }
    EXPECT_EQ(seen, std::vector<int>(kThreads, kLines));
}

} // namespace
