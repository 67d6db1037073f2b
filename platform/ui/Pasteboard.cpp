#include "platform/ui/Pasteboard.h"

namespace ui {

Pasteboard& Pasteboard::general() {
    static Pasteboard board;
    return board;
}

std::optional<std::string> Pasteboard::string() const { return store_ ? store_->read() : local_; }

void Pasteboard::setString(const std::string& text) {
    if (store_) store_->write(text);
    else local_ = text;
}

} // namespace ui
