#pragma once
// Image-view helpers of the app: the picture look (aspect fill, clipped) and a synchronous loader
// for small local pictures such as the stored profile picture. Free functions on ui::ImageView,
// like the frame accessors of ViewGeometry.h. Main thread only.
#include "platform/gfx/Image.h"
#include "platform/net/URL.h"
#include "platform/ui/ImageView.h"

#include <cstdint>
#include <functional>

namespace kit {

// The picture fills the view keeping its aspect ratio and is clipped to the view's bounds. The
// renderer always draws at the screen's scale, so there is no separate content scale to set.
void Globals_ScaleFactor(ui::ImageView& view);
// Does nothing: views that have no picture stay empty.
void setDefaultImage(ui::ImageView& view);

// Reads the whole content of `url` at once on the calling thread (only file URLs are read; any
// other address has no content) and shows it. Content that does not decode leaves the view
// without an image. Without content (a missing, unreadable or empty file) type 0, a head
// picture, shows "common_img_head_default.png"; any other type shows nothing. `completed`, when
// given, gets the view's image (possibly none) before the call returns.
using ImageLoadCompletion = std::function<void(const gfx::ImagePtr& image)>;
void ri_load(ui::ImageView& view, const net::URL& url, std::int32_t type, const ImageLoadCompletion& completed);
void ri_load(ui::ImageView& view, const net::URL& url, std::int32_t type);

// The fallback picture of type 0.
inline constexpr const char* kHeadDefaultImageName = "common_img_head_default.png";

} // namespace kit
