#pragma once
// Where a collection view gets its sections, items and cells (held weakly). A data source that
// does not say how many sections it has has one.

#include "platform/ui/IndexPath.h"

#include <memory>

namespace ui {

class CollectionView;
class CollectionViewCell;

class CollectionViewDataSource {
public:
    virtual ~CollectionViewDataSource() = default;
    virtual long numberOfSectionsInCollectionView(CollectionView& collectionView) { (void)collectionView; return 1; }
    virtual long numberOfItemsInSection(CollectionView& collectionView, long section) = 0;
    virtual std::shared_ptr<CollectionViewCell> cellForItemAtIndexPath(CollectionView& collectionView,
                                                                       const IndexPath& indexPath) = 0;
};

} // namespace ui
