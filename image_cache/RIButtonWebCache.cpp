#include "image_cache/RIButtonWebCache.h"

namespace image_cache {

namespace {

std::string keyFor(const char* prefix, unsigned state) { return prefix + std::to_string(static_cast<unsigned long>(state)); }

std::optional<net::URL> storedURL(ui::Button& button, const std::string& key) {
    auto& storage = ri_webCacheState(button).imageURLStorage;
    auto it = storage.find(key);
    if (it == storage.end()) return std::nullopt;
    return it->second;
}

void record(ui::Button& button, const std::string& key, const std::optional<net::URL>& url) {
    auto& storage = ri_webCacheState(button).imageURLStorage;
    if (url) storage.insert_or_assign(key, *url);
    else storage.erase(key);
}

void load(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder, std::uint64_t options,
          RIExternalCompletionBlock completed, bool background) {
    record(button, keyFor(background ? "backgroundImage_" : "image_", state), url);
    std::weak_ptr<ui::Button> weakButton = std::static_pointer_cast<ui::Button>(button.shared_from_this());
    ri_internalSetImageWithURL(
        button, url, std::move(placeholder), options,
        keyFor(background ? "UIButtonBackgroundImageOperation" : "UIButtonImageOperation", state),
        [weakButton, state, background](ImagePtr image, Data) {
            auto b = weakButton.lock();
            if (!b) return;
            if (background) b->setBackgroundImage(std::move(image), state);
            else b->setImage(std::move(image), state);
        },
        nullptr, std::move(completed));
}

} // namespace

std::optional<net::URL> ri_imageURLForState(ui::Button& button, unsigned state) { return storedURL(button, keyFor("image_", state)); }

std::optional<net::URL> ri_currentImageURL(ui::Button& button) {
    auto url = ri_imageURLForState(button, button.state());
    return url ? url : ri_imageURLForState(button, ui::stateNormal);
}

std::optional<net::URL> ri_backgroundImageURLForState(ui::Button& button, unsigned state) {
    return storedURL(button, keyFor("backgroundImage_", state));
}

std::optional<net::URL> ri_currentBackgroundImageURL(ui::Button& button) {
    auto url = ri_backgroundImageURLForState(button, button.state());
    return url ? url : ri_backgroundImageURLForState(button, ui::stateNormal);
}

void ri_setImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder,
                        std::uint64_t options, RIExternalCompletionBlock completed) {
    load(button, url, state, std::move(placeholder), options, std::move(completed), false);
}

void ri_setBackgroundImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder,
                                  std::uint64_t options, RIExternalCompletionBlock completed) {
    load(button, url, state, std::move(placeholder), options, std::move(completed), true);
}

void ri_cancelImageLoadForState(ui::Button& button, unsigned state) {
    ri_cancelImageLoadOperationWithKey(button, keyFor("UIButtonImageOperation", state));
}

void ri_cancelBackgroundImageLoadForState(ui::Button& button, unsigned state) {
    ri_cancelImageLoadOperationWithKey(button, keyFor("UIButtonBackgroundImageOperation", state));
}

} // namespace image_cache
