#pragma once
// Fixture for the refresh controls: a phone window in a headless host on a virtual clock, a
// private HOME for the last-updated date, the built "Refresh" bundle as the program's resources,
// Simplified Chinese as the user's language, and a table below a 64-point bar (so no safe area
// reaches it) with `rows` rows of 50 points.

#include "platform/core/ProcessInfo.h"
#include "platform/core/testing/TempHome.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "refresh/RefreshBundle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace refresh::testing {

class Rows : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    long rows = 0;
    long sections = 1;
    long numberOfSectionsInTableView(ui::TableView&) override { return sections; }
    long numberOfRowsInSection(ui::TableView&, long) override { return rows; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& p) override {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell) cell = core::make<ui::TableViewCell>(ui::TableViewCellStyle::default_, "row");
        cell->textLabel()->setText("第 " + std::to_string(p.row + 1) + " 行");
        return cell;
    }
    std::optional<double> heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return 50; }
};

class RefreshTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        core::Bundle::setResourcePathForTesting(std::string(QUILLORA_TEST_RESOURCES));
        core::ProcessInfo::setPreferredLanguagesForTesting(std::vector<std::string>{"zh-Hans-CN"});
        RefreshBundle::resetForTesting();
        ui::Screen::main().setProfile(ui::DeviceProfile::phone());
        window = core::make<ui::Window>();
        window->setBackgroundColor(gfx::Color::whiteColor());
        host = std::make_unique<ui::HeadlessHost>(window);
        window->makeKeyAndVisible();
        data = std::make_shared<Rows>();
        table = core::make<ui::TableView>(gfx::Rect{0, 64, 375, 600});
        table->setDataSource(data);
        table->setDelegate(data);
        window->addSubview(table);
    }
    void TearDown() override {
        host.reset();
        core::ProcessInfo::setPreferredLanguagesForTesting(std::nullopt);
        core::Bundle::setResourcePathForTesting(std::nullopt);
        RefreshBundle::resetForTesting();
    }
    void reload(long rows) {
        data->rows = rows;
        table->reloadData();
        window->layoutIfNeeded();
    }
    // Moves the finger in steps of at most 20 points, then holds it still for a frame so that
    // it lifts without speed.
    void dragTo(gfx::Point from, gfx::Point to, bool lift = true) {
        host->touchDown(from);
        int steps = std::max(1, int(std::ceil(std::fabs(to.y - from.y) / 20)));
        for (int i = 1; i <= steps; ++i) {
            host->advance(1.0 / 60);
            host->touchMove(from + (to - from) * (double(i) / steps));
        }
        host->advance(1.0 / 60);
        host->touchMove(to);
        if (lift) host->touchUp(to);
    }
    // Lets springs, gliding and animations run out.
    void settle(double seconds = 1.5) {
        for (double t = 0; t < seconds; t += 1.0 / 60) host->advance(1.0 / 60);
    }

    core::testkit::TempHome home;
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::HeadlessHost> host;
    std::shared_ptr<Rows> data;
    std::shared_ptr<ui::TableView> table;
};

} // namespace refresh::testing
