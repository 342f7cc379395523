#pragma once
// Synthesises the shutter sound played at the moment of the shot: the two
// clicks of a mirror and a shutter, with a short body thump. Deterministic.

#include <QByteArray>

namespace klik {

class ShutterSound {
  public:
    static constexpr int kSampleRate = 44100;

    // 16-bit mono PCM samples. Any thread; the caller owns the result.
    static QByteArray samples();
    // The samples as a complete RIFF/WAVE file. Any thread.
    static QByteArray wav();
};

}  // namespace klik
