#pragma once
// An alert or an action sheet, drawn by us over a dimmed screen. An alert is a rounded panel in
// the middle with the title, the message and its buttons (two side by side with a cancel button
// on the left, more stacked); a sheet rises from the bottom with its buttons stacked and the
// cancel button apart at the bottom. Choosing a button dismisses the controller and then runs
// that action's handler. Present it with presentViewController(). Main thread only.

#include "platform/ui/AlertAction.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"

namespace ui {

enum class AlertControllerStyle : long { actionSheet = 0, alert = 1 };

class AlertController : public ViewController {
    QUILLORA_CLASS(AlertController)

    AlertController(std::string title, std::string message, AlertControllerStyle style);
    static std::shared_ptr<AlertController> make(std::string title, std::string message, AlertControllerStyle style) {
        return core::make<AlertController>(std::move(title), std::move(message), style);
    }

    const std::string& message() const { return message_; }
    AlertControllerStyle preferredStyle() const { return style_; }
    void addAction(std::shared_ptr<AlertAction> action);
    const std::vector<std::shared_ptr<AlertAction>>& actions() const { return actions_; }
    // The buttons in the order they are shown, each titled after its action.
    const std::vector<std::shared_ptr<Button>>& buttons() { view(); return buttons_; }

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    void build();
    void choose(const std::shared_ptr<AlertAction>& action);

    std::string message_;
    AlertControllerStyle style_;
    std::vector<std::shared_ptr<AlertAction>> actions_;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::shared_ptr<View> panel_;
    bool chosen_ = false;
};

} // namespace ui
