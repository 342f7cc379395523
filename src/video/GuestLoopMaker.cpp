#include "video/GuestLoopMaker.h"

#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"

namespace klik {

namespace {

// The path without its extension: the loop's files take the photo's name.
std::string withoutExtension(const std::string& path) {
    std::string base, ext;
    splitExtension(path, base, ext);
    return base;
}

}  // namespace

GuestLoopMaker::GuestLoopMaker(Done done, size_t maxFrames)
    : done_(std::move(done)), frames_(maxFrames), worker_([this] { run(); }) {}

GuestLoopMaker::~GuestLoopMaker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void GuestLoopMaker::keepFrame(const Data& jpeg) {
    if (!jpeg.empty()) frames_.add(std::make_shared<const Data>(jpeg));
}

void GuestLoopMaker::dropFrames() {
    frames_.clear();
}

void GuestLoopMaker::makeLoop(const FiledPhoto& beside, int size) {
    Job job{frames_.frames(), beside, size};
    frames_.clear();
    if (job.frames.empty()) {
        GLIMRA_Log::err("no loop beside " + beside.path +
                        ": no live-view frame came during the countdowns");
        return;
    }
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void GuestLoopMaker::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void GuestLoopMaker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // stopping, nothing left
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        const Outcome outcome = make(job);
        if (done_) done_(outcome);
        lock.lock();
        busy_ = false;
        if (jobs_.empty()) idle_.notify_all();
    }
}

GuestLoopMaker::Outcome GuestLoopMaker::make(const Job& job) const {
    Outcome out;
    out.beside = job.beside;
    LoopOptions options;
    options.size = job.size;
    out.filed = makeGuestLoop(job.frames, withoutExtension(job.beside.path), options);
    if (!out.filed.error.empty())
        GLIMRA_Log::err("the loop beside " + job.beside.path + ": " + out.filed.error);
    if (out.filed.mp4.empty() && out.filed.gif.empty()) return out;
    GLIMRA_Log::debugf("made the loop of %zu frames beside %s", job.frames.size(),
                       job.beside.path.c_str());
    if (job.beside.uploadPath.empty()) return out;
    // Beside the upload copy, whole or not at all (the uploader must never
    // pick up half a file).
    const std::string uploadBase = withoutExtension(job.beside.uploadPath);
    auto copy = [&](const std::string& from, const char* ext, std::string& to) {
        if (from.empty()) return;
        std::string why;
        const std::string target = uploadBase + ext;
        if (copyFileNoReplace(from, target, &why))
            to = target;
        else
            out.uploaded.error += (out.uploaded.error.empty() ? "" : "; ") + target + ": " + why;
    };
    copy(out.filed.mp4, ".mp4", out.uploaded.mp4);
    copy(out.filed.gif, ".gif", out.uploaded.gif);
    if (!out.uploaded.error.empty())
        GLIMRA_Log::err("the loop's upload copies: " + out.uploaded.error);
    return out;
}

}  // namespace klik
