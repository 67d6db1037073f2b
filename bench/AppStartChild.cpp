// The app as bench_app_start measures it: started as the app's own main starts it (launch, then
// the GTK host, then the window shown), with the server switch pointed at the sample service the
// benchmark runs (QUILLORA_BENCH_SWITCH_BASE). At the first frame that shows the home screen's tag
// groups it prints its report (see ProcessReport.h) and ends.

#include "app/AppDelegate.h"
#include "app/QUSwitchBaseController.h"
#include "app/SnapshotTour.h"
#include "bench/ProcessReport.h"
#include "network/NXServer.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/GtkHost.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

int main() {
    bench::timeline().mark("main");
    ui::GtkHost::skipGL(); // as the app's main does
    const char* base = std::getenv("QUILLORA_BENCH_SWITCH_BASE");
    if (!base) return 1;
    network::NXServer::setSwitchBaseUrlForTesting(std::string(base));
    dispatch::RunLoop::setMainThread();
    auto delegate = core::make<app::AppDelegate>();
    delegate->didFinishLaunchingWithOptions();
    bench::timeline().mark("launched");
    auto host = ui::GtkHost::create(delegate->window, "Quillora");
    if (!host) return 1;
    bench::timeline().mark("host");
    (*host)->show();
    bench::timeline().mark("shown");
    auto root = std::dynamic_pointer_cast<app::QUSwitchBaseController>(delegate->window->rootViewController());
    auto& loop = dispatch::RunLoop::main();
    if (!loop.runUntil([&] { return app::countViews(root->mainController()->view(), "QUMainItemSeg") > 0; }, 30)) return 1;
    bench::timeline().mark("groups");
    const int draws = (*host)->drawCount();
    if (!loop.runUntil([&] { return (*host)->drawCount() > draws; }, 10)) return 1;
    bench::reportFirstFrame();
    _exit(0); // the measurement is taken; skip tearing the app down
}

