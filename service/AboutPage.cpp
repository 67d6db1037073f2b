#include "service/AboutPage.h"

namespace service {

namespace {

// The origin comes from the request's Host header, so it is escaped before it goes into markup.
std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

std::string AboutPage::html(std::string_view origin, std::string_view pagePath, std::string_view jqueryPath,
                            std::string_view iconPath) {
    const std::string link = escapeHtml(std::string(origin) + std::string(pagePath));
    const std::string image = escapeHtml(std::string(origin) + std::string(iconPath));
    std::string page;
    page += R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)";
    page += kTitle;
    page += R"(</title>
<script src=")";
    page += escapeHtml(jqueryPath);
    page += R"("></script>
<style>
  body { margin: 0; padding: 32px 24px; background: #f5f5f5; color: #333333;
         font-family: "Noto Sans CJK SC", "Noto Sans SC", sans-serif; line-height: 1.7; }
  .mark { display: block; width: 72px; height: 72px; margin: 8px auto 16px; }
  h1 { font-size: 22px; text-align: center; margin: 0 0 24px; }
  p { font-size: 15px; margin: 0 0 14px; }
  .note { color: #999999; font-size: 13px; text-align: center; margin-top: 32px; }
</style>
</head>
<body>
<img class="mark" src=")";
    page += image;
    page += R"(" alt="Quillora">
<h1>Quillora 聊天话术</h1>
<p>Quillora 陪你把心意说出口。首页按场景整理了开场白、日常关心、约会邀请、晚安问候等话题，点开一个标签，就能看到对方可能说的话和一句得体的回复参考。</p>
<p>看到合适的回复，轻点复制即可发送；也可以在搜索框里输入关键词，找到更贴近当下的说法。</p>
<p>好的聊天靠真诚。这些回复只是参考，请根据你们的相处方式，用自己的话说出来。</p>
<p class="note">本页面及全部话术内容由示例服务提供，仅供演示。</p>
<input type="hidden" id="share_title" value="Quillora 聊天话术">
<input type="hidden" id="share_content" value="把心意说出口：场景化的聊天回复参考，一键复制。">
<input type="hidden" id="share_link" value=")";
    page += link;
    page += R"(">
<input type="hidden" id="share_image" value=")";
    page += image;
    page += R"(">
</body>
</html>
)";
    return page;
}

std::string_view AboutPage::iconSvg() {
    return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 72 72" width="72" height="72">
<rect width="72" height="72" rx="16" fill="#FFD84D"/>
<path d="M16 22h40a6 6 0 0 1 6 6v16a6 6 0 0 1-6 6H32l-10 8v-8h-6a6 6 0 0 1-6-6V28a6 6 0 0 1 6-6z" fill="#FFFFFF"/>
<path d="M36 45c-6-4-10-7.5-10-11.5a5 5 0 0 1 10-1.5a5 5 0 0 1 10 1.5C46 37.5 42 41 36 45z" fill="#FF5B78"/>
</svg>
)";
}

} // namespace service
