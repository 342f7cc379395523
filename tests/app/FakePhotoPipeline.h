#pragma once
// A photo module for tests: keeps the photo dictionary, "decodes" anything
// that starts like a JPEG into a 4 x 3 picture, and counts keeps and prints
// with the thread each ran on.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "app/PhotoPipelinePort.h"

namespace klik::test {

class FakePhotoPipeline : public PhotoPipelinePort {
  public:
    void setImageDict(Dictionary d) override {
        std::lock_guard l(mutex);
        dict = std::move(d);
    }
    Dictionary imageDict() const override {
        std::lock_guard l(mutex);
        return dict;
    }
    std::optional<DisplayPhoto> decodeForDisplay(const Data& photo, const std::string& name,
                                                 std::string* error) override {
        ++decodes;
        if (photo.size() < 2 || photo[0] != 0xFF || photo[1] != 0xD8) {
            if (error) *error = "not a JPEG";
            return std::nullopt;
        }
        return DisplayPhoto{Picture::fromRGBA(name, Data(std::size_t{4} * 3 * 4, 0x80), 4, 3), 6000,
                            4000};
    }
    bool postProcessNewPhoto() override {
        if (duringKeep) duringKeep();
        std::lock_guard l(mutex);
        ++kept;
        lastFiled = keepResult ? FiledPhoto{"/filed/photo-" + std::to_string(kept) + ".jpg",
                                            "/up/photo-" + std::to_string(kept) + ".jpg"}
                               : FiledPhoto{};
        keptOn = std::this_thread::get_id();
        return keepResult;
    }
    std::string shareLinkOfLastPhoto() const override {
        std::lock_guard l(mutex);
        return keepResult ? link : std::string();
    }
    FiledPhoto lastFiledPhoto() const override {
        std::lock_guard l(mutex);
        return lastFiled;
    }
    std::optional<TurnComposite> composeTurnShots(const std::vector<std::string>& paths,
                                                  std::string* error) override {
        composed.push_back(paths);
        if (!composeSucceeds) {
            if (error) *error = "the print frame has no transparent window";
            return std::nullopt;
        }
        TurnComposite c;
        c.shown.picture = Picture::fromRGBA("composite", Data(std::size_t{4} * 3 * 4, 0x40), 4, 3);
        c.filed = FiledPhoto{"/filed/composite.jpg", "/up/composite.jpg"};
        c.link = "http://127.0.0.1/composite";
        return c;
    }
    bool validateAllFolders() override { return foldersValid; }
    std::vector<std::string> missingFolders() const override {
        return foldersValid ? std::vector<std::string>{} : missing;
    }
    void initFolderGlobalsAtLaunch() override { ++folderSetups; }
    void printCurrentPictureWithPrompt() override {
        std::lock_guard l(mutex);
        ++printed;
        printedOn = std::this_thread::get_id();
    }

    mutable std::mutex mutex;
    Dictionary dict;
    std::atomic<int> decodes{0};
    int kept = 0;
    bool keepResult = true;  // false: the photo stayed in scratch (or was lost)
    std::string link;        // the gallery link of a kept photo ("" none)
    // Runs on the filing thread before a keep ends (a slow disk, a busy
    // processor); set before the photo comes.
    std::function<void()> duringKeep;
    int printed = 0;
    FiledPhoto lastFiled;
    // The shots each composeTurnShots was given.
    std::vector<std::vector<std::string>> composed;
    bool composeSucceeds = true;
    std::vector<std::string> missing;
    bool foldersValid = true;
    int folderSetups = 0;
    std::thread::id keptOn, printedOn;
};

}  // namespace klik::test
