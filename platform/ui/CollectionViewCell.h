#pragma once
// An item of a collection view: a content view for the item's subviews, reused like table cells.

#include "platform/ui/View.h"

#include <string>

namespace ui {

class CollectionViewCell : public View {
    QUILLORA_CLASS(CollectionViewCell)

    explicit CollectionViewCell(std::string reuseIdentifier = {}) : reuseIdentifier_(std::move(reuseIdentifier)) {}
    void init() override {
        View::init();
        contentView_ = core::make<View>();
        contentView_->setAutoresizingMask(autoresizingFlexibleWidth | autoresizingFlexibleHeight);
        addSubview(contentView_);
    }

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<View>& contentView() const { return contentView_; }
    virtual void prepareForReuse() {}

private:
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
};

} // namespace ui
