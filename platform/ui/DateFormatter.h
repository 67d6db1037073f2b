#pragma once
// Formats dates (seconds since 1970-01-01 UTC) in the local time zone with a pattern of fields:
// yyyy (year), yy (two digits), MM / M (month), dd / d (day), HH / H (hour 0-23), mm (minute),
// ss (second); text in single quotes, and every other character, is copied as it stands.

#include <string>

namespace ui {

class DateFormatter {
public:
    const std::string& dateFormat() const { return format_; }
    void setDateFormat(std::string format) { format_ = std::move(format); }
    std::string stringFromDate(double secondsSince1970) const;

private:
    std::string format_;
};

} // namespace ui
