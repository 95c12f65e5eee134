// Shared helpers of the linkwell tests: each test runs in a fresh temporary
// folder (the library writes "cookie.txt" and "linkwelllog.txt" to the current
// directory) with proxies bypassed for loopback, and can load liblinkwell.so
// with dlopen as the game does.
#pragma once

#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "linkwell/Linkwell.h"

namespace linkwell_test {

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        setenv("NO_PROXY", "127.0.0.1,localhost", 1);
        unsetenv("http_proxy");
        unsetenv("https_proxy");
        unsetenv("HTTP_PROXY");
        unsetenv("HTTPS_PROXY");
        unsetenv("all_proxy");
        unsetenv("ALL_PROXY");
        previous_ = std::filesystem::current_path();
        char pattern[] = "/tmp/linkwell-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        std::filesystem::current_path(folder_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static std::vector<std::string> ReadLines(const std::string& path) {
        std::vector<std::string> lines;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::filesystem::path previous_;
    std::filesystem::path folder_;
};

// Threads of this process, counted in /proc/self/task.
inline int ThreadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
    }
    return count;
}

// Polls until done() holds or the limit passes (generous limits, early exit).
inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// liblinkwell.so opened as the game opens it.
class LoadedLibrary {
public:
    LoadedLibrary() {
        handle_ = dlopen(LINKWELL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (handle_ != nullptr) {
            make_ = reinterpret_cast<MakeKilnFactoryFn>(dlsym(handle_, "MakeKilnFactory"));
        }
    }
    ~LoadedLibrary() { Close(); }
    bool Close() {
        if (handle_ == nullptr) {
            return true;
        }
        bool closed = dlclose(handle_) == 0;
        handle_ = nullptr;
        return closed;
    }
    bool Loaded() const { return handle_ != nullptr && make_ != nullptr; }
    linkwell::IClientFactory* MakeFactory() const { return make_ != nullptr ? make_() : nullptr; }

private:
    void* handle_ = nullptr;
    MakeKilnFactoryFn make_ = nullptr;
};

} // namespace linkwell_test
