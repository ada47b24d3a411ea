#pragma once

namespace zamel {

class DialogHost;
class DialogView;

// The view that shows the host's controller, made as a child of the host: the
// view of the controller's own kind, else a view of its choices.
DialogView* makeDialogView(DialogHost& host);

}  // namespace zamel
