#pragma once
// The Gregorian calendar in the local time zone (TZ, else the system's): splits a date, given as
// seconds since 1970-01-01 UTC, into its year, month, day, hour, minute and second.

namespace ui {

struct DateComponents {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Calendar {
public:
    static const Calendar& gregorian();
    DateComponents components(double secondsSince1970) const;
    bool isSameDay(double a, double b) const;
};

} // namespace ui
