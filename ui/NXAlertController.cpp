#include "ui/NXAlertController.h"

#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace kit {

void NXAlertController::show(const std::vector<std::string>& actions, Handler handler, const std::string& message,
                             const std::shared_ptr<ui::ViewController>& presenter, const std::string& title,
                             long style) {
    if (style == static_cast<long>(ui::AlertControllerStyle::actionSheet) &&
        ui::Screen::main().profile().idiom == ui::UserInterfaceIdiom::pad) {
        style = static_cast<long>(ui::AlertControllerStyle::alert);
    }
    auto alert = ui::AlertController::make(title, message, static_cast<ui::AlertControllerStyle>(style));
    auto shared = std::make_shared<Handler>(std::move(handler));
    for (size_t i = 0; i < actions.size(); ++i) {
        const auto actionStyle = actions[i] == "取消" ? ui::AlertActionStyle::cancel : ui::AlertActionStyle::default_;
        const long index = static_cast<long>(i);
        alert->addAction(ui::AlertAction::make(actions[i], actionStyle, [shared, index](const ui::AlertAction&) {
            if (*shared) (*shared)(index);
        }));
    }
    std::shared_ptr<ui::ViewController> from = presenter;
    if (!from) {
        if (auto window = ui::Application::shared().keyWindow()) from = window->rootViewController();
    }
    if (!from) return;
    from->presentViewController(alert, true);
}

} // namespace kit
