#pragma once
// The prompt movie over the touch window during a video session: loaded
// and started half a second after "updateAnimationMovieNotification",
// hidden and stopped on "stopMovieNotification"; "klikQTMovieDidEndNotification"
// when it ends (it is not replayed). Plays through Qt Multimedia; sound goes
// out only when the machine has an audio output.
//
// The controller's view lies over the whole host and holds the movie view;
// it draws nothing itself and lets touches through while the movie view is
// hidden. A movie that cannot be played hides the movie view for good: the
// pending start then shows the controller's view, which is empty.
//
// GUI thread; notifications posted on other threads are handed over to it.

#include <QObject>
#include <QTimer>
#include <memory>

#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "video/MovieViewSupport.h"

class QMediaPlayer;
class QAudioOutput;
class QVideoWidget;
class QWidget;

namespace klik {

inline constexpr const char* kKlikQTMovieDidEndNotification = "klikQTMovieDidEndNotification";

class MovieViewController : public QObject {
    Q_OBJECT
  public:
    // The movie view is laid over `host` (the touch window's content) and
    // follows its size. `settings` and `center` must outlive it.
    MovieViewController(QWidget* host, Settings& settings, NotificationCenter& center);
    ~MovieViewController() override;

    // Load: movie mode, no control bar, observers registered, view hidden.
    void awakeFromNib();
    void setQTMovieMode(bool on) { _doAsQTMovie = on; }
    void setupForQTMovieMode();
    void setupForImageMode() {}
    void showView();
    void setupAutoReplay();

    void handleUpdateAnimationNotification();
    void handleStopMovieNotification();
    void handleQTMovieDidEndNotification();

    // For tests and the log.
    QWidget* view() const { return view_; }
    QVideoWidget* movieView() const { return _myQTMovieView; }
    QMediaPlayer* player() const { return player_; }
    bool hasAudioOutput() const { return audio_ != nullptr; }
    MovieSize movieSize() const { return fMovieSize; }
    // Starts of playback so far (each after the 0.5 s delay).
    int playCount() const { return plays_; }
    // True from a start notification until its half-second delay is over.
    bool isStartPending() const { return replayTimer_ && replayTimer_->isActive(); }

  private:
    void onMainThread(std::function<void()> fn);

    QWidget* host_;
    QWidget* view_ = nullptr;  // the controller's view
    Settings& settings_;
    NotificationCenter& center_;
    QVideoWidget* _myQTMovieView = nullptr;
    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    bool _doAsQTMovie = false;
    MovieSize fMovieSize;
    std::unique_ptr<QTimer> replayTimer_;
    std::vector<NotificationCenter::ObserverId> observers_;
    int plays_ = 0;
};

}  // namespace klik
