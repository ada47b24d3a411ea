#pragma once

#include <QWidget>

class QAbstractButton;

namespace zamel {

// The widgets of one dialog: laid out from a .ui file inside the dialog host,
// filled from the controller by refresh(). Buttons are forwarded to the
// controller through the host, which refreshes the view after every handler.
class DialogView : public QWidget {
  public:
    using QWidget::QWidget;

    // Copies the controller's texts and values into the widgets.
    virtual void refresh() = 0;
    // In a dialog of buttons that act at once, the one Enter presses when the focus
    // is on none of them; none leaves Enter to the dialog's default push button.
    virtual QAbstractButton* enterButton() const { return nullptr; }
};

}  // namespace zamel
