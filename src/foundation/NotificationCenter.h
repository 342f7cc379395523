#pragma once
// In-process notifications by name, optionally filtered by the posting
// object. Observers run on the thread that posts; postOnMainThread moves the
// delivery to the main run loop, waiting for it or not.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

class RunLoop;

struct Notification {
    std::string name;
    Value object;  // the sender (an opaque object), or None
    std::optional<Dictionary> userInfo;

    // The sender's identity for observer filtering, or nullptr.
    const void* sender() const { return object.object() ? object.object()->ptr : nullptr; }
    // A user-info entry, or None when absent.
    const Value& info(const std::string& key) const;
};

class NotificationCenter {
  public:
    using Observer = std::function<void(const Notification&)>;
    using ObserverId = std::uint64_t;

    // The process-wide centre.
    static NotificationCenter& defaultCenter();

    // Registers `fn` for notifications named `name` (every name when empty)
    // and, when `sender` is not null, only those whose object is `sender`.
    // Thread-safe. Returns an id for removeObserver.
    ObserverId addObserver(const std::string& name, Observer fn, const void* sender = nullptr);
    // Stops delivery to the observer; once this returns on the posting
    // thread, it is not called again. Thread-safe.
    void removeObserver(ObserverId id);

    // Delivers now, on this thread, to every matching observer in the order
    // they were added. Observers may add or remove observers while running.
    void post(const Notification& n);
    void post(const std::string& name, Value object = {},
              std::optional<Dictionary> userInfo = std::nullopt) {
        post(Notification{name, std::move(object), std::move(userInfo)});
    }
    // Delivers on `loop`'s thread (the main run loop when null); wait=true
    // returns after delivery.
    void postOnMainThread(Notification n, bool wait, RunLoop* loop = nullptr);

    size_t observerCount() const;

  private:
    struct Entry {
        ObserverId id;
        std::string name;
        const void* sender;
        std::shared_ptr<Observer> fn;
        std::shared_ptr<std::atomic<bool>> alive;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    ObserverId nextId_ = 1;
};

}  // namespace klik
