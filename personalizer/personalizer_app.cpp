#include "personalizer_app.h"

namespace tagwright {

PersonalizerApp::PersonalizerApp(PersonalizerUi& ui) : ui_(ui) {}

}  // namespace tagwright
