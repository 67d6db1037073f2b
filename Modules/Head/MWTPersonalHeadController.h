#pragma once
// The profile-picture page, in one of two modes chosen at creation:
// - view mode (type 0): the stored picture in the big circle, fixed; the bar's right-hand button
//   opens the "操作" sheet offering the camera or the photo album;
// - crop mode (any other type): a freshly picked photo that the user moves and zooms, and "确定"
//   which stores the circle's square as the new picture and goes back.
// Both reload the stored picture when "reloadHead" is posted (at once while shown, else when next
// shown). The view mode's owner sets its back action; crop mode's back discards the crop.
//
// Saving writes the PNG atomically: a save that cannot create the folder, encode or write keeps
// the old picture, posts nothing, leaves the page where it is and logs one line.
//
// Created with core::make<MWTPersonalHeadController>(type, image); viewDidLoad runs inside
// creation and sees the type. Main thread only.
#include "Commons/Controller/MWRootController.h"
#include "Commons/ImageEdit/ImageEditView.h"
#include "platform/gfx/Image.h"
#include "platform/ui/ImagePickerController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kit {

class MWTPersonalHeadController : public MWRootController, public ui::ImagePickerControllerDelegate {
    QUILLORA_CLASS(MWTPersonalHeadController)

    // Type 0 is view mode. `image` shows until the first reload.
    MWTPersonalHeadController(std::int64_t type, gfx::ImagePtr image);
    void init() override;
    ~MWTPersonalHeadController() override;

    // 0 = view mode; set once at creation.
    const std::int64_t _type;
    // The round picture inside the page's scroll view.
    const std::shared_ptr<ImageEditView>& edit() const { return edit_; }

    void viewDidLoad() override;
    // Shows the stored picture again (the default head picture when none is stored).
    void reloadView() override;

    // The camera picker, or the toast "请开启相机权限" where there is no camera.
    virtual void showCameraPermissionAlert();
    // The album picker, or the toast "请开启相册权限" where there is no album.
    virtual void showPhotoLibraryPermissionAlert();
    // A photo was picked: the picker goes, then a crop page with the photo is pushed.
    void imagePickerController(ui::ImagePickerController& picker, const ui::ImagePickerInfo& info) override;
    void imagePickerControllerDidCancel(ui::ImagePickerController& picker) override;

    // View mode's bar button: the "操作" sheet.
    void showPhotoSourceSheet();
    // Crop mode's "确定".
    void save();

protected:
    // The PNG bytes of the crop; none when encoding fails.
    virtual std::optional<std::string> encodeHead(const gfx::Image& image);

private:
    void openPicker(ui::ImagePickerControllerSourceType type, const char* unavailableMessage);

    std::shared_ptr<ImageEditView> edit_;
    gfx::ImagePtr initialImage_;
    core::NotificationCenter::Token reloadHeadObservation_;
};

} // namespace kit
