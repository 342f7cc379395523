#pragma once
// Hears the kiosk's "KlikSlideShowNotification" on the session bus: a photo
// was just filed, and its upload copy follows at once. The announcement is a
// hint to look at the upload folder; the folder itself (scanned and
// watched) stays the record of what is to be delivered, so a missed
// announcement loses nothing.
//
// One thread uses an object (the caller's loop polls fd()).

#include <string>
#include <vector>

struct sd_bus;
struct sd_bus_slot;

namespace klik::share {

class AnnouncementListener {
  public:
    AnnouncementListener() = default;
    ~AnnouncementListener();
    AnnouncementListener(const AnnouncementListener&) = delete;
    AnnouncementListener& operator=(const AnnouncementListener&) = delete;

    // Connects to the session bus and subscribes. False with the reason
    // when there is no bus.
    bool start(std::string* error);
    bool listening() const { return bus_ != nullptr; }
    int fd() const;
    // Handles what waits on the connection; returns the "newitem" paths
    // announced since the last call. A broken connection is dropped
    // (listening() turns false; start() again later).
    std::vector<std::string> process();

  private:
    void stop();
    sd_bus* bus_ = nullptr;
    sd_bus_slot* slot_ = nullptr;
    std::vector<std::string> heard_;
};

}  // namespace klik::share
