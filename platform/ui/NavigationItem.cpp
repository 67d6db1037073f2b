#include "platform/ui/NavigationItem.h"

#include "platform/ui/NavigationController.h"

namespace ui {

void NavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<BarButtonItem>> items) {
    leftItems_ = std::move(items);
    if (onChange) onChange();
}

const std::shared_ptr<NavigationItem>& ViewController::navigationItem() {
    if (!navigationItem_) {
        navigationItem_ = std::make_shared<NavigationItem>();
        std::weak_ptr<ViewController> weak = std::static_pointer_cast<ViewController>(shared_from_this());
        navigationItem_->onChange = [weak] {
            if (auto self = weak.lock()) self->navigationDetailsDidChange();
        };
    }
    return navigationItem_;
}

void ViewController::setTitle(std::string title) {
    title_ = std::move(title);
    navigationDetailsDidChange();
}

void ViewController::navigationDetailsDidChange() {
    if (auto nav = std::dynamic_pointer_cast<NavigationController>(parentViewController()))
        if (nav->topViewController().get() == this) nav->updateBar();
}

} // namespace ui
