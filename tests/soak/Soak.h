#pragma once
// A soak of the kiosk: scripted guests through the real controller, camera
// class (over the simulated camera) and photo module on a virtual clock,
// with faults from a seeded plan, accounted for from outside (PhotoAudit)
// while memory, descriptors and threads are sampled.
//
// Mount faults need root and a private mount namespace: call
// test::usePrivateMountNamespace() before any thread starts. Without them
// those fault kinds are left out, with the reason in the report.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "soak/FaultPlan.h"
#include "soak/PhotoAudit.h"
#include "soak/ProcessSampler.h"

namespace klik::soak {

struct SoakOptions {
    std::uint64_t sessions = 300;
    std::uint64_t seed = 1;
    int pictureWidth = 320;
    int pictureHeight = 240;
    double faultRate = 0.3;
    // Samples every this many sessions (the first tenth, at most 100, is
    // warm-up and left out of the slopes).
    std::uint64_t sampleEvery = 25;
    // Where the kiosk's folders go ("" = a temporary folder, removed).
    std::string workDir;
    // Progress lines on standard error every this many sessions (0: none).
    std::uint64_t progressEvery = 0;
    // Each guest, fault and picture on standard error.
    bool trace = false;
    // Stops after this much wall time (0: no limit); the report says how
    // many sessions were played.
    double wallLimitSeconds = 0;
};

struct SoakResult {
    SoakOptions options;
    std::uint64_t sessions = 0;
    bool stoppedEarly = false;      // at the wall-time limit
    std::uint64_t photosShown = 0;  // guests whose review showed their photo
    std::uint64_t apologies = 0;    // guests told their photo did not come
    std::uint64_t turnedAway = 0;   // guests refused at the first screen
    std::array<std::uint64_t, kFaultKinds> faults{};
    std::array<std::string, kFaultKinds> skipped;  // reason a kind was left out
    AuditTotals photos;
    std::vector<std::string> problems;  // accounting and kiosk problems
    std::vector<ProcessSample> samples;
    Slopes slopes;
    Slopes laterSlopes;  // over the later half of the samples
    double wallSeconds = 0;
    double virtualHours = 0;
    std::map<std::string, std::uint64_t> alerts;  // operator alerts by title
    std::uint64_t operatorNotices = 0;

    bool clean() const { return photos.lost == 0 && problems.empty(); }
    // The report as text (key: value lines).
    std::string report() const;
};

SoakResult runSoak(const SoakOptions& options);

}  // namespace klik::soak
