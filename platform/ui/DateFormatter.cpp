#include "platform/ui/DateFormatter.h"

#include "platform/ui/Calendar.h"


namespace ui {

std::string DateFormatter::stringFromDate(double secondsSince1970) const {
    DateComponents c = Calendar::gregorian().components(secondsSince1970);
    auto pad = [](int value, std::size_t width) {
        std::string s = std::to_string(value);
        return s.size() < width ? std::string(width - s.size(), '0') + s : s;
    };
    std::string out;
    for (std::size_t i = 0; i < format_.size();) {
        char ch = format_[i];
        if (ch == '\'') {
            auto end = format_.find('\'', i + 1);
            if (end == i + 1) out += '\'';  // '' is a quote
            else out += format_.substr(i + 1, (end == std::string::npos ? format_.size() : end) - i - 1);
            i = end == std::string::npos ? format_.size() : end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < format_.size() && format_[i + run] == ch) ++run;
        switch (ch) {
        case 'y': out += run == 2 ? pad(c.year % 100, 2) : pad(c.year, run); break;
        case 'M': out += pad(c.month, run); break;
        case 'd': out += pad(c.day, run); break;
        case 'H': out += pad(c.hour, run); break;
        case 'm': out += pad(c.minute, run); break;
        case 's': out += pad(c.second, run); break;
        default: out += format_.substr(i, run); break;
        }
        i += run;
    }
    return out;
}

} // namespace ui
