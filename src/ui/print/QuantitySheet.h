#pragma once
// The small modal dialog that asks the guest how many copies to print. It
// shows the copies and has plus (tag 1), minus (tag 2) and reset (tag 3)
// buttons, which ask the owner for the new number, and print (tag 100) and
// cancel (tag 0) buttons, which end the run with their tag. Every button
// carries its tag as the dynamic property "tag".
//
// GUI thread only.

#include <QDialog>
#include <functional>

class QLabel;
class QAbstractButton;

namespace klik {

class QuantitySheet : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kPlusTag = 1;
    static constexpr int kMinusTag = 2;
    static constexpr int kResetTag = 3;
    static constexpr int kPrintTag = 100;
    static constexpr int kCancelTag = 0;

    // `copiesButton` answers the copies to show after a plus, minus or reset
    // press (borrowed for the dialog's life).
    QuantitySheet(int copies, std::function<int(int tag)> copiesButton, QWidget* parent = nullptr);

    // The number shown.
    int copiesShown() const { return copies_; }
    // The button of `tag`, or null (owned by the dialog).
    QAbstractButton* buttonWithTag(int tag) const;

  private:
    void buttonHit(int tag);
    void showCopies(int copies);

    std::function<int(int)> copiesButton_;
    QLabel* label_ = nullptr;
    int copies_ = 1;
};

}  // namespace klik
