#pragma once

#include "flash_upload_dialog.h"

namespace zamel {

// The upload dialog of the plain model: program code, a base map in address mode
// within the unit's space, or a detail map. Pending code goes first.
class FlashPlainDialog final : public FlashUploadDialog {
  public:
    // The most bytes a base map may have on this model.
    static constexpr std::uint32_t kBaseMapLimit = 2555872;

    FlashPlainDialog(ReceiverLink& link, Ui& ui, Clock& clock, PackageState& package);
    // Ends an automatic upload: this model takes everything in one pass.
    ~FlashPlainDialog() override;

  private:
    void prepare();
    bool baseMapFits();
};

}  // namespace zamel
