#pragma once

#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <array>
#include <memory>

#include "edit_limiter.h"
#include "personalizer_dialog.h"

namespace Ui {
class PersonalizerWindow;
}

namespace tagwright {

// The Tagwright window: lays out the controls of resources/personalizer_window.ui,
// forwards every click to the PersonalizerDialog controller and shows what the
// controller holds after each handler, and the room left as the user types.
// The languages form one radio group: one tab stop, the arrow keys choose
// within it. Closes once the controller has ended.
class PersonalizerView final : public QDialog {
    Q_OBJECT
  public:
    explicit PersonalizerView(PersonalizerDialog& dialog, QWidget* parent = nullptr);
    ~PersonalizerView() override;

    // Window start: the controller checks the buttons and locates the texts
    // (which may report a text not found) before the window is shown; the
    // first text field takes the focus.
    void start();

    // Escape, the window's close button and "Exit" all end here; with unsaved
    // edits the user is asked first.
    void reject() override;

  private:
    // The fields as the core keeps them, and the first character one of them
    // holds that the firmware cannot (refusedGroup -1 when there is none).
    struct Fields {
        PersonalizerDialog::Texts texts;
        int refusedGroup = -1;
        char32_t refused = 0;
    };
    Fields fields() const;
    void showLanguages();
    void showCharactersLeft(int group);
    void saveChanges();
    void showAbout();
    void refresh();
    void closeIfEnded();

    PersonalizerDialog& dialog_;
    std::unique_ptr<Ui::PersonalizerWindow> ui_;
    std::array<QRadioButton*, PersonalizerDialog::kFamilyCount> families_{};
    std::array<QRadioButton*, PersonalizerDialog::kLanguageCount> languages_{};
    std::array<QLabel*, PersonalizerDialog::kGroupCount> factoryTexts_{};
    std::array<QLabel*, PersonalizerDialog::kGroupCount> captions_{};
    std::array<EditLimiter*, PersonalizerDialog::kGroupCount> personalTexts_{};
    std::array<QLabel*, PersonalizerDialog::kGroupCount> charactersLeft_{};
};

}  // namespace tagwright
