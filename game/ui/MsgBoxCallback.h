// The plain-function receiver of a message box's answer: (id, result), told first of the three.
#pragma once

#include <cstdint>

using MsgBoxCallback = void (*)(int32_t id, int32_t result);
