#include "ui/QUAboutController.h"

#include "ui/Utility.h"
#include "ui/c.h"

namespace kit {

void QUAboutController::viewDidLoad() {
    QNWebController::viewDidLoad();
    navBar()->setBackgroundColor(c::colorFFFFFF());
    view()->setBackgroundColor(c::colorF5F5F5());
    isBarHidden = true;
    isBackBtnHidden = false;
    backBtn()->setImage(Utility::imageForToRectCenter({120, 120}, gfx::Image::named("common_btn_left_slide.png")));
}

} // namespace kit
