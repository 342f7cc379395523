#include "foundation/NotificationCenter.h"

#include <atomic>

#include "foundation/Diagnostics.h"
#include "foundation/RunLoop.h"

namespace klik {

const Value& Notification::info(const std::string& key) const {
    static const Value none;
    if (!userInfo) return none;
    const Value* v = find(*userInfo, key);
    return v ? *v : none;
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const std::string& name, Observer fn,
                                                               const void* sender) {
    std::lock_guard lock(mutex_);
    ObserverId id = nextId_++;
    entries_.push_back(Entry{id, name, sender, std::make_shared<Observer>(std::move(fn)),
                             std::make_shared<std::atomic<bool>>(true)});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->id == id) {
            it->alive->store(false);
            entries_.erase(it);
            return;
        }
    }
}

void NotificationCenter::post(const Notification& n) {
    std::vector<Entry> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (!e.name.empty() && e.name != n.name) continue;
            if (e.sender && e.sender != n.sender()) continue;
            matching.push_back(e);
        }
    }
    // Delivered outside the lock so observers may post, add and remove.
    for (const auto& e : matching)
        if (e.alive->load()) (*e.fn)(n);
}

void NotificationCenter::postOnMainThread(Notification n, bool wait, RunLoop* loop) {
    if (!loop) loop = RunLoop::main();
    if (!loop) {
        diagnostic("NotificationCenter: no main run loop; delivering " + n.name + " here");
        post(n);
        return;
    }
    loop->performOnMain([this, n = std::move(n)] { post(n); }, wait);
}

size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace klik
