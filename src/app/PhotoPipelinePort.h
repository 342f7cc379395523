#pragma once
// What the photographer's keep action hands on to the photo module:
// post-processing and filing of the current photo, and its print with the
// print prompt.
//
// Main thread; both may block for file work and, for printing, a modal
// prompt.

namespace klik {

class PhotoPipelinePort {
  public:
    virtual ~PhotoPipelinePort() = default;

    // Crops, tags and files the current photo. False when there is none or
    // it could not be kept (logged).
    virtual bool postProcessNewPhoto() = 0;
    // Prints the current photo after the print prompt.
    virtual void printCurrentPictureWithPrompt() = 0;
};

}  // namespace klik
