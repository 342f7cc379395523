// Printing that tells the truth, against a print spooler of the test's own:
// a paused, refusing or missing queue gets no job and the operator is told
// on the HUD and in the log; a queue that stops on a job is reported at the
// next print; the preferences' printer tab shows the state and resumes the
// queue with one button; a ready queue prints and says nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "PrivateCupsd.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/Settings.h"
#include "imaging/Bitmap.h"
#include "log/Log.h"
#include "photo/PrinterSetup.h"
#include "support/TempDir.h"
#include "ui/prefs/PreferencesWindow.h"
#include "ui/prefs/PrinterStatusPanel.h"
#include "ui/print/CupsQueue.h"
#include "ui/print/QtPrintPort.h"
#include "ui/windows/QtKioskUi.h"

namespace klik {
namespace {

class PrintQueueStateTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!cupsd.running()) GTEST_SKIP() << "no private print spooler: " << cupsd.whyNot();
        setFixedRoot(dir.path());
        std::filesystem::create_directories(dir.file("tmp"));
        GLIMRA_Log::resetForTesting();
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(dir.file("print.log"));
        RunLoop::setMain(&loop);
        // What the operator is shown: the kiosk's HUD (no controller here,
        // so the panel shows each text as it comes).
        port.setNoticeSink([this](const std::string& text) {
            notices.push_back(text);
            ui.floatingAlertWithString(QString::fromStdString(text));
        });
        setup.printerName = cupsd.queue();
        setup.paperName = "A4";
    }
    void TearDown() override {
        RunLoop::setMain(nullptr);
        GLIMRA_Log::resetForTesting();
        setFixedRoot("");
    }
    bool logged(const std::string& s) const {
        return test::readFile(dir.file("print.log")).find(s) != std::string::npos;
    }
    bool print() { return port.print(Bitmap::rgba(60, 40, 200, 30, 30), setup, false).ok; }
    std::string hudText() { return ui.floatingPanel().text().toStdString(); }
    // Waits, within a bound, for the spooler to report `want`.
    bool waitForQueue(CupsQueueState::State want) {
        return waitForQueue([want](const CupsQueueState& q) { return q.state == want; });
    }
    // Waits, within a bound, until what the spooler reports satisfies `done`.
    bool waitForQueue(const std::function<bool(const CupsQueueState&)>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done(readCupsQueue(cupsd.queue()))) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    test::PrivateCupsd cupsd;
    test::TempDir dir;
    ManualRunLoop loop;
    Settings settings{dir.file("settings.plist")};
    QtKioskUi ui{loop, settings};
    QtPrintPort port;
    PrinterSetup setup;
    std::vector<std::string> notices;
};

TEST_F(PrintQueueStateTest, AReadyQueuePrintsAndTellsNothingAMissingOneNeverPrints) {
    const CupsQueueState q = readCupsQueue(cupsd.queue());
    EXPECT_TRUE(q.reachable);
    EXPECT_TRUE(q.found);
    EXPECT_TRUE(q.accepting);
    EXPECT_TRUE(q.canPrint());
    EXPECT_EQ(q.problem(), "");
    EXPECT_EQ(defaultCupsQueue(), cupsd.queue());

    ASSERT_TRUE(print());
    EXPECT_TRUE(notices.empty()) << notices.front();
    ASSERT_TRUE(cupsd.waitForJobFiles(1)) << cupsd.errorLog();
    EXPECT_EQ(test::readFile(cupsd.jobFiles().front()).rfind("%PDF", 0), 0u);
    const int id = lastCupsJobId(cupsd.queue());
    EXPECT_GE(id, 1);
    // The job's own state is read from the spooler too.
    const auto job = readCupsJob(cupsd.queue(), id);
    ASSERT_TRUE(job.has_value());
    EXPECT_FALSE(job->failed());

    // A missing queue is never a print.
    setup.printerName = "NoSuchQueue";
    EXPECT_FALSE(print());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("\"NoSuchQueue\" does not exist"), std::string::npos) << notices[0];
    const CupsQueueState missing = readCupsQueue("NoSuchQueue");
    EXPECT_TRUE(missing.reachable);
    EXPECT_FALSE(missing.found);
    EXPECT_FALSE(missing.canPrint());
}

TEST_F(PrintQueueStateTest, APausedOrRefusingQueueGetsNoJobAndTheOperatorIsToldWhy) {
    ASSERT_EQ(cupsd.run({"cupsdisable", "-r", "Out of paper", cupsd.queue()}), 0);
    const CupsQueueState q = readCupsQueue(cupsd.queue());
    EXPECT_EQ(q.state, CupsQueueState::State::Stopped);
    EXPECT_TRUE(q.accepting);
    EXPECT_FALSE(q.canPrint());

    EXPECT_FALSE(print());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("\"" + cupsd.queue() + "\" is paused"), std::string::npos)
        << notices[0];
    EXPECT_NE(notices[0].find("Out of paper"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("Nothing was printed"), std::string::npos) << notices[0];
    EXPECT_EQ(hudText(), notices[0]);
    EXPECT_TRUE(logged("is paused"));
    EXPECT_EQ(lastCupsJobId(cupsd.queue()), 0) << "no job may wait in a paused queue";
    EXPECT_TRUE(cupsd.jobFiles().empty());

    // A refusing queue gets no job either; paused and refusing at once says both.
    ASSERT_EQ(cupsd.run({"cupsenable", cupsd.queue()}), 0);
    ASSERT_EQ(cupsd.run({"cupsreject", "-r", "Maintenance", cupsd.queue()}), 0);
    EXPECT_FALSE(print());
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_NE(notices[1].find("refuses jobs"), std::string::npos) << notices[1];
    EXPECT_EQ(notices[1].find("paused"), std::string::npos) << notices[1];
    EXPECT_NE(notices[1].find("Maintenance"), std::string::npos) << notices[1];
    EXPECT_EQ(hudText(), notices[1]);
    EXPECT_EQ(lastCupsJobId(cupsd.queue()), 0);
    ASSERT_EQ(cupsd.run({"cupsdisable", cupsd.queue()}), 0);
    EXPECT_FALSE(print());
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_NE(notices[2].find("is paused and refuses jobs"), std::string::npos) << notices[2];
}

TEST_F(PrintQueueStateTest, AQueueThatStopsOnAJobIsReportedAtTheNextPrint) {
    // The printer goes away: its backend stops the queue on the job.
    std::filesystem::remove_all(cupsd.outputFolder());
    print();  // taken or already stopped: either way not a finished print yet
    ASSERT_TRUE(waitForQueue(CupsQueueState::State::Stopped)) << cupsd.errorLog();
    notices.clear();
    EXPECT_FALSE(print());
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices.back().find("is paused"), std::string::npos) << notices.back();
}

TEST_F(PrintQueueStateTest, ThePrinterTabShowsTheStateResumesWithOneActionAndNamesPdfFiles) {
    ASSERT_EQ(cupsd.run({"cupsreject", cupsd.queue()}), 0);
    ASSERT_EQ(cupsd.run({"cupsdisable", "-r", "Paper jam", cupsd.queue()}), 0);
    settings.setObject("persistent printer settings", Value(setup.archive()));
    PreferencesWindow prefs(settings);
    prefs.show();  // showing reads the printer again
    PrinterStatusPanel* panel = prefs.printerStatus();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->queue(), cupsd.queue());
    EXPECT_TRUE(panel->statusText().contains("is paused and refuses jobs"))
        << panel->statusText().toStdString();
    EXPECT_TRUE(panel->statusText().contains("Paper jam"));
    ASSERT_TRUE(panel->resumeButton()->isEnabled());

    panel->resumeButton()->click();
    const CupsQueueState q = readCupsQueue(cupsd.queue());
    EXPECT_TRUE(q.canPrint()) << q.problem();
    EXPECT_TRUE(panel->statusText().startsWith("Ready")) << panel->statusText().toStdString();
    EXPECT_FALSE(panel->resumeButton()->isEnabled());

    EXPECT_TRUE(print());
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(cupsd.waitForJobFiles(1)) << cupsd.errorLog();
    prefs.close();

    // For PDF prints the tab names the file, and there is no queue to resume.
    PrinterSetup pdf;
    pdf.outputFileName = dir.file("prints/print.pdf");
    settings.setObject("persistent printer settings", Value(pdf.archive()));
    panel->refresh();
    EXPECT_EQ(panel->queue(), "");
    EXPECT_TRUE(panel->statusText().contains("print.pdf"));
    EXPECT_FALSE(panel->resumeButton()->isEnabled());
}

TEST_F(PrintQueueStateTest, ThePrintersPaperAndRibbonAreToldOnTheHudAndInThePrinterTab) {
    cupsd.reportSupplies({"ATTR: marker-names=Ribbon", "ATTR: marker-types=ribbon-wax",
                          "ATTR: marker-levels=5", "ATTR: marker-low-levels=10",
                          "STATE: +media-empty-error"});
    ASSERT_TRUE(print());
    ASSERT_TRUE(cupsd.waitForJobFiles(1)) << cupsd.errorLog();
    ASSERT_TRUE(waitForQueue([](const CupsQueueState& q) { return !q.supplies.empty(); }))
        << cupsd.errorLog();
    CupsQueueState q = readCupsQueue(cupsd.queue());
    ASSERT_EQ(q.supplies.size(), 1u);
    EXPECT_EQ(q.supplies[0].name, "Ribbon");
    EXPECT_EQ(q.supplies[0].type, "ribbon-wax");
    EXPECT_EQ(q.supplies[0].level, 5);
    EXPECT_TRUE(q.supplies[0].low());
    EXPECT_EQ(q.suppliesProblem(), "Printer \"" + cupsd.queue() +
                                       "\": the printer is out of paper; Ribbon is low (5 %).");

    // The next print tells the operator on the HUD, once while it holds.
    notices.clear();
    EXPECT_TRUE(print()) << "paper out does not stop the queue: the job waits in the printer";
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], q.suppliesProblem());
    EXPECT_EQ(hudText(), notices[0]);
    EXPECT_TRUE(print());
    EXPECT_EQ(notices.size(), 1u);

    settings.setObject("persistent printer settings", Value(setup.archive()));
    PrinterStatusPanel panel(settings);
    panel.refresh();
    EXPECT_TRUE(panel.statusText().contains("Supplies: Ribbon 5 %."))
        << panel.statusText().toStdString();
    EXPECT_TRUE(panel.statusText().contains("out of paper")) << panel.statusText().toStdString();

    // Each state a printer reports of its paper and ink reads as the operator's words.
    const std::pair<const char*, const char*> states[] = {
        {"media-needed-error", "out of paper"},
        {"marker-supply-low-warning", "ink, toner or ribbon is running low"},
        {"toner-empty-error", "ink, toner or ribbon is used up"}};
    std::string previous = "media-empty-error";
    for (const auto& state : states) {
        const std::string reason = state.first;
        const char* words = state.second;
        cupsd.reportSupplies(
            {"ATTR: marker-levels=80", "STATE: -" + previous, std::string("STATE: +") + reason});
        ASSERT_TRUE(print());
        ASSERT_TRUE(waitForQueue([&](const CupsQueueState& s) {
            return std::find(s.reasons.begin(), s.reasons.end(), reason) != s.reasons.end() &&
                   std::find(s.reasons.begin(), s.reasons.end(), previous) == s.reasons.end();
        })) << reason
            << "\n"
            << cupsd.errorLog();
        q = readCupsQueue(cupsd.queue());
        EXPECT_NE(q.suppliesProblem().find(words), std::string::npos)
            << reason << ": " << q.suppliesProblem();
        EXPECT_EQ(q.suppliesProblem().find("Ribbon"), std::string::npos) << "80 % is not low";
        previous = reason;
    }
    // All mended: nothing is wanting.
    cupsd.reportSupplies({"STATE: -" + previous});
    ASSERT_TRUE(print());
    ASSERT_TRUE(waitForQueue([](const CupsQueueState& s) { return s.suppliesProblem().empty(); }))
        << readCupsQueue(cupsd.queue()).suppliesProblem();
}

}  // namespace
}  // namespace klik
