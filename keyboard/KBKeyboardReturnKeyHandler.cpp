#include "keyboard/KBKeyboardReturnKeyHandler.h"

#include "keyboard/KBKeyboardManager.h"

namespace keyboard {
namespace {

GroupList groupOf(const ui::View& view) { return KBKeyboardManager::sharedReference().currentGroupList(view); }

std::shared_ptr<KBKeyboardReturnKeyHandler> self(KBKeyboardReturnKeyHandler* handler) {
    return std::static_pointer_cast<KBKeyboardReturnKeyHandler>(handler->shared_from_this());
}

} // namespace

void KBKeyboardReturnKeyHandler::init() {
    core::Object::init();
    if (auto controller = controller_.lock()) addResponderFromView(*controller->view());
}

KBKeyboardReturnKeyHandler::~KBKeyboardReturnKeyHandler() {
    for (const auto& record : textFieldInfoCache_) restore(record);
    textFieldInfoCache_.clear();
    recordIndex_.clear();
}

void KBKeyboardReturnKeyHandler::restore(const Record& record) {
    auto view = record.textFieldView.lock();
    if (auto* field = dynamic_cast<ui::TextField*>(view.get())) {
        field->setReturnKeyType(record.originalReturnKeyType);
        field->setDelegate(record.textFieldDelegate);
    } else if (auto* text = dynamic_cast<ui::TextView*>(view.get())) {
        text->setReturnKeyType(record.originalReturnKeyType);
        text->setDelegate(record.textViewDelegate);
    }
}

const KBKeyboardReturnKeyHandler::Record* KBKeyboardReturnKeyHandler::recordFor(const ui::View& view) const {
    // The index names the first record made for a view at this address; a view that went and a new
    // one at its address never match (the record's reference to the old one is expired).
    auto it = recordIndex_.find(&view);
    if (it == recordIndex_.end() || it->second >= textFieldInfoCache_.size()) return nullptr;
    const Record& record = textFieldInfoCache_[it->second];
    // Made for a view at this address: while that view lives, it is this one.
    return record.textFieldView.expired() ? nullptr : &record;
}

void KBKeyboardReturnKeyHandler::reindexRecords() {
    recordIndex_.clear();
    for (std::size_t i = 0; i < textFieldInfoCache_.size(); ++i)
        if (auto view = textFieldInfoCache_[i].textFieldView.lock()) recordIndex_.try_emplace(view.get(), i);
}

std::shared_ptr<ui::TextFieldDelegate> KBKeyboardReturnKeyHandler::fieldDelegate(const ui::View& view) const {
    const Record* record = recordFor(view);
    return record ? record->textFieldDelegate.lock() : nullptr;
}

std::shared_ptr<ui::TextViewDelegate> KBKeyboardReturnKeyHandler::viewDelegate(const ui::View& view) const {
    const Record* record = recordFor(view);
    return record ? record->textViewDelegate.lock() : nullptr;
}

void KBKeyboardReturnKeyHandler::addTextFieldView(const std::shared_ptr<ui::View>& view) {
    if (!view) return;
    Record record;
    record.textFieldView = view;
    // A view added again keeps what its first record saved: the handler is already its delegate.
    const Record* earlier = recordFor(*view);
    if (auto* field = dynamic_cast<ui::TextField*>(view.get())) {
        record.originalReturnKeyType = earlier ? earlier->originalReturnKeyType : field->returnKeyType();
        record.textFieldDelegate = earlier ? earlier->textFieldDelegate : std::weak_ptr<ui::TextFieldDelegate>(field->delegate());
        field->setDelegate(std::static_pointer_cast<ui::TextFieldDelegate>(self(this)));
    } else if (auto* text = dynamic_cast<ui::TextView*>(view.get())) {
        record.originalReturnKeyType = earlier ? earlier->originalReturnKeyType : text->returnKeyType();
        record.textViewDelegate = earlier ? earlier->textViewDelegate : std::weak_ptr<ui::TextViewDelegate>(text->delegate());
        text->setDelegate(std::static_pointer_cast<ui::TextViewDelegate>(self(this)));
    }
    textFieldInfoCache_.push_back(std::move(record));
    if (!earlier) recordIndex_[view.get()] = textFieldInfoCache_.size() - 1;
}

void KBKeyboardReturnKeyHandler::removeTextFieldView(const std::shared_ptr<ui::View>& view) {
    if (!view) return;
    for (auto it = textFieldInfoCache_.begin(); it != textFieldInfoCache_.end(); ++it)
        if (it->textFieldView.lock() == view) {
            restore(*it);
            textFieldInfoCache_.erase(it);
            reindexRecords();
            return;
        }
}

void KBKeyboardReturnKeyHandler::addResponderFromView(const ui::View& view) {
    for (const auto& input : collectResponderDescendants(view)) addTextFieldView(input);
}

void KBKeyboardReturnKeyHandler::removeResponderFromView(const ui::View& view) {
    for (const auto& input : collectResponderDescendants(view)) removeTextFieldView(input);
}

void KBKeyboardReturnKeyHandler::setLastTextFieldReturnKeyType(ui::ReturnKeyType type) {
    lastTextFieldReturnKeyType_ = type;
    auto records = textFieldInfoCache_;
    for (const auto& record : records)
        if (auto view = record.textFieldView.lock()) refreshReturnKeyTypes(*view);
}

void KBKeyboardReturnKeyHandler::refreshReturnKeyTypes(ui::View& view) {
    auto group = groupOf(view);
    if (group->empty()) return;
    auto type = group->back() == &view ? lastTextFieldReturnKeyType_ : ui::ReturnKeyType::next;
    if (core::isKindOf<ui::TextField>(view)) static_cast<ui::TextField&>(view).setReturnKeyType(type);
    else if (core::isKindOf<ui::TextView>(view)) static_cast<ui::TextView&>(view).setReturnKeyType(type);
}

bool KBKeyboardReturnKeyHandler::advanceToNextResponder(ui::View& view) {
    auto group = groupOf(view);
    std::size_t i = 0;
    while (i < group->size() && (*group)[i] != &view) ++i;
    if (i == group->size()) return true;
    if (i + 1 >= group->size()) {
        view.resignFirstResponder();
        return true;
    }
    auto next = std::static_pointer_cast<ui::View>((*group)[i + 1]->shared_from_this());
    next->becomeFirstResponder();
    return false;
}

// ---- Text field delegate

bool KBKeyboardReturnKeyHandler::textFieldShouldBeginEditing(ui::TextField& f) {
    if (delegate()) return true;
    auto d = fieldDelegate(f);
    return d ? d->textFieldShouldBeginEditing(f) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldShouldEndEditing(ui::TextField& f) {
    if (delegate()) return true;
    auto d = fieldDelegate(f);
    return d ? d->textFieldShouldEndEditing(f) : true;
}

void KBKeyboardReturnKeyHandler::textFieldDidBeginEditing(ui::TextField& f) {
    refreshReturnKeyTypes(f);
    if (auto d = delegate()) d->textFieldDidBeginEditing(f);
    else if (auto r = fieldDelegate(f)) r->textFieldDidBeginEditing(f);
}

void KBKeyboardReturnKeyHandler::textFieldDidEndEditing(ui::TextField& f) {
    if (auto d = delegate()) d->textFieldDidEndEditing(f);
    else if (auto r = fieldDelegate(f)) r->textFieldDidEndEditing(f);
}

void KBKeyboardReturnKeyHandler::textFieldDidEndEditing(ui::TextField& f, ui::TextFieldDidEndEditingReason reason) {
    if (auto d = delegate()) d->textFieldDidEndEditing(f, reason);
    else if (auto r = fieldDelegate(f)) r->textFieldDidEndEditing(f, reason);
}

bool KBKeyboardReturnKeyHandler::shouldChangeCharactersInRange(ui::TextField& f, ui::TextRange range, const std::string& s) {
    if (delegate()) return true;
    auto d = fieldDelegate(f);
    return d ? d->shouldChangeCharactersInRange(f, range, s) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldShouldClear(ui::TextField& f) {
    if (delegate()) return true;
    auto d = fieldDelegate(f);
    return d ? d->textFieldShouldClear(f) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldShouldReturn(ui::TextField& f) {
    auto keep = self(this);  // moving the focus may end a caller's last reference
    bool permission = true;
    if (!delegate())
        if (auto d = fieldDelegate(f)) permission = d->textFieldShouldReturn(f);
    bool advanced = advanceToNextResponder(f);
    return permission ? true : advanced;
}

// ---- Text view delegate

bool KBKeyboardReturnKeyHandler::textViewShouldBeginEditing(ui::TextView& t) {
    if (delegate()) return true;
    auto d = viewDelegate(t);
    return d ? d->textViewShouldBeginEditing(t) : true;
}

bool KBKeyboardReturnKeyHandler::textViewShouldEndEditing(ui::TextView& t) {
    if (delegate()) return true;
    auto d = viewDelegate(t);
    return d ? d->textViewShouldEndEditing(t) : true;
}

void KBKeyboardReturnKeyHandler::textViewDidBeginEditing(ui::TextView& t) {
    refreshReturnKeyTypes(t);
    if (auto d = delegate()) d->textViewDidBeginEditing(t);
    else if (auto r = viewDelegate(t)) r->textViewDidBeginEditing(t);
}

void KBKeyboardReturnKeyHandler::textViewDidEndEditing(ui::TextView& t) {
    if (auto d = delegate()) d->textViewDidEndEditing(t);
    else if (auto r = viewDelegate(t)) r->textViewDidEndEditing(t);
}

bool KBKeyboardReturnKeyHandler::shouldChangeTextInRange(ui::TextView& t, ui::TextRange range, const std::string& s) {
    if (!delegate())
        if (auto d = viewDelegate(t); d && !d->shouldChangeTextInRange(t, range, s)) return false;
    if (s == "\n") return advanceToNextResponder(t);
    return true;
}

void KBKeyboardReturnKeyHandler::textViewDidChange(ui::TextView& t) {
    if (auto d = delegate()) d->textViewDidChange(t);
    else if (auto r = viewDelegate(t)) r->textViewDidChange(t);
}

void KBKeyboardReturnKeyHandler::textViewDidChangeSelection(ui::TextView& t) {
    if (auto d = delegate()) d->textViewDidChangeSelection(t);
    else if (auto r = viewDelegate(t)) r->textViewDidChangeSelection(t);
}

bool KBKeyboardReturnKeyHandler::shouldInteractWithURL(ui::TextView& t, const std::string& url, ui::TextRange range,
                                                       ui::TextItemInteraction interaction) {
    if (delegate()) return true;
    auto d = viewDelegate(t);
    return d ? d->shouldInteractWithURL(t, url, range, interaction) : true;
}

bool KBKeyboardReturnKeyHandler::shouldInteractWithTextAttachment(ui::TextView& t, const ui::TextAttachment& attachment,
                                                                  ui::TextRange range, ui::TextItemInteraction interaction) {
    if (delegate()) return true;
    auto d = viewDelegate(t);
    return d ? d->shouldInteractWithTextAttachment(t, attachment, range, interaction) : true;
}

bool KBKeyboardReturnKeyHandler::shouldInteractWithURL(ui::TextView& t, const std::string& url, ui::TextRange range) {
    if (delegate()) return true;
    auto d = viewDelegate(t);
    return d ? d->shouldInteractWithURL(t, url, range) : true;
}

bool KBKeyboardReturnKeyHandler::shouldInteractWithTextAttachment(ui::TextView& t, const ui::TextAttachment& attachment,
                                                                  ui::TextRange range) {
    if (delegate()) return true;
    auto d = viewDelegate(t);
    return d ? d->shouldInteractWithTextAttachment(t, attachment, range) : true;
}

} // namespace keyboard
