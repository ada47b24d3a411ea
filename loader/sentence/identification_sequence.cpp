#include "identification_sequence.h"

#include "connect_dialog.h"
#include "header_query_dialog.h"
#include "receiver_link.h"
#include "ui.h"

namespace zamel {

bool identifyReceiver(ReceiverLink& link, Ui& ui, const Clock& clock, IdentificationSteps steps,
                      const std::function<void()>& onConnected) {
    ConnectDialog connect(link);
    if (ui.runModal(connect) != DialogResult::Ok) return false;
    if (onConnected) onConnected();
    if (link.receiverClass == ReceiverClass::Unsupported) {
        ui.messageBox("UNSUPPORTED RECEIVER", "ERROR", MessageButtons::Ok,
                      MessageIcon::Information);
        ui.setStatusPane("Connected receiver not supported");
        return false;
    }
    ui.setStatusPane(link.modelName);

    HeaderQueryDialog query(link, clock);
    const bool headerArrived = ui.runModal(query) == DialogResult::Ok;
    // A header from an earlier query counts even when this one was cancelled.
    if (steps == IdentificationSteps::All) link.applyMapHeaderRule();
    return headerArrived;
}

}  // namespace zamel
