#pragma once
// The one way the app asks the user to choose: an alert or action sheet built from a list of
// button titles, reporting the chosen button by its index in that list (whatever place the button
// is drawn in). A button titled "取消" is the cancel button. On a pad a sheet becomes an alert.
// Without a presenter the key window's root controller presents; without one nothing is shown
// and the handler never runs. Main thread only.
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class NXAlertController {
public:
    using Handler = std::function<void(long index)>;
    // style: 0 action sheet, 1 alert.
    static void show(const std::vector<std::string>& actions, Handler handler, const std::string& message,
                     const std::shared_ptr<ui::ViewController>& presenter, const std::string& title, long style);
};

} // namespace kit
