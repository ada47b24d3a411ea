#include "qt_personalizer_window.h"

#include "personalizer_view.h"

namespace tagwright {

void QtPersonalizerWindow::run(PersonalizerDialog& dialog) {
    PersonalizerView view(dialog);
    view.start();
    view.exec();
}

}  // namespace tagwright
