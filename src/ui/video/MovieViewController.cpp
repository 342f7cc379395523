#include "ui/video/MovieViewController.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEvent>
#include <QGuiApplication>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <QVideoWidget>
#include <QWidget>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "video/MediaInfo.h"

namespace klik {

namespace {

constexpr int kStartDelayMs = 500;

// Keeps the controller's view over the whole host.
class FollowHost : public QObject {
  public:
    FollowHost(QWidget* view, QObject* parent) : QObject(parent), view_(view) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Resize) view_->setGeometry(static_cast<QWidget*>(o)->rect());
        return false;
    }

  private:
    QWidget* view_;
};

// The controller's view takes touches only while the movie view shows: an
// empty view must not cover the touch window's buttons.
class PassTouchesWhileHidden : public QObject {
  public:
    PassTouchesWhileHidden(QWidget* container, QObject* parent)
        : QObject(parent), container_(container) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent)
            container_->setAttribute(Qt::WA_TransparentForMouseEvents,
                                     static_cast<QWidget*>(o)->isHidden());
        return false;
    }

  private:
    QWidget* container_;
};

}  // namespace

MovieViewController::MovieViewController(QWidget* host, Settings& settings,
                                         NotificationCenter& center)
    : host_(host), settings_(settings), center_(center) {
    view_ = new QWidget(host);
    view_->setGeometry(host->rect());
    view_->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    host->installEventFilter(new FollowHost(view_, this));
    _myQTMovieView = new QVideoWidget(view_);
    _myQTMovieView->setGeometry(view_->rect());
    view_->installEventFilter(new FollowHost(_myQTMovieView, this));
    _myQTMovieView->installEventFilter(new PassTouchesWhileHidden(view_, this));
    view_->show();
    player_ = new QMediaPlayer(this);
    player_->setVideoOutput(_myQTMovieView);
    // Without a sound card an audio output only fails; none is made.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        audio_ = new QAudioOutput(this);
        player_->setAudioOutput(audio_);
    } else {
        GLIMRA_Log::debug("no audio output device: the prompt movie plays without sound");
    }
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::EndOfMedia) handleQTMovieDidEndNotification();
    });
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& text) {
                GLIMRA_Log::debugf("the prompt movie %s cannot be played: %s",
                                   player_->source().toLocalFile().toUtf8().constData(),
                                   text.toUtf8().constData());
                _myQTMovieView->hide();
            });
}

MovieViewController::~MovieViewController() {
    for (auto id : observers_) center_.removeObserver(id);
    if (replayTimer_) replayTimer_->stop();
    player_->stop();
}

void MovieViewController::onMainThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void MovieViewController::awakeFromNib() {
    setQTMovieMode(true);
    // A QVideoWidget has no control bar of its own.
    observers_.push_back(
        center_.addObserver(kUpdateAnimationMovieNotification, [this](const Notification&) {
            onMainThread([this] { handleUpdateAnimationNotification(); });
        }));
    observers_.push_back(center_.addObserver(kStopMovieNotification, [this](const Notification&) {
        onMainThread([this] { handleStopMovieNotification(); });
    }));
    _myQTMovieView->hide();
}

void MovieViewController::showView() {
    view_->show();
    view_->raise();
}

void MovieViewController::handleUpdateAnimationNotification() {
    GLIMRA_Log::debug(
        "Inside MovieViewController => handleUpdateAnimationNotification:... "
        "updateAnimationMovieNotification");
    _myQTMovieView->show();
    view_->raise();
    GLIMRA_Log::debug("2011-01-14  Checking for Valid Movie .............................");
    const auto path = repairedMoviePath(settings_);
    if (!path) {
        _myQTMovieView->hide();
        GLIMRA_Log::debug(
            "Inside MovieViewController => handleUpdateAnimationNotification:... NO "
            "moviePath");
        return;
    }
    std::string error;
    const auto info = probeMedia(*path, &error);
    if (!info || !info->hasVideo) {
        GLIMRA_Log::debugf(
            "Inside MovieViewController => handleUpdateAnimationNotification:... "
            "movieWithFile returned error: %s",
            error.empty() ? "no picture" : error.c_str());
        _myQTMovieView->hide();
        return;
    }
    fMovieSize = {static_cast<float>(info->width), static_cast<float>(info->height)};
    player_->stop();
    player_->setSource(QUrl::fromLocalFile(QString::fromStdString(*path)));
    setupForQTMovieMode();
}

void MovieViewController::setupAutoReplay() {
    if (!replayTimer_) {
        replayTimer_ = std::make_unique<QTimer>();
        replayTimer_->setSingleShot(true);
        connect(replayTimer_.get(), &QTimer::timeout, this, [this] {
            // Its own flag: a playback error hid it, and then nothing plays
            // and nothing is shown.
            if (!_myQTMovieView->isHidden()) {
                player_->setPosition(0);
                player_->play();
                ++plays_;
            }
            showView();
        });
    }
    replayTimer_->start(kStartDelayMs);
}

void MovieViewController::setupForQTMovieMode() {
    setupAutoReplay();
    view_->setGeometry(host_->rect());
    _myQTMovieView->setGeometry(view_->rect());
    const bool keep = settings_.boolForKey(key::prefAnimationMoviePreserveAspectRatio);
    _myQTMovieView->setAspectRatioMode(keep ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    const QRect frame = host_->rect();
    const QScreen* screen = host_->screen() ? host_->screen() : QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect();
    const MovieSize fitted = constrainNSSize(
        fMovieSize, {static_cast<float>(frame.width()), static_cast<float>(frame.height())});
    GLIMRA_Log::debugf(
        "movie view frame = {%d, %d}, screen = {%d, %d}, movie = {%g, %g}, "
        "fitted = {%g, %g}",
        frame.width(), frame.height(), screenRect.width(), screenRect.height(), fMovieSize.width,
        fMovieSize.height, fitted.width, fitted.height);
}

void MovieViewController::handleStopMovieNotification() {
    GLIMRA_Log::debug("Inside MovieViewController => handleStopMovieNotification:...");
    _myQTMovieView->hide();
    if (replayTimer_) replayTimer_->stop();
    player_->stop();
}

void MovieViewController::handleQTMovieDidEndNotification() {
    // Only this view's player reaches here; the last frame stays.
    center_.post(kKlikQTMovieDidEndNotification, Value(std::string("MovieViewController")));
}

}  // namespace klik
