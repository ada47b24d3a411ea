#include "dialog_views.h"

#include "choice_view.h"
#include "connect_dialog.h"
#include "connect_view.h"
#include "dialog_host.h"
#include "expert_setup_dialog.h"
#include "expert_setup_view.h"
#include "flash_upload_dialog.h"
#include "header_query_dialog.h"
#include "header_query_view.h"
#include "legacy_upload_dialog.h"
#include "protocol_probe_dialog.h"
#include "protocol_probe_view.h"
#include "upload_confirm_dialog.h"
#include "upload_confirm_view.h"
#include "upload_file_dialog.h"
#include "upload_file_view.h"
#include "upload_status_view.h"

namespace zamel {

DialogView* makeDialogView(DialogHost& host) {
    DialogController& controller = host.controller();
    if (auto* dialog = dynamic_cast<ConnectDialog*>(&controller))
        return new ConnectView(*dialog, host);
    if (auto* dialog = dynamic_cast<HeaderQueryDialog*>(&controller))
        return new HeaderQueryView(*dialog, host);
    if (auto* dialog = dynamic_cast<ProtocolProbeDialog*>(&controller))
        return new ProtocolProbeView(*dialog, host);
    if (auto* dialog = dynamic_cast<FlashUploadDialog*>(&controller))
        return new UploadStatusView(
            {dialog->fileText, dialog->statusText, dialog->percentText, dialog->progress}, host);
    if (auto* dialog = dynamic_cast<LegacyUploadDialog*>(&controller))
        return new UploadStatusView({dialog->currentFileText, dialog->statusLine,
                                     dialog->percentText, dialog->progress},
                                    host);
    if (auto* dialog = dynamic_cast<UploadFileDialog*>(&controller))
        return new UploadFileView(*dialog, host);
    if (auto* dialog = dynamic_cast<UploadConfirmDialog*>(&controller))
        return new UploadConfirmView(*dialog, host);
    if (auto* dialog = dynamic_cast<ExpertSetupDialog*>(&controller))
        return new ExpertSetupView(*dialog, host);
    return new ChoiceView(controller, host);
}

}  // namespace zamel
