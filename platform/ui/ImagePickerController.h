#pragma once
// A controller that lets the user pick one photo, from the photo album or from the camera. It is
// presented and dismissed like any controller; once it has appeared its source starts (the
// desktop's file chooser, or a capture page with live frames). What the user picked goes to the
// delegate (held weakly) on the main thread: the original image, or none when the chosen file
// does not decode; a cancel goes to imagePickerControllerDidCancel. The picker never dismisses
// itself: the delegate does.
//
// Sources are a seam, like the web view's engines: each source type has one installed source (the
// desktop host installs the album while it lives, the program installs the camera), tests
// install scripted ones. A source type without a source, or whose source says so, is not
// available. A dismissed picker ends its source (a camera stops its pipeline).
//
// Files that a source hands over are read and decoded off the main thread (very large JPEGs at a
// reduction, see kPickedMinimumShorterSide); the result is delivered on it. Main thread only otherwise.

#include "platform/gfx/Image.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <string>

namespace ui {

class ImagePickerController;

enum class ImagePickerControllerSourceType { photoLibrary = 0, camera = 1 };

// What a pick yields: the original (unedited) image, or none.
struct ImagePickerInfo {
    gfx::ImagePtr originalImage;
};

class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    virtual void imagePickerController(ImagePickerController& picker, const ImagePickerInfo& info) {
        (void)picker;
        (void)info;
    }
    virtual void imagePickerControllerDidCancel(ImagePickerController& picker) { (void)picker; }
};

// Where the photos of one source type come from.
class ImagePickerSource {
public:
    virtual ~ImagePickerSource() = default;
    // Whether this source can be used now (a reason is logged when not).
    virtual bool isAvailable() = 0;
    // The picker appeared: start. Report through the picker's deliver... operations.
    virtual void begin(const std::shared_ptr<ImagePickerController>& picker) = 0;
    // The picker left the screen or went: stop whatever runs for it.
    virtual void end(ImagePickerController& picker) { (void)picker; }
};

class ImagePickerController : public ViewController {
    QUILLORA_CLASS(ImagePickerController)

    ImagePickerController() = default;
    ~ImagePickerController() override;

    using SourceType = ImagePickerControllerSourceType;
    // Very large picked JPEGs decode reduced, their shorter side kept at least this many pixels
    // (all that a 600-pixel crop at zoom 5 uses).
    static constexpr int kPickedMinimumShorterSide = 3000;
    static bool isSourceTypeAvailable(SourceType type);
    // Installs (null: removes) the source of a type.
    static void setSource(SourceType type, std::shared_ptr<ImagePickerSource> source);
    static std::shared_ptr<ImagePickerSource> source(SourceType type);

    SourceType sourceType() const { return sourceType_; }
    // The album's chooser is a dialog of its own, so its picker lies over the presenter with
    // nothing to show (over full screen); the camera's capture page covers the screen.
    void setSourceType(SourceType type);
    // Recorded only: the picker offers no editing step.
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }
    std::shared_ptr<ImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    // For sources: a chosen file (read and decoded off the main thread; a file that does not
    // decode yields no image), an image in hand (null: none), or a cancel.
    void deliverFile(const std::string& path);
    void deliverImage(gfx::ImagePtr image);
    void deliverCancel();

    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    void endSource();
    SourceType sourceType_ = SourceType::photoLibrary;
    bool allowsEditing_ = false;
    std::weak_ptr<ImagePickerControllerDelegate> delegate_;
    std::shared_ptr<ImagePickerSource> running_;
};

} // namespace ui
