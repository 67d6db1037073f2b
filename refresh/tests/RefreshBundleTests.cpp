#include "platform/core/ProcessInfo.h"
#include "refresh/RefreshBundle.h"
#include "refresh/RefreshConst.h"
#include "refresh/RefreshLabel.h"
#include "RefreshTest.h"

#include <filesystem>
#include <fstream>

namespace refresh {
namespace {

using RefreshBundleTest = testing::RefreshTest;

TEST(RefreshBundleLanguage, TheFirstPreferredLanguageChoosesTheFolder) {
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {"en-GB", "en"}, {"en", "en"}, {"zh-Hans-CN", "zh-Hans"}, {"zh-Hans", "zh-Hans"},
        {"zh-HK", "zh-Hant"}, {"zh-Hant-TW", "zh-Hant"}, {"zh", "zh-Hant"}, {"fr-FR", "en"},
        {std::nullopt, "en"},
    };
    for (const auto& [tag, folder] : cases)
        EXPECT_EQ(RefreshBundle::languageForPreferredLanguage(tag), folder) << tag.value_or("(none)");
}

TEST_F(RefreshBundleTest, ALinuxChineseLocaleGivesSimplifiedTexts) {
    core::ProcessInfo::setPreferredLanguagesForTesting(std::nullopt);
    const char* old = std::getenv("LANGUAGE");
    std::string saved = old ? old : "";
    unsetenv("LANGUAGE");
    setenv("LC_ALL", "zh_CN.UTF-8", 1);
    RefreshBundle::resetForTesting();
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), "下拉刷新");
    // Chosen once: a later change of language does not reach the texts.
    setenv("LC_ALL", "zh_TW.UTF-8", 1);
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), "下拉刷新");
    RefreshBundle::resetForTesting();
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), "下拉重新整理");
    unsetenv("LC_ALL");
    if (old) setenv("LANGUAGE", saved.c_str(), 1);
}

TEST_F(RefreshBundleTest, TheAppsOwnStringsWinAndUnknownKeysStayKeys) {
    // A resource folder of the app's own with a Simplified Chinese text for one key.
    std::string folder = home.path() + "/resources";
    std::filesystem::create_directories(folder + "/zh-Hans.lproj");
    std::filesystem::copy(std::string(QUILLORA_TEST_RESOURCES) + "/Refresh.bundle", folder + "/Refresh.bundle",
                          std::filesystem::copy_options::recursive);
    std::ofstream(folder + "/zh-Hans.lproj/Localizable.strings") << "/* the app */\n\"RefreshHeaderIdleText\" = \"往下拉\";\n";
    core::Bundle::setResourcePathForTesting(folder);
    RefreshBundle::resetForTesting();
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), "往下拉");
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderPullingText), "松手即可刷新");
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey("NoSuchKey"), "NoSuchKey");
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey("NoSuchKey", "fallback"), "fallback");
}

TEST_F(RefreshBundleTest, AMissingBundleIsLookedForAgain) {
    core::Bundle::setResourcePathForTesting(home.path() + "/nowhere");
    RefreshBundle::resetForTesting();
    EXPECT_EQ(RefreshBundle::rf_arrowImage(), nullptr);
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), kRefreshHeaderIdleText);
    core::Bundle::setResourcePathForTesting(std::string(QUILLORA_TEST_RESOURCES));
    auto arrow = RefreshBundle::rf_arrowImage();
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(arrow->scale(), 2);
    EXPECT_EQ(arrow->size(), (gfx::Size{15, 40}));
    EXPECT_EQ(RefreshBundle::rf_localizedStringForKey(kRefreshHeaderIdleText), "下拉刷新");
}

TEST_F(RefreshBundleTest, LabelsMeasureOneLine) {
    auto label = RefreshLabel::rf_label();
    EXPECT_EQ(label->font(), kRefreshLabelFont);
    EXPECT_EQ(label->textColor(), kRefreshLabelTextColor);
    EXPECT_EQ(label->textAlignment(), ui::TextAlignment::center);
    EXPECT_EQ(RefreshLabel::rf_textWith(*label), 0);
    label->setFrame({0, 0, 40, 20});
    label->setText("下拉刷新");
    double one = RefreshLabel::rf_textWith(*label);
    EXPECT_GT(one, 40);  // however narrow the label
    label->setText("下拉刷新下拉刷新");
    EXPECT_NEAR(RefreshLabel::rf_textWith(*label), 2 * one, 0.5);
}

TEST(RefreshStrings, TablesReadCommentsAndEscapes) {
    auto table = ui::ResourceBundle::parseStrings(
        "\xEF\xBB\xBF/* block */ \"a\" = \"one\"; // line\n\"b\"=\"say \\\"hi\\\"\\n\";\n\"c\" = \"\\U4E0B\";\n\"d\" = broken;\n\"e\" = \"lost\";");
    EXPECT_EQ(table.size(), 3u);
    EXPECT_EQ(table["a"], "one");
    EXPECT_EQ(table["b"], "say \"hi\"\n");
    EXPECT_EQ(table["c"], "下");
}

} // namespace
} // namespace refresh
