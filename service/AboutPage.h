#pragma once
// The about page the app's side menu opens in its web view: a small HTML document whose <title> the
// app shows as the page title, with the four hidden share fields the app reads through jQuery
// ("#share_title", "#share_content", "#share_link", "#share_image") and a few words about the app.

#include <string>
#include <string_view>

namespace service {

class AboutPage {
public:
    AboutPage() = delete;

    static constexpr const char* kTitle = "关于 Quillora";

    // `origin` is the scheme, host and port the page was asked for ("http://127.0.0.1:18931"); the
    // share link and image are absolute addresses under it. Page paths are absolute paths.
    static std::string html(std::string_view origin, std::string_view pagePath, std::string_view jqueryPath,
                            std::string_view iconPath);
    // The app's mark, an SVG image, shown on the page and offered as the share image.
    static std::string_view iconSvg();
};

} // namespace service
