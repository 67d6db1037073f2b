#pragma once
// The refresh controls of a scroll view: its header and footer, kept on the scroll view (which
// owns them) and inserted as its first subview, and the reload hook that tells a footer how many
// rows or items a table or collection view holds after every reload.

#include "platform/ui/ScrollView.h"

#include <cstdint>
#include <memory>

namespace refresh {

class RefreshHeader;
class RefreshFooter;

std::shared_ptr<RefreshHeader> rf_header(const ui::ScrollView& scrollView);
// Replaces the header: the old one leaves the view tree, the new one goes behind every other
// subview. The same header again changes nothing; nullptr removes the header.
void setRf_header(ui::ScrollView& scrollView, const std::shared_ptr<RefreshHeader>& header);
std::shared_ptr<RefreshFooter> rf_footer(const ui::ScrollView& scrollView);
void setRf_footer(ui::ScrollView& scrollView, const std::shared_ptr<RefreshFooter>& footer);

// Second names of the same two.
inline std::shared_ptr<RefreshHeader> header(const ui::ScrollView& s) { return rf_header(s); }
inline void setHeader(ui::ScrollView& s, const std::shared_ptr<RefreshHeader>& h) { setRf_header(s, h); }
inline std::shared_ptr<RefreshFooter> footer(const ui::ScrollView& s) { return rf_footer(s); }
inline void setFooter(ui::ScrollView& s, const std::shared_ptr<RefreshFooter>& f) { setRf_footer(s, f); }

// Rows of a table (over all its sections), items of a collection view, 0 otherwise.
std::int64_t rf_totalDataCount(const ui::ScrollView& scrollView);
const ui::ScrollView::ReloadDataBlock& rf_reloadDataBlock(const ui::ScrollView& scrollView);
void setRf_reloadDataBlock(ui::ScrollView& scrollView, ui::ScrollView::ReloadDataBlock block);
void executeReloadDataBlock(ui::ScrollView& scrollView);

} // namespace refresh
