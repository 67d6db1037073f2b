#pragma once
// The photo album on the desktop: the toolkit's native file chooser (the desktop portal where
// there is one), modal and transient for the app's window, local PNG and JPEG files only,
// starting in the Pictures folder. Installed by the desktop host while it lives. Internal to the
// desktop host's library. Main thread only.

#include "platform/ui/ImagePickerController.h"

namespace ui {

// The chooser's title.
inline constexpr const char* kAlbumChooserTitle = "从手机相册选择";

// `parent` is the app's GtkWindow*.
std::shared_ptr<ImagePickerSource> makeGtkAlbumSource(void* parent);

} // namespace ui
