#pragma once
// A collection view with a vertical flow layout: items of one size in rows, left to right, each
// section starting a new row inside its insets. Only the items in view have cells, reused by
// identifier as in tables. Every reloadData(), including one through a subclass that calls the
// inherited reloadData(), ends with the scroll view's reload hook. Main thread only.

#include "platform/ui/CollectionViewCell.h"
#include "platform/ui/CollectionViewDataSource.h"
#include "platform/ui/ScrollView.h"

#include <map>
#include <vector>

namespace ui {

class CollectionView : public ScrollView {
    QUILLORA_CLASS(CollectionView)

    using ScrollView::ScrollView;
    void init() override;

    std::shared_ptr<CollectionViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource);

    // The flow layout.
    gfx::Size itemSize() const { return itemSize_; }
    void setItemSize(gfx::Size size) { itemSize_ = size; loaded_ = false; setNeedsLayout(); }
    double minimumLineSpacing() const { return lineSpacing_; }
    void setMinimumLineSpacing(double spacing) { lineSpacing_ = spacing; loaded_ = false; setNeedsLayout(); }
    double minimumInteritemSpacing() const { return interitemSpacing_; }
    void setMinimumInteritemSpacing(double spacing) { interitemSpacing_ = spacing; loaded_ = false; setNeedsLayout(); }
    gfx::EdgeInsets sectionInset() const { return sectionInset_; }
    void setSectionInset(gfx::EdgeInsets inset) { sectionInset_ = inset; loaded_ = false; setNeedsLayout(); }

    virtual void reloadData();
    long numberOfSections() const { return static_cast<long>(itemFrames_.size()); }
    long numberOfItemsInSection(long section) const;
    std::int64_t totalDataCount() const override;

    std::shared_ptr<CollectionViewCell> dequeueReusableCellWithReuseIdentifier(const std::string& identifier);
    std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(const IndexPath& indexPath) const;
    gfx::Rect frameForItemAtIndexPath(const IndexPath& indexPath) const;

    void layoutSubviews() override;

private:
    void loadGeometry();

    std::weak_ptr<CollectionViewDataSource> dataSource_;
    gfx::Size itemSize_{50, 50};
    double lineSpacing_ = 10;
    double interitemSpacing_ = 10;
    gfx::EdgeInsets sectionInset_;
    bool loaded_ = false;
    double laidOutWidth_ = -1;
    std::vector<std::vector<gfx::Rect>> itemFrames_;
    std::map<IndexPath, std::shared_ptr<CollectionViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<CollectionViewCell>>> reusable_;
};

} // namespace ui
