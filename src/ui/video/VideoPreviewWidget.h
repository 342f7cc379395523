#pragma once
// The video camera's preview inside the input view: the newest frame of the
// capture session, fitted, and the recording clock while one runs.
//
// GUI thread; frames are announced from GStreamer's streaming thread and
// drawn at the next paint (only the newest one).

#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>

namespace klik {

class CapturePipeline;

class VideoPreviewWidget : public QWidget {
  public:
    // Fills `parent` and follows its size. `pipeline` must outlive it.
    VideoPreviewWidget(CapturePipeline& pipeline, QWidget* parent);
    ~VideoPreviewWidget() override;

    // The recording clock's text; empty hides it.
    void setClockText(const QString& text);
    // Frames drawn so far.
    std::uint64_t framesShown() const { return shown_; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    CapturePipeline& pipeline_;
    QImage image_;
    std::uint64_t sequence_ = 0;
    std::atomic<bool> pending_{false};
    std::atomic<std::uint64_t> shown_{0};
    QString clock_;
};

}  // namespace klik
