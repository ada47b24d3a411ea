#pragma once

#include "flash_upload_dialog.h"

namespace zamel {

// The upload dialog of the mapping receivers: program code, base map or detail
// map. A pending base map goes before pending code, and a package's map must carry
// the name of the receiver's map.
class FlashMapDialog final : public FlashUploadDialog {
  public:
    FlashMapDialog(ReceiverLink& link, Ui& ui, Clock& clock, PackageState& package);
    // Keeps the automatic upload's bookkeeping: the first pass took the map, the
    // final pass the code.
    ~FlashMapDialog() override;

  private:
    void prepare();
};

}  // namespace zamel
