#pragma once
// The controls' subviews are made on first use and owned by the view tree; the control keeps a
// weak reference and makes a new one if the old one has left.

#include "platform/ui/View.h"

#include <memory>

namespace refresh {

template <class T, class Make>
std::shared_ptr<T> subviewMadeOnFirstUse(ui::View& parent, std::weak_ptr<T>& kept, Make make) {
    auto view = kept.lock();
    if (!view) {
        view = make();
        parent.addSubview(view);
        kept = view;
    }
    return view;
}

} // namespace refresh
