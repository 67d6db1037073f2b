#pragma once
// Loading a remote picture into any view: the shared set-image flow (placeholder, one running
// load per slot of a view, progress, spinner, transition), the per-view table of running loads,
// and the pieces of state kept with each view. All view changes happen on the main queue.

#include "image_cache/RIImageManager.h"
#include "image_cache/RIImageTransition.h"

#include "platform/core/Progress.h"
#include "platform/dispatch/Group.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/View.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace image_cache {

using RISetImageBlock = std::function<void(ImagePtr image, Data data)>;

// What a caller may add to a set-image call.
struct RIWebCacheContext {
    // Entered before each picture is set; the completion runs once the group is empty.
    std::shared_ptr<dispatch::Group> internalSetImageGroup;
    // Loads through this manager instead of the shared one.
    std::shared_ptr<RIImageManager> externalCustomManager;
};

// The state kept with each view that loads pictures.
struct RIWebCacheViewState {
    std::optional<net::URL> imageURL;
    std::mutex lock;  // guards the two tables below
    std::map<std::string, std::weak_ptr<RIImageOperation>> operations;
    std::vector<std::weak_ptr<RIImageOperation>> animationOperations;
    std::shared_ptr<core::Progress> imageProgress;
    std::shared_ptr<RIImageTransition> imageTransition;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator;
    bool showActivityIndicatorView = false;
    int indicatorStyle = 0;
    std::map<std::string, net::URL> imageURLStorage;  // buttons: "image_%lu" / "backgroundImage_%lu"
};
RIWebCacheViewState& ri_webCacheState(ui::View& view);

std::optional<net::URL> ri_imageURL(ui::View& view);

void ri_internalSetImageWithURL(ui::View& view, const std::optional<net::URL>& url, ImagePtr placeholder, std::uint64_t options,
                                std::optional<std::string> operationKey, RISetImageBlock setImageBlock,
                                RIImageDownloaderProgressBlock progress, RIExternalCompletionBlock completed,
                                const RIWebCacheContext* context = nullptr);
void ri_cancelCurrentImageLoad(ui::View& view);

void ri_setImage(ui::View& view, ImagePtr image, Data data, const RISetImageBlock& setImageBlock);
void ri_setImage(ui::View& view, ImagePtr image, Data data, const RISetImageBlock& setImageBlock,
                 std::shared_ptr<RIImageTransition> transition, RIImageCacheKind kind, std::optional<net::URL> imageURL);

std::shared_ptr<RIImageTransition> ri_imageTransition(ui::View& view);
void setRi_imageTransition(ui::View& view, std::shared_ptr<RIImageTransition> transition);
std::shared_ptr<core::Progress> ri_imageProgress(ui::View& view);
void setRi_imageProgress(ui::View& view, std::shared_ptr<core::Progress> progress);
void ri_setNeedsLayout(ui::View& view);

// A spinner over the view while it loads, centred in it (it keeps to the middle as the view
// resizes); its style is an ActivityIndicatorViewStyle.
void ri_setShowActivityIndicatorView(ui::View& view, bool show);
bool ri_showActivityIndicatorView(ui::View& view);
void ri_setIndicatorStyle(ui::View& view, int style);
int ri_getIndicatorStyle(ui::View& view);
void ri_addActivityIndicator(ui::View& view);
void ri_removeActivityIndicator(ui::View& view);

// The running load of each slot (values are weak: a finished, released load leaves no entry).
void ri_setImageLoadOperation(ui::View& view, const std::shared_ptr<RIImageOperation>& operation, const std::optional<std::string>& key);
void ri_cancelImageLoadOperationWithKey(ui::View& view, const std::optional<std::string>& key);
void ri_removeImageLoadOperationWithKey(ui::View& view, const std::optional<std::string>& key);
// The running load under `key`, if any.
std::shared_ptr<RIImageOperation> ri_imageLoadOperation(ui::View& view, const std::string& key);

} // namespace image_cache
