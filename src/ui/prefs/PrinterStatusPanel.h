#pragma once
// The preferences window's printer tab: which queue the kiosk prints to
// (the saved printer set-up's, else the spooler's default), what the
// spooler says about it (state, reasons, whether it takes jobs), and the
// operator's one action that puts a paused or refusing queue back to work.
// A set-up that prints into PDF files names its file instead.
//
// GUI thread; refresh() and the resume button block for a request or two
// to the spooler.

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;

namespace klik {

class Settings;

class PrinterStatusPanel : public QWidget {
    Q_OBJECT
  public:
    explicit PrinterStatusPanel(Settings& settings, QWidget* parent = nullptr);

    // Reads the set-up and the queue's state again.
    void refresh();
    // Enables the queue and makes it accept jobs; refreshes. Returns success.
    bool resume();

    // The queue shown ("" when the kiosk prints to files or has no printer).
    const std::string& queue() const { return queue_; }
    QString statusText() const;
    QPushButton* resumeButton() const { return resume_; }

  private:
    Settings& settings_;
    std::string queue_;
    QLabel* title_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* resume_ = nullptr;
    QPushButton* check_ = nullptr;
};

}  // namespace klik
