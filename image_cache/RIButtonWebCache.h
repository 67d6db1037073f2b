#pragma once
// Remote pictures for buttons, per control state: the image (slot "UIButtonImageOperation<state>")
// and the background image (slot "UIButtonBackgroundImageOperation<state>"). The URL of each is
// remembered per state.

#include "image_cache/RIViewWebCache.h"

#include "platform/ui/Button.h"

namespace image_cache {

std::optional<net::URL> ri_currentImageURL(ui::Button& button);
std::optional<net::URL> ri_imageURLForState(ui::Button& button, unsigned state);
void ri_setImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder,
                        std::uint64_t options, RIExternalCompletionBlock completed);
inline void ri_setImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder = nullptr,
                               std::uint64_t options = 0) {
    ri_setImageWithURL(button, url, state, std::move(placeholder), options, nullptr);
}
inline void ri_setImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, RIExternalCompletionBlock completed) {
    ri_setImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}
inline void ri_setImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder,
                               RIExternalCompletionBlock completed) {
    ri_setImageWithURL(button, url, state, std::move(placeholder), 0, std::move(completed));
}

std::optional<net::URL> ri_currentBackgroundImageURL(ui::Button& button);
std::optional<net::URL> ri_backgroundImageURLForState(ui::Button& button, unsigned state);
void ri_setBackgroundImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder,
                                  std::uint64_t options, RIExternalCompletionBlock completed);
inline void ri_setBackgroundImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state,
                                         ImagePtr placeholder = nullptr, std::uint64_t options = 0) {
    ri_setBackgroundImageWithURL(button, url, state, std::move(placeholder), options, nullptr);
}
inline void ri_setBackgroundImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state,
                                         RIExternalCompletionBlock completed) {
    ri_setBackgroundImageWithURL(button, url, state, nullptr, 0, std::move(completed));
}
inline void ri_setBackgroundImageWithURL(ui::Button& button, const std::optional<net::URL>& url, unsigned state, ImagePtr placeholder,
                                         RIExternalCompletionBlock completed) {
    ri_setBackgroundImageWithURL(button, url, state, std::move(placeholder), 0, std::move(completed));
}

void ri_cancelImageLoadForState(ui::Button& button, unsigned state);
void ri_cancelBackgroundImageLoadForState(ui::Button& button, unsigned state);

} // namespace image_cache
