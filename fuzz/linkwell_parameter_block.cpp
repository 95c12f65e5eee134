// Fuzz target: any text as a "##" parameter block. A block is either refused
// with no fields, or its fields (the form parts that would be sent, in order)
// join back into exactly the same block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "linkwell/http/ParameterBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string block(reinterpret_cast<const char*>(data), size);
    block = block.substr(0, block.find('\0'));
    std::vector<linkwell::FormField> fields;
    bool ok = linkwell::SplitParameterBlock(block.c_str(), &fields);
    if (!ok) {
        if (!fields.empty()) {
            std::abort();
        }
        return 0;
    }
    for (const linkwell::FormField& field : fields) {
        if (field.name.find('=') != std::string::npos || field.value.find("##") != std::string::npos) {
            std::abort();
        }
    }
    if (fields.empty() || linkwell::JoinParameterBlock(fields) != block) {
        std::abort();
    }
    return 0;
}
