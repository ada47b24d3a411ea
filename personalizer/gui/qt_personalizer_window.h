#pragma once

#include "personalizer_startup.h"

namespace tagwright {

// Runs the Tagwright window modally for the start-up flow.
class QtPersonalizerWindow final : public PersonalizerWindow {
  public:
    void run(PersonalizerDialog& dialog) override;
};

}  // namespace tagwright
