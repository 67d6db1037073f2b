#pragma once
// The side menu's contents: a yellow header with the user's round profile picture and the
// "编辑头像" button under it, and below the header three rows (home list, rating, about) in a tag
// grid with the selected row grey. The controller only builds and refreshes these views; its
// owner decides what taps do: it sets imageButton()'s action and controllerSeg()'s didClickItem
// block, and may move the highlight back with controllerSeg()->setIndex().
//
// The four views are made at creation with their final frames and never replaced; viewDidLoad
// puts them together. The picture is read again whenever "reloadHead" is posted, also while the
// menu is closed. Main thread only.
#include "Commons/Button/NXButton.h"
#include "platform/core/NotificationCenter.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ViewController.h"
#include "ui/SegmentView.h"

#include <memory>
#include <string>

namespace kit {

class QULeftController : public ui::ViewController {
    QUILLORA_CLASS(QULeftController)

    // The view tag of the row view inside each item of the grid.
    static constexpr long kRowTag = 100;
    // Row indices, in the order of the rows.
    enum Row : std::int64_t { homeRow = 0, rateRow = 1, aboutRow = 2 };

    // Frames are in the layout unit of the key window, which must exist.
    QULeftController();
    ~QULeftController() override;

    const std::shared_ptr<ui::View>& headBgView() const { return headBgView_; }
    const std::shared_ptr<ui::ImageView>& headImageView() const { return headImageView_; }
    const std::shared_ptr<SegmentView>& controllerSeg() const { return controllerSeg_; }
    const std::shared_ptr<NXButton>& imageButton() const { return imageButton_; }

    void viewDidLoad() override;
    // Shows the stored profile picture again.
    void refreshNotiWithNoti(const core::Notification& notification);

    // Where the profile picture is stored: the documents folder + "/head/head.png".
    static std::string headImagePath();

private:
    void loadHeadImage();

    std::shared_ptr<ui::View> headBgView_;
    std::shared_ptr<ui::ImageView> headImageView_;
    std::shared_ptr<SegmentView> controllerSeg_;
    std::shared_ptr<NXButton> imageButton_;
    core::NotificationCenter::Token reloadHeadObservation_;
};

} // namespace kit
