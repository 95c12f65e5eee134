// Parameter block of the relay protocol (see ParameterBlock.h).
#include "linkwell/http/ParameterBlock.h"

#include <string_view>

namespace linkwell {

bool SplitParameterBlock(const char* block, std::vector<FormField>* fields) {
    fields->clear();
    std::string_view rest = block != nullptr ? std::string_view(block) : std::string_view();
    for (;;) {
        std::size_t separator = rest.find("##");
        std::string_view pair = rest.substr(0, separator);
        std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            fields->clear();
            return false;
        }
        fields->push_back({std::string(pair.substr(0, equals)), std::string(pair.substr(equals + 1))});
        if (separator == std::string_view::npos) {
            return true;
        }
        rest.remove_prefix(separator + 2);
    }
}

std::string JoinParameterBlock(const std::vector<FormField>& fields) {
    std::string block;
    for (const FormField& field : fields) {
        if (!block.empty()) {
            block += "##";
        }
        block += field.name;
        block += '=';
        block += field.value;
    }
    return block;
}

} // namespace linkwell
