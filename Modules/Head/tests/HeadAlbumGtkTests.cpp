// The album on the desktop under Xvfb (started by the test): the view page's album choice opens
// the toolkit's file chooser as a window of its own; cancelling it leaves the view page, and
// answering it with a picture file opens the crop page with that picture.
#include "Modules/Head/MWTPersonalHeadController.h"
#include "platform/core/Files.h"
#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/testing/XvfbServer.h"
#include "ui/c.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>

namespace kit {
namespace {

struct HeadAlbumGtk : ::testing::Test {
    ui::testing::XvfbServer xvfb;
    core::testkit::TempHome home;
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::GtkHost> host;

    void SetUp() override {
        if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the chooser was not tried";
        unsetenv("GTK_USE_PORTAL");
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        auto made = ui::GtkHost::create(window, "Quillora");
        ASSERT_TRUE(made.ok()) << made.error().description;
        host = std::move(*made);
        window->makeKeyAndVisible();
        c::resetForTesting();
        core::Bundle::setResourcePathForTesting(QUILLORA_RESOURCES_DIR);
        host->show();
    }
    void TearDown() override {
        if (window) window->setRootViewController(nullptr);
        host.reset();
        core::Bundle::setResourcePathForTesting(std::nullopt);
        c::resetForTesting();
    }
    template <class Predicate>
    bool waitFor(Predicate done, double seconds = 30) {
        auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < end) host->iterate();
        return done();
    }
    // The chooser's window, once it shows.
    static GtkWidget* chooser() {
        GtkWidget* found = nullptr;
        GList* toplevels = gtk_window_list_toplevels();
        for (GList* l = toplevels; l; l = l->next) {
            GtkWidget* w = GTK_WIDGET(l->data);
            if (GTK_IS_FILE_CHOOSER(w) && gtk_widget_get_visible(w) &&
                std::string(gtk_window_get_title(GTK_WINDOW(w)) ? gtk_window_get_title(GTK_WINDOW(w)) : "") == "从手机相册选择")
                found = w;
        }
        g_list_free(toplevels);
        return found;
    }
};

TEST_F(HeadAlbumGtk, TheChooserIsAWindowOfItsOwnAndItsAnswerOpensTheCropPage) {
    const std::string picture = std::string(getenv("HOME")) + "/photo.png";
    gfx::Image photo(48, 32, 1, std::vector<uint32_t>(48 * 32, 0xFF2080C0u));
    ASSERT_TRUE(core::files::writeAtomically(picture, *photo.pngData()).ok());

    auto nav = core::make<ui::NavigationController>(core::make<MWRootController>());
    window->setRootViewController(nav);
    auto page = core::make<MWTPersonalHeadController>(0, nullptr);
    nav->pushViewController(page, false);
    ASSERT_TRUE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::photoLibrary));

    // Cancelled: back on the view page.
    page->showPhotoLibraryPermissionAlert();
    ASSERT_TRUE(waitFor([] { return chooser() != nullptr; })) << "the chooser shows as a toplevel";
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(chooser())));
    gtk_dialog_response(GTK_DIALOG(chooser()), GTK_RESPONSE_CANCEL);
    ASSERT_TRUE(waitFor([&] { return !page->presentedViewController(); }));
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    // Answered with a file: the crop page shows it.
    page->showPhotoLibraryPermissionAlert();
    ASSERT_TRUE(waitFor([] { return chooser() != nullptr; }));
    ASSERT_TRUE(gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(chooser()), picture.c_str()));
    // The chooser selects the file once it has read the folder.
    ASSERT_TRUE(waitFor([&] {
        gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser()));
        const bool ready = chosen && picture == chosen;
        g_free(chosen);
        return ready;
    }));
    gtk_dialog_response(GTK_DIALOG(chooser()), GTK_RESPONSE_ACCEPT);
    ASSERT_TRUE(waitFor([&] { return nav->viewControllers().size() == 3; }));
    auto crop = std::dynamic_pointer_cast<MWTPersonalHeadController>(nav->topViewController());
    ASSERT_TRUE(crop);
    ASSERT_TRUE(crop->edit()->imageView()->image());
    EXPECT_EQ(crop->edit()->imageView()->image()->pixelWidth(), 48);
    EXPECT_EQ(chooser(), nullptr);
}

} // namespace
} // namespace kit
