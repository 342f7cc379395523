// The short soak: a few hundred guests with small photos on a virtual
// clock, faults of every kind from a fixed seed, every photo accounted for
// from the disks.

#include <gtest/gtest.h>

#include "soak/Soak.h"
#include "support/TestMounts.h"

namespace klik::soak {
namespace {

// The mounts of the faults live in a namespace of this process's own,
// made before any thread starts.
const std::string gMountNamespace = test::usePrivateMountNamespace();

TEST(ShortSoak, EveryDeliveredPhotoIsFiledWithItsUploadCopyOrInScratch) {
    SoakOptions o;
    o.sessions = 240;
    o.seed = 18;
    o.faultRate = 0.35;
    o.sampleEvery = 10;
    const SoakResult r = runSoak(o);
    SCOPED_TRACE(r.report());
    EXPECT_EQ(r.sessions, o.sessions);
    EXPECT_EQ(r.photos.lost, 0u);
    EXPECT_TRUE(r.problems.empty());
    // Once every fault is mended, the photos left waiting (scratch full,
    // share away) are filed with the next guests' photos.
    EXPECT_EQ(r.photos.inScratch, 0u);
    EXPECT_EQ(r.photos.filedNoUpload, 0u);
    // The faults really happened, and guests were served between them.
    for (std::size_t i = 0; i < kFaultKinds; ++i) {
        if (r.skipped[i].empty()) {
            EXPECT_GT(r.faults[i], 0u) << faultName(static_cast<FaultKind>(i));
        }
    }
    EXPECT_GT(r.photos.delivered, o.sessions / 2);
    EXPECT_GT(r.photos.filed, o.sessions / 2);
    EXPECT_GT(r.apologies, 0u);
    // No descriptor is left open per guest: the count at the end is the
    // count after the warm-up, give or take the camera's passing threads.
    ASSERT_GE(r.samples.size(), 2u);
    EXPECT_LE(r.samples.back().openFds, r.samples.front().openFds + 4);
}

}  // namespace
}  // namespace klik::soak
