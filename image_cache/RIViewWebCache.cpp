#include "image_cache/RIViewWebCache.h"

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"

namespace image_cache {

namespace {

const char kStateKey = 0;

std::weak_ptr<ui::View> weakOf(ui::View& view) { return std::static_pointer_cast<ui::View>(view.shared_from_this()); }

core::Error nilURLError() {
    return core::Error{kRIImageErrorDomain, -1, "Trying to load a nil url", {}};
}

} // namespace

RIWebCacheViewState& ri_webCacheState(ui::View& view) {
    auto state = std::static_pointer_cast<RIWebCacheViewState>(view.associatedObject(&kStateKey));
    if (!state) {
        state = std::make_shared<RIWebCacheViewState>();
        view.setAssociatedObject(&kStateKey, state);
    }
    return *state;
}

std::optional<net::URL> ri_imageURL(ui::View& view) { return ri_webCacheState(view).imageURL; }

std::shared_ptr<RIImageTransition> ri_imageTransition(ui::View& view) { return ri_webCacheState(view).imageTransition; }
void setRi_imageTransition(ui::View& view, std::shared_ptr<RIImageTransition> transition) {
    ri_webCacheState(view).imageTransition = std::move(transition);
}

std::shared_ptr<core::Progress> ri_imageProgress(ui::View& view) {
    auto& state = ri_webCacheState(view);
    if (!state.imageProgress) state.imageProgress = std::make_shared<core::Progress>();
    return state.imageProgress;
}
void setRi_imageProgress(ui::View& view, std::shared_ptr<core::Progress> progress) {
    ri_webCacheState(view).imageProgress = std::move(progress);
}

void ri_setNeedsLayout(ui::View& view) { view.setNeedsLayout(); }

void ri_setShowActivityIndicatorView(ui::View& view, bool show) { ri_webCacheState(view).showActivityIndicatorView = show; }
bool ri_showActivityIndicatorView(ui::View& view) { return ri_webCacheState(view).showActivityIndicatorView; }
void ri_setIndicatorStyle(ui::View& view, int style) { ri_webCacheState(view).indicatorStyle = style; }
int ri_getIndicatorStyle(ui::View& view) { return ri_webCacheState(view).indicatorStyle; }

void ri_addActivityIndicator(ui::View& view) {
    auto weakView = weakOf(view);
    ri_dispatch_main_async_safe([weakView] {
        auto self = weakView.lock();
        if (!self) return;
        auto& state = ri_webCacheState(*self);
        if (!state.activityIndicator) {
            auto indicator = core::make<ui::ActivityIndicatorView>(static_cast<ui::ActivityIndicatorViewStyle>(state.indicatorStyle));
            // There are no layout constraints: the spinner is put in the middle and its margins
            // stretch, so it stays centred as the view changes size.
            const gfx::Rect bounds = self->bounds();
            indicator->setCenter({bounds.x() + bounds.width() / 2, bounds.y() + bounds.height() / 2});
            indicator->setAutoresizingMask(ui::autoresizingFlexibleLeftMargin | ui::autoresizingFlexibleRightMargin |
                                           ui::autoresizingFlexibleTopMargin | ui::autoresizingFlexibleBottomMargin);
            self->addSubview(indicator);
            state.activityIndicator = indicator;
        }
        state.activityIndicator->startAnimating();
    });
}

void ri_removeActivityIndicator(ui::View& view) {
    auto weakView = weakOf(view);
    ri_dispatch_main_async_safe([weakView] {
        auto self = weakView.lock();
        if (!self) return;
        auto& state = ri_webCacheState(*self);
        if (!state.activityIndicator) return;
        state.activityIndicator->removeFromSuperview();
        state.activityIndicator.reset();
    });
}

void ri_setImageLoadOperation(ui::View& view, const std::shared_ptr<RIImageOperation>& operation, const std::optional<std::string>& key) {
    if (!key) return;
    ri_cancelImageLoadOperationWithKey(view, key);
    if (!operation) return;
    auto& state = ri_webCacheState(view);
    std::lock_guard lock(state.lock);
    state.operations[*key] = operation;
}

void ri_cancelImageLoadOperationWithKey(ui::View& view, const std::optional<std::string>& key) {
    if (!key) return;
    auto& state = ri_webCacheState(view);
    std::shared_ptr<RIImageOperation> operation;
    {
        std::lock_guard lock(state.lock);
        if (auto it = state.operations.find(*key); it != state.operations.end()) operation = it->second.lock();
    }
    if (operation) operation->cancel();
    std::lock_guard lock(state.lock);
    state.operations.erase(*key);
}

void ri_removeImageLoadOperationWithKey(ui::View& view, const std::optional<std::string>& key) {
    if (!key) return;
    auto& state = ri_webCacheState(view);
    std::lock_guard lock(state.lock);
    state.operations.erase(*key);
}

std::shared_ptr<RIImageOperation> ri_imageLoadOperation(ui::View& view, const std::string& key) {
    auto& state = ri_webCacheState(view);
    std::lock_guard lock(state.lock);
    auto it = state.operations.find(key);
    if (it == state.operations.end()) return nullptr;
    auto operation = it->second.lock();
    if (!operation) state.operations.erase(it);
    return operation;
}

void ri_cancelCurrentImageLoad(ui::View& view) { ri_cancelImageLoadOperationWithKey(view, std::string(view.className())); }

void ri_setImage(ui::View& view, ImagePtr image, Data data, const RISetImageBlock& setImageBlock) {
    ri_setImage(view, std::move(image), std::move(data), setImageBlock, nullptr, RIImageCacheKind::none, std::nullopt);
}

void ri_setImage(ui::View& view, ImagePtr image, Data data, const RISetImageBlock& setImageBlock,
                 std::shared_ptr<RIImageTransition> transition, RIImageCacheKind kind, std::optional<net::URL> imageURL) {
    RISetImageBlock applier = setImageBlock;
    if (!applier) {
        auto weakView = weakOf(view);
        if (dynamic_cast<ui::ImageView*>(&view)) {
            applier = [weakView](ImagePtr i, Data) {
                if (auto v = std::static_pointer_cast<ui::ImageView>(weakView.lock())) v->setImage(std::move(i));
            };
        } else if (dynamic_cast<ui::Button*>(&view)) {
            applier = [weakView](ImagePtr i, Data) {
                if (auto v = std::static_pointer_cast<ui::Button>(weakView.lock())) v->setImage(std::move(i), ui::stateNormal);
            };
        }
    }
    if (!transition) {
        if (applier) applier(std::move(image), std::move(data));
        return;
    }
    auto self = std::static_pointer_cast<ui::View>(view.shared_from_this());
    std::weak_ptr<ui::View> weakView = self;
    ui::View::transition(
        self, 0, 0,
        [self, transition, image, data, kind, imageURL] {
            if (transition->prepares) transition->prepares(*self, image, data, kind, imageURL);
        },
        [weakView, transition, applier, image, data](bool) {
            auto target = weakView.lock();
            if (!target) return;
            ui::View::transition(
                target, transition->duration, static_cast<unsigned>(transition->animationOptions),
                [target, transition, applier, image, data] {
                    if (applier && !transition->avoidAutoSetImage) applier(image, data);
                    if (transition->animations) transition->animations(*target, image);
                },
                transition->completion);
        });
}

void ri_internalSetImageWithURL(ui::View& view, const std::optional<net::URL>& url, ImagePtr placeholder, std::uint64_t options,
                                std::optional<std::string> operationKey, RISetImageBlock setImageBlock,
                                RIImageDownloaderProgressBlock progress, RIExternalCompletionBlock completed,
                                const RIWebCacheContext* context) {
    const std::string key = operationKey ? *operationKey : std::string(view.className());
    ri_cancelImageLoadOperationWithKey(view, key);
    ri_webCacheState(view).imageURL = url;
    auto weakView = weakOf(view);
    std::shared_ptr<dispatch::Group> group = context ? context->internalSetImageGroup : nullptr;

    if (!(options & RIImageDelayPlaceholder)) {
        if (group) group->enter();
        ri_dispatch_main_async_safe([weakView, placeholder, setImageBlock] {
            if (auto v = weakView.lock()) ri_setImage(*v, placeholder, std::nullopt, setImageBlock);
        });
    }

    if (!url) {
        ri_dispatch_main_async_safe([weakView, completed] {
            auto v = weakView.lock();
            if (!v) return;
            ri_removeActivityIndicator(*v);
            if (completed) completed(nullptr, nilURLError(), RIImageCacheKind::none, std::nullopt);
        });
        return;
    }

    if (ri_showActivityIndicatorView(view)) ri_addActivityIndicator(view);
    auto imageProgress = ri_imageProgress(view);
    imageProgress->setTotalUnitCount(0);
    imageProgress->setCompletedUnitCount(0);
    std::shared_ptr<RIImageManager> manager =
        context && context->externalCustomManager ? context->externalCustomManager : RIImageManager::sharedManager();

    RIImageDownloaderProgressBlock combinedProgress = [imageProgress, progress](std::int64_t received, std::int64_t expected,
                                                                                 std::optional<net::URL> target) {
        imageProgress->setTotalUnitCount(expected);
        imageProgress->setCompletedUnitCount(received);
        if (progress) progress(received, expected, target);
    };
    auto operation = manager->loadImageWithURL(
        url, options, combinedProgress,
        [weakView, options, placeholder, setImageBlock, completed, group](ImagePtr image, Data data, std::optional<core::Error> error,
                                                                          RIImageCacheKind kind, bool finished, std::optional<net::URL> imageURL) {
            auto target = weakView.lock();
            if (!target) return;
            ri_removeActivityIndicator(*target);
            auto progressNow = ri_imageProgress(*target);
            if (!error && finished && progressNow->totalUnitCount() == 0 && progressNow->completedUnitCount() == 0) {
                progressNow->setTotalUnitCount(1);
                progressNow->setCompletedUnitCount(1);
            }
            const bool callCompletion = finished || (options & RIImageAvoidAutoSetImage);
            const bool doNotSet = (image && (options & RIImageAvoidAutoSetImage)) || (!image && !(options & RIImageDelayPlaceholder));
            auto finalStep = [weakView, doNotSet, completed, callCompletion, image, error, kind, imageURL] {
                auto v = weakView.lock();
                if (!v) return;
                if (!doNotSet) ri_setNeedsLayout(*v);
                if (completed && callCompletion) completed(image, error, kind, imageURL);
            };
            if (doNotSet) {
                ri_dispatch_main_async_safe(finalStep);
                return;
            }
            ImagePtr shown = image;
            Data shownData = data;
            if (!image && (options & RIImageDelayPlaceholder)) {
                shown = placeholder;
                shownData = std::nullopt;
            }
            std::shared_ptr<RIImageTransition> transition;
            if (finished && (kind == RIImageCacheKind::none || (options & RIImageForceTransition))) transition = ri_imageTransition(*target);
            auto setIt = [weakView, shown, shownData, setImageBlock, transition, kind, imageURL] {
                if (auto v = weakView.lock()) ri_setImage(*v, shown, shownData, setImageBlock, transition, kind, imageURL);
            };
            if (group) {
                group->enter();
                ri_dispatch_main_async_safe(setIt);
                group->notify(dispatch::Queue::main(), finalStep);
            } else {
                ri_dispatch_main_async_safe([setIt, finalStep] {
                    setIt();
                    finalStep();
                });
            }
        });
    ri_setImageLoadOperation(view, operation, key);
}

} // namespace image_cache
