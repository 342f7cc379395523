// The outbox's states and what survives a stop: jobs queued once per copy
// and target, taken in order, backed off, recovered after a crash, and put
// back by the operator.

#include "share/Outbox.h"

#include <gtest/gtest.h>

#include <random>

#include "share/Backoff.h"
#include "share/DeliveryHealth.h"
#include "support/TempDir.h"

namespace klik::share {
namespace {

struct OutboxTest : ::testing::Test {
    test::TempDir dir;
    std::unique_ptr<Outbox> box = open();
    std::unique_ptr<Outbox> open() {
        std::string error;
        auto b = Outbox::open(dir.file("outbox.sqlite"), &error);
        EXPECT_TRUE(b) << error;
        return b;
    }
};

TEST_F(OutboxTest, QueuesEachJobOnceRemembersTheTargetsAndAnotherConnectionSeesIt) {
    EXPECT_TRUE(box->targetsConsidered("/up/a.jpg")->empty());
    ASSERT_TRUE(box->addJobs("/up/a.jpg", {"seen", kTargetEmail},
                             {{kTargetEmail, "x@example.com"}, {kTargetEmail, "y@example.com"}},
                             100));
    // The same copy found again by a scan queues nothing new.
    ASSERT_TRUE(box->addJobs("/up/a.jpg", {kTargetEmail}, {{kTargetEmail, "x@example.com"}}, 200));
    EXPECT_EQ(box->jobs().size(), 2u);
    const auto targets = *box->targetsConsidered("/up/a.jpg");
    EXPECT_EQ(targets.size(), 2u);
    auto reader = open();
    EXPECT_EQ(reader->jobs().size(), 2u);
    EXPECT_EQ(reader->oldestUndelivered(), 100);
}

TEST_F(OutboxTest, TakesDueJobsOldestFirstAndBacksOff) {
    ASSERT_TRUE(box->addJobs("/up/a.jpg", {}, {{kTargetEmail, "x@example.com"}}, 100));
    ASSERT_TRUE(box->addJobs("/up/b.jpg", {}, {{kTargetCloud, ""}}, 101));
    auto first = box->takeDueJob(150);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->path, "/up/a.jpg");
    EXPECT_EQ(first->state, JobState::InFlight);
    EXPECT_EQ(first->attempts, 1);
    ASSERT_TRUE(box->markRetry(first->id, 500, "451 try later", 150));
    auto second = box->takeDueJob(150);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->path, "/up/b.jpg");
    ASSERT_TRUE(box->markDone(second->id, 151));
    // The retried job waits for its time, unless back-off is ignored.
    EXPECT_FALSE(box->takeDueJob(200));
    EXPECT_EQ(*box->nextDueTime(), 500);
    auto again = box->takeDueJob(200, true);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->attempts, 2);
    EXPECT_EQ(again->lastError, "451 try later");
    ASSERT_TRUE(box->markFailed(again->id, "550 no such mailbox", 201));
    EXPECT_FALSE(box->nextDueTime());

    const auto summary = box->summary();
    for (const auto& s : summary) {
        if (s.target == kTargetEmail) {
            EXPECT_EQ(s.failed, 1);
            EXPECT_EQ(s.lastError, "550 no such mailbox");
        } else {
            EXPECT_EQ(s.done, 1);
        }
    }
    EXPECT_EQ(box->retryFailed(300, kTargetCloud), 0);
    EXPECT_EQ(box->retryFailed(300), 1);
    auto retried = box->takeDueJob(300);
    ASSERT_TRUE(retried);
    EXPECT_EQ(retried->attempts, 1);
}

TEST_F(OutboxTest, OnlyAnEndThatWentOutUnansweredMakesTheNextSendUncertain) {
    ASSERT_TRUE(box->addJobs("/up/a.jpg", {}, {{kTargetEmail, "x@example.com"}}, 100));
    auto j = box->takeDueJob(100);
    ASSERT_TRUE(j);
    // The server refused the whole message (451): it kept nothing.
    ASSERT_TRUE(box->markBodySent(j->id));
    ASSERT_TRUE(box->markRetry(j->id, 100, "451 try later", 100, false));
    EXPECT_EQ(box->job(j->id)->uncertainRestarts, 0);
    // The link died after the end went out: the server may hold it.
    j = box->takeDueJob(100);
    ASSERT_TRUE(j);
    ASSERT_TRUE(box->markBodySent(j->id));
    ASSERT_TRUE(box->markRetry(j->id, 100, "timeout", 100, true));
    EXPECT_EQ(box->job(j->id)->uncertainRestarts, 1);
    // Unanswered before the end went out: nothing could be taken.
    j = box->takeDueJob(100);
    ASSERT_TRUE(j);
    ASSERT_TRUE(box->markRetry(j->id, 100, "timeout", 100, true));
    EXPECT_EQ(box->job(j->id)->uncertainRestarts, 1);
}

TEST_F(OutboxTest, AJobInFlightAtAStopIsTriedAgainAndOneWhoseMessageWentOutIsMarkedUncertain) {
    ASSERT_TRUE(box->addJobs("/up/a.jpg", {}, {{kTargetEmail, "x@example.com"}}, 100));
    ASSERT_TRUE(box->addJobs("/up/b.jpg", {}, {{kTargetEmail, "x@example.com"}}, 100));
    auto a = box->takeDueJob(100);
    auto b = box->takeDueJob(100);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(box->markBodySent(b->id));
    // The process dies here; the next one opens the same file.
    box.reset();
    box = open();
    int uncertain = -1;
    EXPECT_EQ(box->recoverInFlight(200, &uncertain), 2);
    EXPECT_EQ(uncertain, 1);
    EXPECT_EQ(box->job(a->id)->state, JobState::Pending);
    EXPECT_EQ(box->job(b->id)->uncertainRestarts, 1);
    EXPECT_FALSE(box->job(b->id)->bodySent);
    EXPECT_EQ(box->recoverInFlight(200), 0);
    // A done job stays done whatever happens after.
    auto again = box->takeDueJob(200);
    ASSERT_TRUE(box->markDone(again->id, 201));
    box.reset();
    box = open();
    EXPECT_EQ(box->recoverInFlight(300), 0);
    EXPECT_EQ(box->job(again->id)->state, JobState::Done);
    // A stopped attempt goes back to pending at once.
    auto j = box->takeDueJob(300);
    ASSERT_TRUE(j);
    ASSERT_TRUE(box->returnToPending(j->id, 320));
    EXPECT_TRUE(box->takeDueJob(320));
}

TEST(Backoff, DoublesUpToTheCapWithJitterBetweenHalfAndWhole) {
    BackoffPolicy p;
    p.base = 30;
    p.cap = 3600;
    std::mt19937_64 r(1);
    for (int i = 0; i < 200; ++i) {
        const double d1 = p.delayAfter(1, r), d3 = p.delayAfter(3, r), d20 = p.delayAfter(20, r);
        EXPECT_GE(d1, 15);
        EXPECT_LE(d1, 30);
        EXPECT_GE(d3, 60);
        EXPECT_LE(d3, 120);
        EXPECT_GE(d20, 1800);
        EXPECT_LE(d20, 3600);
    }
}

TEST_F(OutboxTest, TheKioskIsToldOnceWhenDeliveriesFailForTenMinutesAndOnceWhenTheyFlowAgain) {
    DeliveryHealth health(dir.file("outbox.sqlite"));
    EXPECT_FALSE(health.check(1000));
    ASSERT_TRUE(box->addJobs("/up/a.jpg", {}, {{kTargetEmail, "x@example.com"}}, 1000));
    auto j = box->takeDueJob(1000);
    ASSERT_TRUE(box->markRetry(j->id, 1030, "Couldn't connect to server", 1000));
    EXPECT_FALSE(health.check(1500)) << "waiting, but not yet ten minutes";
    auto notice = health.check(1700);
    ASSERT_TRUE(notice);
    EXPECT_NE(notice->find("failing for 11 minutes"), std::string::npos) << *notice;
    EXPECT_NE(notice->find("Couldn't connect"), std::string::npos) << *notice;
    EXPECT_FALSE(health.check(1800)) << "told once";
    j = box->takeDueJob(1800);
    ASSERT_TRUE(box->markDone(j->id, 1801));
    notice = health.check(1860);
    ASSERT_TRUE(notice);
    EXPECT_NE(notice->find("flow again"), std::string::npos);
    EXPECT_FALSE(health.check(1900));
    EXPECT_FALSE(DeliveryHealth("/nonexistent/outbox.sqlite").check(1e9)) << "no outbox: silence";
}

}  // namespace
}  // namespace klik::share
