// The one way a page runs a job: start it, show its progress dialog
// modally, wait for its thread (the window keeps painting) and tell how it
// ended. Only a job that succeeded lets the page commit, stamp a load time
// or announce a backup. The whole run counts as modal work (ModalWork):
// a phone the job uses keeps its node until it is over.
//
//   ProgressForm progress(tr("IDS_..."), this);
//   AndroidLoadCallsThread job(&device, db, &progress);
//   if (runJob(progress, job) == JobResult::Succeeded)
//       device.callsLoadTime = QDateTime::currentDateTime();
#pragma once

#include <functional>

class ProgressForm;
class QThread;

enum class JobResult {
    Succeeded, // the job posted success
    Failed, // the job posted an error (already shown)
    Cancelled // the user cancelled (the dialog says nothing more)
};

JobResult runJob(ProgressForm& progress, QThread& job);

// Runs work on a thread of its own as a job under progress: the work sees
// the dialog's cancel through the protocol's cancel checks (and may call
// jobreport::checkCanceled), an exception becomes the dialog's error, and
// returning ends the dialog with success and no message. For calls that
// would otherwise block the window (a phone's folder listing, a deletion).
JobResult runTask(ProgressForm& progress, std::function<void()> work);
