// The output file of an export that writes one file: an OutputFile
// (shell/core/outputfile.h), the way every file of the application is
// written. Nothing replaces the earlier file of the target's name until
// commit(), and a failed or cancelled export leaves it as it was; a target
// that is no regular file (a device, a pipe) is written directly.
#pragma once

#include "shell/core/outputfile.h"

#include <QString>

using ExportFile = OutputFile;

// Ends an export that failed: throws std::runtime_error with the text the
// user is shown, "<what> <reason>" ("write file error. No space left on
// device").
[[noreturn]] void failExport(const char* what, const QString& reason);
