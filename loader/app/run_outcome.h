#pragma once

namespace zamel {

// How a whole automatic upload ended, for a script that started it. The run keeps
// the first outcome that is not Completed: it stops there.
enum class RunOutcome {
    // Every file the package named was sent and the receiver confirmed each upload.
    Completed,
    // Stopped before the receiver was told to take a file: a file check, a question
    // answered Cancel, a package for another receiver, a receiver without an upload
    // path, or a file of the package that the run does not send.
    Refused,
    // The receiver was switched into its upload mode and the upload did not
    // complete: its flash may be half written.
    Failed,
    // No receiver answered (or the search was cancelled).
    NoReceiver,
};

}  // namespace zamel
