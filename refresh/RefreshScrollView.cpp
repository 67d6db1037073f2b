#include "refresh/RefreshScrollView.h"

#include "refresh/RefreshFooter.h"
#include "refresh/RefreshHeader.h"

namespace refresh {
namespace {

// The keys under which a scroll view keeps its controls.
char kHeaderKey;
char kFooterKey;

template <class Control>
void attach(ui::ScrollView& scrollView, const void* key, const std::shared_ptr<Control>& control) {
    auto old = std::static_pointer_cast<Control>(scrollView.associatedObject(key));
    if (old == control) return;
    if (old) old->removeFromSuperview();
    if (control) scrollView.insertSubview(control, 0);
    scrollView.setAssociatedObject(key, control);
}

} // namespace

std::shared_ptr<RefreshHeader> rf_header(const ui::ScrollView& s) {
    return std::static_pointer_cast<RefreshHeader>(s.associatedObject(&kHeaderKey));
}

void setRf_header(ui::ScrollView& s, const std::shared_ptr<RefreshHeader>& header) { attach(s, &kHeaderKey, header); }

std::shared_ptr<RefreshFooter> rf_footer(const ui::ScrollView& s) {
    return std::static_pointer_cast<RefreshFooter>(s.associatedObject(&kFooterKey));
}

void setRf_footer(ui::ScrollView& s, const std::shared_ptr<RefreshFooter>& footer) { attach(s, &kFooterKey, footer); }

std::int64_t rf_totalDataCount(const ui::ScrollView& s) { return s.totalDataCount(); }

const ui::ScrollView::ReloadDataBlock& rf_reloadDataBlock(const ui::ScrollView& s) { return s.reloadDataBlock(); }

void setRf_reloadDataBlock(ui::ScrollView& s, ui::ScrollView::ReloadDataBlock block) { s.setReloadDataBlock(std::move(block)); }

void executeReloadDataBlock(ui::ScrollView& s) { s.executeReloadDataBlock(); }

} // namespace refresh
