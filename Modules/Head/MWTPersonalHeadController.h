#pragma once
// The profile-picture page in view mode: the stored picture large and round under the page's own
// bar, titled "个人头像". It reloads the picture when "reloadHead" is posted (at once while it
// shows, else when it is next shown). Its owner sets the back button's action.
//
// Choosing a new picture (camera or album) and the crop mode are not built yet; the bar's
// right-hand button, which would offer them, stays hidden. Created with
// core::make<MWTPersonalHeadController>(type, image); viewDidLoad runs inside creation.
// Main thread only.
#include "Commons/Controller/MWRootController.h"
#include "platform/gfx/Image.h"
#include "platform/ui/ImageView.h"

#include <cstdint>
#include <memory>

namespace kit {

class MWTPersonalHeadController : public MWRootController {
    QUILLORA_CLASS(MWTPersonalHeadController)

    // Type 0 is view mode. `image` shows until the first reload.
    MWTPersonalHeadController(std::int64_t type, gfx::ImagePtr image);
    void init() override;

    // 0 = view mode; set once at creation.
    const std::int64_t _type;
    // The round picture inside the page's scroll view.
    const std::shared_ptr<ui::ImageView>& edit() const { return edit_; }

    void viewDidLoad() override;
    // Shows the stored picture again (the default head picture when none is stored).
    void reloadView() override;

private:
    std::shared_ptr<ui::ImageView> edit_;
    gfx::ImagePtr initialImage_;
    core::NotificationCenter::Token reloadHeadObservation_;
};

} // namespace kit
