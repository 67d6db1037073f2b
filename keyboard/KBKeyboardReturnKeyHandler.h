#pragma once
// Makes the return key walk a screen's text inputs: the handler becomes the delegate of each
// registered text field and text view, gives each the return key Next except the last input of its
// previous/next group (lastTextFieldReturnKeyType), moves the focus on at a return (the last input
// resigns), and passes every delegate call on to the input's earlier delegate, or to the handler's
// own delegate when one is set (then the should-questions answer yes unasked). Releasing the handler
// gives the inputs their delegates and return keys back. Groups are formed as the keyboard manager
// forms them, with its allowed classes and order. Main thread only.

#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace keyboard {

class KBKeyboardReturnKeyDelegate : public ui::TextFieldDelegate, public ui::TextViewDelegate {};

class KBKeyboardReturnKeyHandler : public core::Object, public KBKeyboardReturnKeyDelegate {
    QUILLORA_CLASS(KBKeyboardReturnKeyHandler)

    KBKeyboardReturnKeyHandler() = default;
    // Registers every input inside the controller's view.
    explicit KBKeyboardReturnKeyHandler(std::weak_ptr<ui::ViewController> controller) : controller_(std::move(controller)) {}
    void init() override;
    ~KBKeyboardReturnKeyHandler() override;

    std::shared_ptr<KBKeyboardReturnKeyDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<KBKeyboardReturnKeyDelegate> delegate) { delegate_ = std::move(delegate); }
    ui::ReturnKeyType lastTextFieldReturnKeyType() const { return lastTextFieldReturnKeyType_; }
    void setLastTextFieldReturnKeyType(ui::ReturnKeyType type);

    void addTextFieldView(const std::shared_ptr<ui::View>& view);
    void removeTextFieldView(const std::shared_ptr<ui::View>& view);
    void addResponderFromView(const ui::View& view);
    void removeResponderFromView(const ui::View& view);
    std::size_t recordCount() const { return textFieldInfoCache_.size(); }

    // Text field delegate.
    bool textFieldShouldBeginEditing(ui::TextField& textField) override;
    bool textFieldShouldEndEditing(ui::TextField& textField) override;
    void textFieldDidBeginEditing(ui::TextField& textField) override;
    void textFieldDidEndEditing(ui::TextField& textField) override;
    void textFieldDidEndEditing(ui::TextField& textField, ui::TextFieldDidEndEditingReason reason) override;
    bool shouldChangeCharactersInRange(ui::TextField& textField, ui::TextRange range, const std::string& replacement) override;
    bool textFieldShouldClear(ui::TextField& textField) override;
    bool textFieldShouldReturn(ui::TextField& textField) override;
    // Text view delegate.
    bool textViewShouldBeginEditing(ui::TextView& textView) override;
    bool textViewShouldEndEditing(ui::TextView& textView) override;
    void textViewDidBeginEditing(ui::TextView& textView) override;
    void textViewDidEndEditing(ui::TextView& textView) override;
    bool shouldChangeTextInRange(ui::TextView& textView, ui::TextRange range, const std::string& replacement) override;
    void textViewDidChange(ui::TextView& textView) override;
    void textViewDidChangeSelection(ui::TextView& textView) override;
    bool shouldInteractWithURL(ui::TextView& textView, const std::string& url, ui::TextRange range,
                               ui::TextItemInteraction interaction) override;
    bool shouldInteractWithTextAttachment(ui::TextView& textView, const ui::TextAttachment& attachment, ui::TextRange range,
                                          ui::TextItemInteraction interaction) override;
    bool shouldInteractWithURL(ui::TextView& textView, const std::string& url, ui::TextRange range) override;
    bool shouldInteractWithTextAttachment(ui::TextView& textView, const ui::TextAttachment& attachment,
                                          ui::TextRange range) override;

private:
    struct Record {
        std::weak_ptr<ui::TextFieldDelegate> textFieldDelegate;
        std::weak_ptr<ui::TextViewDelegate> textViewDelegate;
        std::weak_ptr<ui::View> textFieldView;
        ui::ReturnKeyType originalReturnKeyType = ui::ReturnKeyType::default_;
    };
    const Record* recordFor(const ui::View& view) const;
    std::shared_ptr<ui::TextFieldDelegate> fieldDelegate(const ui::View& view) const;
    std::shared_ptr<ui::TextViewDelegate> viewDelegate(const ui::View& view) const;
    void restore(const Record& record);
    void refreshReturnKeyTypes(ui::View& view);
    bool advanceToNextResponder(ui::View& view);

    std::weak_ptr<ui::ViewController> controller_;
    std::weak_ptr<KBKeyboardReturnKeyDelegate> delegate_;
    ui::ReturnKeyType lastTextFieldReturnKeyType_ = ui::ReturnKeyType::default_;
    std::vector<Record> textFieldInfoCache_;
    // Where a view's record is in textFieldInfoCache_ (its first one); checked on use, rebuilt on removal.
    std::unordered_map<const ui::View*, std::size_t> recordIndex_;
    void reindexRecords();
};

} // namespace keyboard
