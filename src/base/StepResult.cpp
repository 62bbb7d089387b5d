#include "base/StepResult.h"

#include "base/Formatting.h"

namespace velmora::conversion {

std::string StepResult::message() const {
    std::string text = step;
    if (!file.empty())
        text += " \"" + file.string() + "\"";
    text += " failed: " + reason;
    return text;
}

std::string groupedNumber(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace velmora::conversion
