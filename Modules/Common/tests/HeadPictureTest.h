#pragma once
// Fixture for pages that show the stored profile picture: the app kit's headless window, one
// private HOME for the whole test program (the documents folder is computed once per process),
// and a resource folder of the test's own with small pictures under the names the pages use, so
// that nothing depends on the real artwork. The icons are 1 x 1 pixels, the default head picture
// 3 x 3; stored pictures of other sizes tell themselves apart.
#include "Modules/Common/ImageViewGlobals.h"
#include "Modules/Common/QULeftController.h"
#include "network/Api.h"
#include "platform/core/Files.h"
#include "platform/core/testing/TempHome.h"
#include "ui/tests/KitTest.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override { home_ = std::make_unique<core::testkit::TempHome>(); }
    void TearDown() override { home_.reset(); }

private:
    std::unique_ptr<core::testkit::TempHome> home_;
};
inline const auto* const kPrivateHome = ::testing::AddGlobalTestEnvironment(new PrivateHome);

class HeadPictureTest : public KitTest {
protected:
    static constexpr const char* kIcons[] = {"common_home.png", "common_like.png", "common_aboutus.png"};

    void SetUp() override {
        KitTest::SetUp();
        const std::string resources = network::Api::documentsPath() + "/../test-resources";
        std::filesystem::create_directories(resources);
        for (const char* icon : kIcons) ASSERT_TRUE(core::files::writeAtomically(resources + "/" + icon, pngOf(1, 1)).ok());
        ASSERT_TRUE(core::files::writeAtomically(resources + "/" + kHeadDefaultImageName, pngOf(3, 3)).ok());
        core::Bundle::setResourcePathForTesting(resources);
        std::filesystem::remove_all(network::Api::documentsPath() + "/head");
    }

    // A plain picture of the given pixel size, as PNG bytes.
    static std::string pngOf(int width, int height) {
        gfx::Image image(width, height, 1, std::vector<uint32_t>(static_cast<size_t>(width * height), 0xff336699u));
        return *image.pngData();
    }
    // Stores bytes as the profile picture, as the picture page's save does.
    static void storeHead(const std::string& bytes) {
        std::filesystem::create_directories(network::Api::documentsPath() + "/head");
        ASSERT_TRUE(core::files::writeAtomically(QULeftController::headImagePath(), bytes).ok());
    }
    static gfx::ImagePtr defaultHead() { return gfx::Image::named(kHeadDefaultImageName); }
};

} // namespace kit
