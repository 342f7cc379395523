#pragma once
// A full-screen message over the touch window, from a Qt Designer file in
// the resources (so an installation restyles it without a rebuild). Every
// button with an integer dynamic property "tag" ends the modal run with
// that tag; 100 means "go on". The optional widgets "ibNSImageView" (a
// QLabel showing the screen's picture) and "ibButtonsView" (the buttons'
// container) are laid over the whole screen.

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

class QDialog;
class QLabel;

namespace klik {

class OverlayScreenDialog {
  public:
    // Loads "<resources>/<name>.ui". GUI thread. isLoaded() tells whether
    // it worked; the reason is logged.
    explicit OverlayScreenDialog(const QString& name);
    ~OverlayScreenDialog();

    bool isLoaded() const { return view_ != nullptr; }
    const QString& name() const { return name_; }
    // The loaded view (owned by this object), or null.
    QWidget* view() const { return view_; }

    // Shows `picture` in "ibNSImageView", scaled to fill it when `fill`.
    // No effect without that widget. GUI thread.
    void setPicture(const QImage& picture, bool fill);

    // Lays the screen exactly over `host` (or over the primary screen when
    // null), runs it modally and returns the tag of the button that ended
    // it; nullopt when the file could not be loaded. Blocks in a nested
    // event loop. GUI thread. `translucent`: the host shows through where
    // the view leaves the screen empty.
    std::optional<int> runModal(QWidget* host, bool translucent = false);

    // Ends a running modal run as if a button of `tag` had been pressed.
    void finish(int tag);

  private:
    QString name_;
    std::unique_ptr<QDialog> dialog_;
    QPointer<QWidget> view_;
};

}  // namespace klik
