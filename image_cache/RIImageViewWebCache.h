#pragma once
// Remote pictures for image views: the image (slot "ImageView", the class name), the highlighted
// image (slot "UIImageViewImageOperationHighlighted") and animation images.

#include "image_cache/RIViewWebCache.h"

#include "platform/ui/ImageView.h"

namespace image_cache {

void ri_setImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder, std::uint64_t options,
                        RIImageDownloaderProgressBlock progress, RIExternalCompletionBlock completed);
inline void ri_setImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder = nullptr,
                               std::uint64_t options = 0) {
    ri_setImageWithURL(view, url, std::move(placeholder), options, nullptr, nullptr);
}
inline void ri_setImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, RIExternalCompletionBlock completed) {
    ri_setImageWithURL(view, url, nullptr, 0, nullptr, std::move(completed));
}
inline void ri_setImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder,
                               RIExternalCompletionBlock completed) {
    ri_setImageWithURL(view, url, std::move(placeholder), 0, nullptr, std::move(completed));
}
inline void ri_setImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder, std::uint64_t options,
                               RIExternalCompletionBlock completed) {
    ri_setImageWithURL(view, url, std::move(placeholder), options, nullptr, std::move(completed));
}

// The cached picture of the URL (memory, then disk) stands in as placeholder when there is one.
void ri_setImageWithPreviousCachedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, ImagePtr placeholder,
                                               std::uint64_t options, RIImageDownloaderProgressBlock progress,
                                               RIExternalCompletionBlock completed);

// Loads every URL and shows the pictures as animation images, each at its own index.
void ri_setAnimationImagesWithURLs(ui::ImageView& view, const std::vector<std::optional<net::URL>>& urls);
void ri_cancelCurrentAnimationImagesLoad(ui::ImageView& view);

void ri_setHighlightedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, std::uint64_t options,
                                   RIImageDownloaderProgressBlock progress, RIExternalCompletionBlock completed);
inline void ri_setHighlightedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, std::uint64_t options = 0) {
    ri_setHighlightedImageWithURL(view, url, options, nullptr, nullptr);
}
inline void ri_setHighlightedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, RIExternalCompletionBlock completed) {
    ri_setHighlightedImageWithURL(view, url, 0, nullptr, std::move(completed));
}
inline void ri_setHighlightedImageWithURL(ui::ImageView& view, const std::optional<net::URL>& url, std::uint64_t options,
                                          RIExternalCompletionBlock completed) {
    ri_setHighlightedImageWithURL(view, url, options, nullptr, std::move(completed));
}

} // namespace image_cache
