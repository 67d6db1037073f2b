#pragma once
// A row of a table: a content view that holds the row's subviews (and, in the default style, a
// text label made on first use), a grey background while selected or highlighted, and the
// separator line the table asks for at its bottom. Cells are reused: a cell that scrolls away
// goes to its table's queue under its reuse identifier and prepareForReuse() runs before it is
// handed out again. Main thread only.

#include "platform/ui/Label.h"

#include <string>

namespace ui {

enum class TableViewCellStyle { default_ = 0, value1 = 1, value2 = 2, subtitle = 3 };
enum class TableViewCellSelectionStyle { none = 0, blue = 1, gray = 2, default_ = 3 };

class TableViewCell : public View {
    QUILLORA_CLASS(TableViewCell)

    explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::default_, std::string reuseIdentifier = {});
    void init() override;

    TableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<View>& contentView() const { return contentView_; }
    std::shared_ptr<Label> textLabel();

    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style) { selectionStyle_ = style; updateBackground(); }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted, bool animated = false);

    virtual void prepareForReuse();
    void layoutSubviews() override;

    // Set by the table: the line at the bottom of the row.
    void setSeparator(bool shown, gfx::Color color, double leftInset);

private:
    void updateBackground();

    TableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<View> selectedBackground_;
    std::shared_ptr<View> separator_;
    std::shared_ptr<Label> textLabel_;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::default_;
    double separatorInset_ = 15;
    bool selected_ = false;
    bool highlighted_ = false;
};

} // namespace ui
