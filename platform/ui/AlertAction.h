#pragma once
// One button of an alert: its title, its style and what it does when chosen.

#include <functional>
#include <memory>
#include <string>

namespace ui {

enum class AlertActionStyle : long { default_ = 0, cancel = 1, destructive = 2 };

class AlertAction {
public:
    using Handler = std::function<void(const AlertAction&)>;

    static std::shared_ptr<AlertAction> make(std::string title, AlertActionStyle style, Handler handler = {}) {
        return std::make_shared<AlertAction>(std::move(title), style, std::move(handler));
    }
    AlertAction(std::string title, AlertActionStyle style, Handler handler)
        : title_(std::move(title)), style_(style), handler_(std::move(handler)) {}

    const std::string& title() const { return title_; }
    AlertActionStyle style() const { return style_; }
    const Handler& handler() const { return handler_; }

private:
    std::string title_;
    AlertActionStyle style_;
    Handler handler_;
};

} // namespace ui
