#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class HelpBox;
}

namespace zamel {

struct HelpBox;

// The about box and the help boxes: a title, a text and "OK"; the about box
// shows the program's icon beside its text.
class HelpBoxDialog final : public QDialog {
    Q_OBJECT
  public:
    enum class Icon { Shown, Hidden };

    HelpBoxDialog(const HelpBox& box, Icon icon, QWidget* parent);
    ~HelpBoxDialog() override;

  private:
    std::unique_ptr<::Ui::HelpBox> ui_;
};

}  // namespace zamel
