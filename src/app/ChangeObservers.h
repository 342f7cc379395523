#pragma once
// A list of change observers for a model object that several renderers
// watch at once (the kiosk window and the preferences' camera panel both
// draw the download progress). Observers may add or remove observers,
// themselves included, from inside a notification: each notification runs
// over the observers present when it started, minus those removed since.
//
// Single thread (the model's); not copyable.

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace klik {

template <typename... Args>
class ChangeObservers {
  public:
    using Id = std::uint64_t;
    using Observer = std::function<void(Args...)>;

    ChangeObservers() = default;
    ChangeObservers(const ChangeObservers&) = delete;
    ChangeObservers& operator=(const ChangeObservers&) = delete;

    // Adds `observer`; returns its id (never 0). An empty function is
    // refused and yields 0.
    Id add(Observer observer) {
        if (!observer) return 0;
        entries_.push_back({++lastId_, std::make_shared<Observer>(std::move(observer))});
        return lastId_;
    }
    // Removes the observer `id`; unknown ids (and 0) are ignored.
    void remove(Id id) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->id == id) {
                entries_.erase(it);
                return;
            }
    }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

    // Calls every observer in the order they were added.
    void notify(Args... args) const {
        if (entries_.empty()) return;
        const std::vector<Entry> snapshot = entries_;
        for (const Entry& e : snapshot)
            if (contains(e.id)) (*e.fn)(args...);
    }

  private:
    struct Entry {
        Id id;
        std::shared_ptr<Observer> fn;  // shared so a snapshot survives removal
    };
    bool contains(Id id) const {
        for (const Entry& e : entries_)
            if (e.id == id) return true;
        return false;
    }

    std::vector<Entry> entries_;
    Id lastId_ = 0;
};

}  // namespace klik
