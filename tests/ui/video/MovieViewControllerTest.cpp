// The prompt movie view over generated movies: nothing shown without a
// movie, a start while one plays replaces it and plays the new one from its
// start after half a second, the stop, the end notification, no audio
// output without a sound card.

#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPushButton>
#include <QTest>
#include <QVideoWidget>
#include <QWidget>
#include <filesystem>

#include "app/AppController.h"
#include "support/TempDir.h"
#include "ui/video/MovieViewController.h"
#include "video/SolidMovie.h"

namespace klik {
namespace {

class MovieViewControllerTest : public testing::Test {
  protected:
    void SetUp() override {
        host.resize(640, 480);
        host.show();
        std::string error;
        ASSERT_TRUE(writeSolidMovie(dir.file("RedWithPrompt.mov"),
                                    {0xffff0000, 1.5, 160, 120, 10, 0}, &error))
            << error;
        ASSERT_TRUE(writeSolidMovie(dir.file("GreenWithPrompt.mov"),
                                    {0xff00ff00, 3, 160, 120, 10, 0}, &error))
            << error;
        view.awakeFromNib();
    }

    test::TempDir dir;
    Settings settings{dir.file("s.plist")};
    NotificationCenter center;
    QWidget host;
    MovieViewController view{&host, settings, center};
};

TEST_F(MovieViewControllerTest, WithoutAMovieNothingShowsAndAStartWhilePlayingReplacesIt) {
    EXPECT_TRUE(view.movieView()->isHidden());
    center.post(kUpdateAnimationMovieNotification);
    EXPECT_TRUE(view.movieView()->isHidden());
    settings.setString("prefMoviePath", dir.file("missing.mov"));
    center.post(kUpdateAnimationMovieNotification);
    EXPECT_TRUE(view.movieView()->isHidden());
    // Sound only where there is somewhere to play it.
    EXPECT_EQ(view.hasAudioOutput(), !QMediaDevices::audioOutputs().isEmpty());

    settings.setString("prefMoviePath", dir.file("RedWithPrompt.mov"));
    settings.setBool("prefAnimationMoviePreserveAspectRatio", true);
    center.post(kUpdateAnimationMovieNotification);
    EXPECT_FALSE(view.movieView()->isHidden());
    EXPECT_EQ(view.movieView()->aspectRatioMode(), Qt::KeepAspectRatio);
    EXPECT_EQ(view.playCount(), 0);  // not before half a second
    QTRY_COMPARE_WITH_TIMEOUT(view.playCount(), 1, 5000);
    EXPECT_FLOAT_EQ(view.movieSize().width, 160);

    settings.setString("prefMoviePath", dir.file("GreenWithPrompt.mov"));
    settings.setBool("prefAnimationMoviePreserveAspectRatio", false);
    center.post(kUpdateAnimationMovieNotification);
    EXPECT_EQ(view.player()->source().toLocalFile().toStdString(), dir.file("GreenWithPrompt.mov"));
    EXPECT_NE(view.player()->playbackState(), QMediaPlayer::PlayingState);
    EXPECT_EQ(view.movieView()->aspectRatioMode(), Qt::IgnoreAspectRatio);
    QTRY_COMPARE_WITH_TIMEOUT(view.playCount(), 2, 5000);
    EXPECT_LT(view.player()->position(), 1500);

    center.post(kStopMovieNotification);
    EXPECT_TRUE(view.movieView()->isHidden());
    EXPECT_EQ(view.player()->playbackState(), QMediaPlayer::StoppedState);
}

TEST_F(MovieViewControllerTest, AMovedPromptMovieIsRepairedAndPlayed) {
    settings.setString("prefMoviePath", dir.file("RedWithPrompt.mov"));
    center.post(kUpdateAnimationMovieNotification);
    QTRY_COMPARE_WITH_TIMEOUT(view.playCount(), 1, 5000);
    center.post(kStopMovieNotification);

    // The operator renames the movie's folder between two guests.
    std::filesystem::create_directories(dir.file("Prompts"));
    std::filesystem::rename(dir.file("RedWithPrompt.mov"), dir.file("Prompts/RedWithPrompt.mov"));
    const std::string moved =
        std::filesystem::weakly_canonical(dir.file("Prompts/RedWithPrompt.mov")).string();
    center.post(kUpdateAnimationMovieNotification);
    EXPECT_EQ(settings.stringForKey("prefMoviePath").value_or(""), moved);
    EXPECT_FALSE(view.movieView()->isHidden());
    EXPECT_EQ(view.player()->source().toLocalFile().toStdString(), moved);
    QTRY_COMPARE_WITH_TIMEOUT(view.playCount(), 2, 5000);
}

// A movie that fails to play leaves the touch window as it was: the
// half-second start shows the controller's view, empty and letting touches
// through, never the black movie panel.
TEST_F(MovieViewControllerTest, AfterAPlaybackErrorTheDelayedStartShowsNothing) {
    auto* button = new QPushButton("Start", &host);
    button->setGeometry(270, 210, 100, 60);
    button->show();
    const QPoint middle(320, 240);
    EXPECT_EQ(host.childAt(middle), button);  // the empty view lets it through

    settings.setString("prefMoviePath", dir.file("RedWithPrompt.mov"));
    center.post(kUpdateAnimationMovieNotification);
    ASSERT_TRUE(view.isStartPending());
    EXPECT_FALSE(view.movieView()->isHidden());
    EXPECT_NE(host.childAt(middle), button);  // the movie lies over it
    // The player gives up on the file (as it does with one it cannot decode).
    emit view.player()->errorOccurred(QMediaPlayer::FormatError, "cannot decode");
    EXPECT_TRUE(view.movieView()->isHidden());

    QTRY_VERIFY_WITH_TIMEOUT(!view.isStartPending(), 5000);
    EXPECT_TRUE(view.movieView()->isHidden());
    EXPECT_EQ(view.playCount(), 0);
    EXPECT_TRUE(view.view()->isVisible());
    EXPECT_EQ(host.childAt(middle), button);

    // The next guest's movie plays again.
    settings.setString("prefMoviePath", dir.file("GreenWithPrompt.mov"));
    center.post(kUpdateAnimationMovieNotification);
    QTRY_COMPARE_WITH_TIMEOUT(view.playCount(), 1, 5000);
    EXPECT_FALSE(view.movieView()->isHidden());
    EXPECT_NE(host.childAt(middle), button);
}

TEST_F(MovieViewControllerTest, TheEndIsAnnouncedAndNotReplayed) {
    int ends = 0;
    auto id =
        center.addObserver(kKlikQTMovieDidEndNotification, [&](const Notification&) { ++ends; });
    settings.setString("prefMoviePath", dir.file("RedWithPrompt.mov"));
    center.post(kUpdateAnimationMovieNotification);
    QTRY_COMPARE_WITH_TIMEOUT(ends, 1, 10000);
    // A replay would be under way or waiting now: the player starting over,
    // looping, or the start timer armed again. None is, also once the
    // events the end caused have run.
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.isStartPending());
    EXPECT_NE(view.player()->playbackState(), QMediaPlayer::PlayingState);
    EXPECT_EQ(view.player()->loops(), 1);
    EXPECT_EQ(view.playCount(), 1);
    EXPECT_EQ(ends, 1);
    center.removeObserver(id);
}

}  // namespace
}  // namespace klik
