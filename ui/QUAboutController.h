#pragma once
// The about page: the web page as the root of the app's second tab, on a light grey ground with
// a back button that shows the side-menu picture. Its owner loads the service's about page into
// it and replaces the back action. Created with core::make. Main thread only.
#include "ui/QNWebController.h"

namespace kit {

class QUAboutController : public QNWebController {
    QUILLORA_CLASS(QUAboutController)

    void viewDidLoad() override;
};

} // namespace kit
