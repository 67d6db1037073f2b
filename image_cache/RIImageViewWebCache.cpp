#include "image_cache/RIImageViewWebCache.h"

namespace image_cache {

namespace {
constexpr const char* kHighlightedKey = "UIImageViewImageOperationHighlighted";
}

void ri_setImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder, std::uint64_t options,
                        RIImageDownloaderProgressBlock progress, RIExternalCompletionBlock completed) {
    ri_internalSetImageWithURL(view, url, std::move(placeholder), options, std::nullopt, nullptr, std::move(progress), std::move(completed));
}

void ri_setImageWithPreviousCachedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder,
                                               std::uint64_t options, RIImageDownloaderProgressBlock progress,
                                               RIExternalCompletionBlock completed) {
    auto manager = RIImageManager::sharedManager();
    ImagePtr cached = manager->imageCache()->imageFromCacheForKey(manager->cacheKeyForURL(url));
    ri_setImageWithURL(view, url, cached ? cached : std::move(placeholder), options, std::move(progress), std::move(completed));
}

void ri_setHighlightedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, std::uint64_t options,
                                   RIImageDownloaderProgressBlock progress, RIExternalCompletionBlock completed) {
    std::weak_ptr<ui::ImageView> weakView = std::static_pointer_cast<ui::ImageView>(view.shared_from_this());
    ri_internalSetImageWithURL(
        view, url, nullptr, options, std::string(kHighlightedKey),
        [weakView](ImagePtr image, Data) {
            if (auto v = weakView.lock()) v->setHighlightedImage(std::move(image));
        },
        std::move(progress), std::move(completed));
}

void ri_cancelCurrentAnimationImagesLoad(ui::ImageView& view) {
    auto& state = ri_webCacheState(view);
    std::vector<std::shared_ptr<RIImageOperation>> running;
    {
        std::lock_guard lock(state.lock);
        for (auto& weak : state.animationOperations)
            if (auto operation = weak.lock()) running.push_back(operation);
        state.animationOperations.clear();
    }
    for (auto& operation : running) operation->cancel();
}

void ri_setAnimationImagesWithURLs(ui::ImageView& view, const std::vector<std::optional<net::URL>>& urls) {
    ri_cancelCurrentAnimationImagesLoad(view);
    auto& state = ri_webCacheState(view);
    std::weak_ptr<ui::ImageView> weakView = std::static_pointer_cast<ui::ImageView>(view.shared_from_this());
    for (std::size_t index = 0; index < urls.size(); ++index) {
        auto operation = RIImageManager::sharedManager()->loadImageWithURL(
            urls[index], 0, nullptr,
            [weakView, index](ImagePtr image, Data, std::optional<core::Error>, RIImageCacheKind, bool, std::optional<net::URL>) {
                if (!weakView.lock()) return;
                ri_dispatch_main_async_safe([weakView, index, image] {
                    auto v = weakView.lock();
                    if (!v) return;
                    v->stopAnimating();
                    if (image) {
                        std::vector<gfx::ImagePtr> images = v->animationImages();
                        // Until the earlier pictures arrive, this one holds their places.
                        while (images.size() < index) images.push_back(image);
                        if (index < images.size()) images[index] = image;
                        else images.push_back(image);
                        v->setAnimationImages(std::move(images));
                        v->setNeedsLayout();
                    }
                    v->startAnimating();
                });
            });
        std::lock_guard lock(state.lock);
        state.animationOperations.push_back(operation);
    }
}

} // namespace image_cache
