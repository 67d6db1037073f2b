#pragma once
// What the keyboard manager reads from the view tree: class references for its class lists, the
// controllers around a view (along the responder chain), the nearest ancestor of a class, the text
// inputs that form one previous/next group, and the text that names a view in log lines. Every
// call reads the live tree, except that a formed group is kept and handed out again while nothing
// it was formed from has changed (see cachedResponderGroup). Main thread only.

#include "platform/core/Object.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/ViewController.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace keyboard {

// A class in a list of classes: its name and its "is kind of" test (subclasses count).
struct KBClass {
    std::string_view name;
    bool (*isKind)(const core::Object&) = nullptr;

    template <class T>
    static KBClass of() {
        return {T::kClassName, [](const core::Object& o) { return core::isKindOf<T>(o); }};
    }
    bool matches(const core::Object& object) const { return isKind && isKind(object); }
    bool operator==(const KBClass& other) const { return name == other.name && isKind == other.isKind; }
};
using KBClassList = std::vector<KBClass>;
bool isKindOfAny(const core::Object& object, const KBClassList& classes);

enum class KBAutoToolbarManageBehaviour : std::int64_t { subviewOrder = 0, tagOrder = 1, positionOrder = 2 };

using Views = std::vector<std::shared_ptr<ui::View>>;

// The first controller along the view's responder chain (the view itself is not tested).
std::shared_ptr<ui::ViewController> viewContainingController(const ui::View& view);
// The same without taking a reference to it, for a use that ends before the main thread goes on.
ui::ViewController* viewContainingControllerPointer(const ui::View& view);
// The containing controller, or the first controller above it that the window's presentation
// chain holds.
std::shared_ptr<ui::ViewController> topMostController(const ui::View& view);
// The page whose root view the manager moves: a navigation stack's top page, a tab's page, or the
// outermost controller below any container.
std::shared_ptr<ui::ViewController> parentContainerViewController(const ui::View& view);
ui::ViewController* parentContainerViewControllerPointer(const ui::View& view);
// The nearest ancestor that is a kind of `type`; a scroll view counts only when its superview is no
// table view or cell and its class name does not start with "_".
std::shared_ptr<ui::View> superviewOfClassType(const ui::View& view, const KBClass& type);
ui::View* superviewOfClassTypePointer(const ui::View& view, const KBClass& type);

bool isNavigableTextInput(const ui::View& view);
bool isInAlertController(const ui::View& view);
std::shared_ptr<ui::SearchBar> enclosingSearchBar(const ui::View& view);
// The pointer forms take no reference, for a use that ends before the main thread goes on.
ui::SearchBar* enclosingSearchBarPointer(const ui::View& view);
// The inputs beside the view in its superview (the view itself always counts when it can take part).
Views collectResponderSiblings(const ui::View& view);
// The inputs anywhere inside a container, in position order within it; only shown, interactive,
// visible subviews are entered.
Views collectResponderDescendants(const ui::View& container);
void sortViewsByTag(Views& views);
void sortViewsByPosition(Views& views);
// The group of an input: all inputs of the first ancestor of an allowed class, else its siblings
// in the given order.
Views responderGroup(const ui::View& input, const KBClassList& allowedClasses, KBAutoToolbarManageBehaviour order);
// The group responderGroup forms, as plain pointers, kept between calls. A later call whose input
// leads to the same container (or superview) and order gets the kept list while the tree it was
// read from is unchanged: the responder-chain links (View::responderLinksGeneration), the chain
// of superviews above the container, and the children generation of every view whose subviews
// were read (for a container: every view entered and the container's ancestors, whose geometry
// the positions pass through). Any change there forms the group anew. An input that is itself
// marked ignoreSwitchingByNextPrevious is always formed anew (it counts only in its own group).
// The pointers are for comparing and for picking a view at once; the list keeps nothing alive.
using GroupList = std::shared_ptr<const std::vector<ui::View*>>;
GroupList cachedResponderGroup(const ui::View& input, const KBClassList& allowedClasses, KBAutoToolbarManageBehaviour order);
// Forgets every kept group (tests).
void clearResponderGroupCacheForTesting();
// How many groups were formed by reading the tree since the process started (tests).
std::uint64_t responderGroupsFormedForTesting();

// "<description 0x...>".
std::string logDescription(const core::Object& object);

} // namespace keyboard
