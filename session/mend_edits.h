#pragma once
// The edits meshara-cli fix makes on request (session/mend.h), each held to
// the limits of the format and the engine.

#include "formats/md2_writer.h"
#include "io/result.h"
#include "session/mend.h"

namespace meshara {

// Applies the options' edits to the model in their order, each said in
// report.edited; DoesNotFit naming the first that would break a limit, the
// model then half edited (the caller writes nothing).
Status ApplyEdits(Md2Output& model, const MendOptions& options, MendReport& report);

}  // namespace meshara
