#include "platform/ui/Calendar.h"

#include <cmath>
#include <ctime>

namespace ui {

const Calendar& Calendar::gregorian() {
    static Calendar calendar;
    return calendar;
}

DateComponents Calendar::components(double secondsSince1970) const {
    std::time_t t = static_cast<std::time_t>(std::floor(secondsSince1970));
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

bool Calendar::isSameDay(double a, double b) const {
    DateComponents x = components(a), y = components(b);
    return x.year == y.year && x.month == y.month && x.day == y.day;
}

} // namespace ui
