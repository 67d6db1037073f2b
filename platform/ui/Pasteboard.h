#pragma once
// The general pasteboard: one text that copy puts there and paste takes. Headless it lives in
// the process; the GTK host replaces the store with the desktop's clipboard. Main thread only.

#include <functional>
#include <optional>
#include <string>

namespace ui {

class Pasteboard {
public:
    static Pasteboard& general();

    std::optional<std::string> string() const;
    void setString(const std::string& text);

    // Where the text really lives; the hosts install one (nullptr restores the in-process store).
    struct Store {
        std::function<std::optional<std::string>()> read;
        std::function<void(const std::string&)> write;
    };
    void setStore(std::optional<Store> store) { store_ = std::move(store); }

private:
    Pasteboard() = default;
    std::optional<Store> store_;
    std::optional<std::string> local_;
};

} // namespace ui
