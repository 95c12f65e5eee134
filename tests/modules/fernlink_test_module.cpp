// A stand-in reporting module for the tests: it exports ordinals 1, 11, 12
// and 19 only, and keeps what it was given where the tests can read it.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{

struct Received
{
    int startCalls = 0;
    uint8_t record[56] = {};
    int startAnswer = 1;
    std::vector<std::wstring> reports; // one line per ordinal 19 call
    std::vector<std::wstring> inputs;  // one line per ordinal 11 or 12 call
};

Received received;

std::wstring number(double value)
{
    return std::to_wstring(value);
}

} // namespace

extern "C"
{

    __attribute__((visibility("default"))) void* test_received_record()
    {
        return received.record;
    }
    __attribute__((visibility("default"))) int test_start_calls()
    {
        return received.startCalls;
    }
    __attribute__((visibility("default"))) void test_set_start_answer(int answer)
    {
        received.startAnswer = answer;
    }
    __attribute__((visibility("default"))) const std::vector<std::wstring>* test_reports()
    {
        return &received.reports;
    }
    __attribute__((visibility("default"))) const std::vector<std::wstring>* test_inputs()
    {
        return &received.inputs;
    }
    __attribute__((visibility("default"))) void test_clear()
    {
        received.reports.clear();
        received.inputs.clear();
        received.startCalls = 0;
    }

    __attribute__((visibility("default"))) int ordinal_1(const void* record)
    {
        ++received.startCalls;
        std::memcpy(received.record, record, sizeof received.record);
        return received.startAnswer;
    }

    __attribute__((visibility("default"))) void ordinal_11(double time, const wchar_t* player, int32_t button,
                                                           int32_t pressed, int32_t x, int32_t y,
                                                           int32_t last)
    {
        received.inputs.push_back(L"mouse " + number(time) + L" " + player + L" " + std::to_wstring(button) +
                                  L" " + std::to_wstring(pressed) + L" " + std::to_wstring(x) + L" " +
                                  std::to_wstring(y) + L" " + std::to_wstring(last));
    }

    __attribute__((visibility("default"))) void ordinal_12(double time, const wchar_t* player, uint32_t key,
                                                           int32_t pressed, int32_t last)
    {
        received.inputs.push_back(L"key " + number(time) + L" " + player + L" " + std::to_wstring(key) +
                                  L" " + std::to_wstring(pressed) + L" " + std::to_wstring(last));
    }

    __attribute__((visibility("default"))) void ordinal_19(const wchar_t* category, double time,
                                                           const wchar_t* const* keys,
                                                           const wchar_t* const* values, int32_t count,
                                                           int32_t last)
    {
        std::wstring line = std::wstring(category) + L" " + number(time);
        for (int32_t i = 0; i < count; ++i)
            line += std::wstring(L" ") + keys[i] + L"=" + values[i];
        received.reports.push_back(line + L" " + std::to_wstring(count) + L" " + std::to_wstring(last));
    }
}
