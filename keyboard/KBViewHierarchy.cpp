#include "keyboard/KBViewHierarchy.h"

#include "keyboard/KBViewOptions.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace keyboard {
namespace {

using ControllerPtr = std::shared_ptr<ui::ViewController>;

// The walks below take no reference to the views and controllers they pass (main thread: nothing
// goes away during a walk); a controller they hand out is taken by reference only at the end.

ControllerPtr shared(ui::ViewController* controller) {
    return controller ? std::static_pointer_cast<ui::ViewController>(controller->shared_from_this()) : nullptr;
}

// The controller whose root view `view` is, else null (then the view's next responder is its
// superview).
ui::ViewController* rootControllerOf(const ui::View& view) {
    auto* controller = view.owningViewControllerPointer();
    return controller && controller->isViewLoaded() && controller->view().get() == &view ? controller : nullptr;
}

// The first controller on the chain from `view` on, the view included: along a run of views the
// chain is the superviews up to the first controller's root view, so they are climbed without
// testing each one's type.
ui::ViewController* firstControllerIn(const ui::View& view) {
    for (const ui::View* v = &view; v; v = v->superviewPointer())
        if (auto* controller = rootControllerOf(*v)) return controller;
    return nullptr;
}
ControllerPtr firstControllerFrom(const ui::View& view) { return shared(firstControllerIn(view)); }

// The first controller after `controller` along the chain. A controller's next responder
// (ViewController::nextResponder) is its view's superview, else the controller that presented it.
ui::ViewController* nextControllerAfter(ui::ViewController& controller) {
    if (controller.isViewLoaded())
        if (const ui::View* above = controller.view()->superviewPointer()) return firstControllerIn(*above);
    return controller.presentingViewController().get();  // the presentation keeps it
}
ControllerPtr nextController(ui::ViewController& controller) { return shared(nextControllerAfter(controller)); }

bool isContainer(const ui::ViewController& c) {
    return core::isKindOf<ui::NavigationController>(c) || core::isKindOf<ui::TabBarController>(c);
}

ui::ViewController* climbToContainer(ui::ViewController* controller) {
    for (auto* parent = controller->parentViewControllerPointer(); parent && !isContainer(*parent);
         parent = parent->parentViewControllerPointer())
        controller = parent;
    return controller;
}

template <class Container>
Container* containerOf(ui::ViewController& controller) {
    for (auto* c = &controller; c; c = c->parentViewControllerPointer())
        if (core::isKindOf<Container>(*c)) return static_cast<Container*>(c);
    return nullptr;
}

// parentContainerViewController without taking references on the way.
ui::ViewController* parentContainerIn(const ui::View& view) {
    auto* controller = firstControllerIn(view);
    if (!controller) return nullptr;
    if (auto* nav = containerOf<ui::NavigationController>(*controller)) {
        for (auto* parent = nav->parentViewControllerPointer(); parent; parent = nav->parentViewControllerPointer()) {
            auto* outer = containerOf<ui::NavigationController>(*parent);
            if (!outer) break;
            nav = outer;
        }
        auto* top = climbToContainer(nav);
        if (top != nav) return top;
        return nav->viewControllers().empty() ? nullptr : nav->viewControllers().back().get();
    }
    if (auto* tabs = containerOf<ui::TabBarController>(*controller)) {
        auto selected = tabs->selectedViewController();  // the bar keeps it
        if (selected && core::isKindOf<ui::NavigationController>(*selected)) {
            const auto& stack = static_cast<ui::NavigationController&>(*selected).viewControllers();
            return stack.empty() ? nullptr : stack.back().get();
        }
        return selected.get();
    }
    return climbToContainer(controller);
}

bool shownAndInteractive(const ui::View& v) { return v.isUserInteractionEnabled() && !v.isHidden() && v.alpha() != 0.0; }

} // namespace

bool isKindOfAny(const core::Object& object, const KBClassList& classes) {
    return std::any_of(classes.begin(), classes.end(), [&](const KBClass& c) { return c.matches(object); });
}

ControllerPtr viewContainingController(const ui::View& view) { return firstControllerFrom(view); }
ui::ViewController* viewContainingControllerPointer(const ui::View& view) { return firstControllerIn(view); }

ControllerPtr topMostController(const ui::View& view) {
    auto window = view.window();
    if (!window || !window->rootViewController()) return viewContainingController(view);
    std::vector<ControllerPtr> chain;
    for (auto c = window->rootViewController(); c; c = c->presentedViewController()) chain.push_back(c);
    auto candidate = viewContainingController(view);
    while (candidate && std::find(chain.begin(), chain.end(), candidate) == chain.end()) candidate = nextController(*candidate);
    return candidate;
}

ControllerPtr parentContainerViewController(const ui::View& view) { return shared(parentContainerIn(view)); }
ui::ViewController* parentContainerViewControllerPointer(const ui::View& view) { return parentContainerIn(view); }

ui::View* superviewOfClassTypePointer(const ui::View& view, const KBClass& type) {
    for (ui::View* v = view.superviewPointer(); v; v = v->superviewPointer()) {
        if (!type.matches(*v)) continue;
        if (!core::isKindOf<ui::ScrollView>(*v)) return v;
        const ui::View* above = v->superviewPointer();
        bool inTable = above && (core::isKindOf<ui::TableView>(*above) || core::isKindOf<ui::TableViewCell>(*above));
        if (above && !inTable && !v->className().starts_with("_")) return v;
    }
    return nullptr;
}

std::shared_ptr<ui::View> superviewOfClassType(const ui::View& view, const KBClass& type) {
    ui::View* found = superviewOfClassTypePointer(view, type);
    return found ? std::static_pointer_cast<ui::View>(found->shared_from_this()) : nullptr;
}

ui::SearchBar* enclosingSearchBarPointer(const ui::View& view) {
    // The chain's views are the superviews up to a controller's root view, whose next responder
    // is the controller, where the search ends.
    for (const ui::View* v = &view;;) {
        if (rootControllerOf(*v)) return nullptr;
        ui::View* above = v->superviewPointer();
        if (!above) return nullptr;
        if (core::isKindOf<ui::SearchBar>(*above)) return static_cast<ui::SearchBar*>(above);
        v = above;
    }
}

std::shared_ptr<ui::SearchBar> enclosingSearchBar(const ui::View& view) {
    ui::SearchBar* bar = enclosingSearchBarPointer(view);
    return bar ? std::static_pointer_cast<ui::SearchBar>(std::static_pointer_cast<ui::View>(bar->shared_from_this())) : nullptr;
}

bool isInAlertController(const ui::View& view) {
    // Only controllers can be alerts, so the chain is taken controller by controller.
    for (auto* controller = firstControllerIn(view); controller; controller = nextControllerAfter(*controller))
        if (core::isKindOf<ui::AlertController>(*controller)) return true;
    return false;
}

namespace {

// The input's own part of the test: shown, then kind, enabled or editable (the cheap test first:
// most views of a form, labels among them, take no touches).
bool isNavigableKind(const ui::View& view) {
    if (!shownAndInteractive(view)) return false;
    if (auto* field = dynamic_cast<const ui::TextField*>(&view)) {
        if (!field->isEnabled()) return false;
    } else if (auto* text = dynamic_cast<const ui::TextView*>(&view)) {
        if (!text->isEditable()) return false;
    } else {
        return false;
    }
    return true;
}

// The responder chain's part: inside an alert or a search bar.
bool isExcludedByChain(const ui::View& view) { return isInAlertController(view) || enclosingSearchBar(view); }

// The chain's part for the subviews of one container. A subview whose next responder is the
// container (any but a controller's root view) shares the container's answer, so a walk over many
// subviews climbs the chain once instead of once per input.
class ChildrenOf {
public:
    explicit ChildrenOf(const ui::View& container) : container_(container) {}
    bool isNavigable(const ui::View& child) {
        if (!isNavigableKind(child)) return false;
        if (child.nextResponder().get() != &container_) return !isExcludedByChain(child);
        if (excluded_ < 0) excluded_ = dynamic_cast<const ui::SearchBar*>(&container_) || isExcludedByChain(container_);
        return !excluded_;
    }

private:
    const ui::View& container_;
    int excluded_ = -1;  // not asked yet
};

// Stable sort by the top, then the left, of each view's rectangle; each rectangle is read once.
template <class RectOf>
void sortByPlace(Views& views, RectOf rectOf) {
    std::vector<std::pair<gfx::Rect, std::shared_ptr<ui::View>>> placed;
    placed.reserve(views.size());
    for (auto& v : views) placed.emplace_back(rectOf(*v), std::move(v));
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
        return a.first.minY() < b.first.minY() || (a.first.minY() == b.first.minY() && a.first.minX() < b.first.minX());
    });
    for (std::size_t i = 0; i < views.size(); ++i) views[i] = std::move(placed[i].second);
}

// `entered` (when given) hears every view whose subviews are read.
void collectInto(const ui::View& container, Views& out, std::vector<const ui::View*>* entered = nullptr) {
    if (entered) entered->push_back(&container);
    ChildrenOf children(container);
    for (const auto& v : container.subviews()) {
        if (!ignoreSwitchingByNextPrevious(*v) && children.isNavigable(*v)) out.push_back(v);
        else if (!v->subviews().empty() && shownAndInteractive(*v)) collectInto(*v, out, entered);
    }
}

std::uint64_t groupsFormed = 0;

} // namespace

bool isNavigableTextInput(const ui::View& view) { return isNavigableKind(view) && !isExcludedByChain(view); }

Views collectResponderSiblings(const ui::View& view) {
    Views out;
    auto superview = view.superview();
    if (!superview) return out;
    ChildrenOf children(*superview);
    for (const auto& v : superview->subviews())
        if ((v.get() == &view || !ignoreSwitchingByNextPrevious(*v)) && children.isNavigable(*v)) out.push_back(v);
    return out;
}

namespace {

Views descendantsOf(const ui::View& container, std::vector<const ui::View*>* entered) {
    Views out;
    collectInto(container, out, entered);
    sortByPlace(out, [&](const ui::View& v) { return v.convertRect(v.bounds(), &container); });
    return out;
}

} // namespace

Views collectResponderDescendants(const ui::View& container) { return descendantsOf(container, nullptr); }

void sortViewsByTag(Views& views) {
    std::stable_sort(views.begin(), views.end(), [](const auto& a, const auto& b) { return a->tag() < b->tag(); });
}

void sortViewsByPosition(Views& views) {
    sortByPlace(views, [](const ui::View& v) { return v.frame(); });
}

namespace {

void sortSiblings(Views& group, KBAutoToolbarManageBehaviour order) {
    if (order == KBAutoToolbarManageBehaviour::tagOrder) sortViewsByTag(group);
    else if (order == KBAutoToolbarManageBehaviour::positionOrder) sortViewsByPosition(group);
}

// A view a kept group depends on: held weakly, its address compared and read only while it lives.
struct KeptView {
    std::weak_ptr<const ui::View> view;
    const ui::View* pointer = nullptr;

    explicit KeptView(const ui::View& v) : view(std::static_pointer_cast<const ui::View>(v.shared_from_this())), pointer(&v) {}
    bool is(const ui::View* v) const { return v == pointer && !view.expired(); }
};

// A kept group and what it was formed from.
struct KeptGroup {
    std::optional<KeptView> root;  // the container, or the superview of siblings
    bool container = false;
    KBClassList classes;  // the allowed container classes it was looked up with
    KBAutoToolbarManageBehaviour order = KBAutoToolbarManageBehaviour::subviewOrder;
    std::uint64_t links = 0;
    std::vector<std::pair<KeptView, std::uint64_t>> watched;  // views and their children generation
    std::vector<KeptView> above;                              // the root's superviews, nearest first
    GroupList members;

    bool holdsFor(const ui::View& r, bool isContainer, KBAutoToolbarManageBehaviour o) const {
        if (!root || !root->is(&r) || container != isContainer || (!container && order != o)) return false;
        if (links != ui::View::responderLinksGeneration()) return false;
        for (const auto& [view, generation] : watched)
            if (view.view.expired() || view.pointer->childrenGeneration() != generation) return false;
        const ui::View* v = r.superviewPointer();
        for (const auto& expected : above) {
            if (!v || !expected.is(v)) return false;
            v = v->superviewPointer();
        }
        return v == nullptr;
    }
};

std::vector<KeptGroup>& keptGroups() {
    static std::vector<KeptGroup> kept;
    return kept;
}

constexpr std::size_t kKeptGroups = 4;

GroupList formGroup(const ui::View& input, const ui::View& root, bool isContainer, const KBClassList& classes,
                    KBAutoToolbarManageBehaviour order, bool keep) {
    ++groupsFormed;
    KeptGroup kept;
    kept.links = ui::View::responderLinksGeneration();
    std::vector<const ui::View*> entered;
    Views group;
    if (isContainer) {
        group = descendantsOf(root, &entered);
        for (const ui::View* v = root.superviewPointer(); v; v = v->superviewPointer()) entered.push_back(v);
    } else {
        group = collectResponderSiblings(input);
        sortSiblings(group, order);
        entered.push_back(&root);
    }
    std::vector<ui::View*> list;
    list.reserve(group.size());
    for (const auto& v : group) list.push_back(v.get());
    auto members = std::make_shared<const std::vector<ui::View*>>(std::move(list));
    if (!keep) return members;
    kept.root.emplace(root);
    kept.container = isContainer;
    kept.classes = classes;
    kept.order = order;
    for (const ui::View* v : entered) kept.watched.emplace_back(KeptView(*v), v->childrenGeneration());
    for (const ui::View* v = root.superviewPointer(); v; v = v->superviewPointer()) kept.above.emplace_back(*v);
    kept.members = members;
    auto& all = keptGroups();
    if (all.size() >= kKeptGroups) all.erase(all.begin());
    all.push_back(std::move(kept));
    return members;
}

} // namespace

GroupList cachedResponderGroup(const ui::View& input, const KBClassList& allowedClasses, KBAutoToolbarManageBehaviour order) {
    auto& all = keptGroups();
    // Siblings kept for this superview: their root's superviews are unchanged, and no view among
    // them was of an allowed container class, so this input (whose ancestors they are) has no
    // container either; no need to look for one.
    if (const ui::View* parent = input.superviewPointer()) {
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (!it->container && it->classes == allowedClasses && it->holdsFor(*parent, false, order)) {
                if (ignoreSwitchingByNextPrevious(input)) break;
                return it->members;
            }
    }
    std::shared_ptr<ui::View> root;
    bool isContainer = false;
    for (const auto& type : allowedClasses)
        if ((root = superviewOfClassType(input, type))) {
            isContainer = true;
            break;
        }
    if (!root) root = input.superview();
    if (!root) return std::make_shared<const std::vector<ui::View*>>();
    // A marked input counts only in its own group, so that group is not the one others get.
    bool keep = isContainer || !ignoreSwitchingByNextPrevious(input);
    if (keep) {
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (it->classes == allowedClasses && it->holdsFor(*root, isContainer, order)) return it->members;
        std::erase_if(all, [&](const KeptGroup& k) {
            if (!k.root || k.root->view.expired()) return true;
            return k.root->is(root.get()) && k.container == isContainer && k.classes == allowedClasses && (isContainer || k.order == order);
        });
    }
    return formGroup(input, *root, isContainer, allowedClasses, order, keep);
}

void clearResponderGroupCacheForTesting() { keptGroups().clear(); }
std::uint64_t responderGroupsFormedForTesting() { return groupsFormed; }

Views responderGroup(const ui::View& input, const KBClassList& allowedClasses, KBAutoToolbarManageBehaviour order) {
    auto members = cachedResponderGroup(input, allowedClasses, order);
    Views group;
    group.reserve(members->size());
    for (ui::View* v : *members) group.push_back(std::static_pointer_cast<ui::View>(v->shared_from_this()));
    return group;
}

std::string logDescription(const core::Object& object) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(&object));
    return "<" + std::string(object.className()) + " " + address + ">";
}

} // namespace keyboard
