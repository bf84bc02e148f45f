// The repair run: from the version probe to completion, on the worker thread.
#pragma once

#include "repair/run_context.h"
#include "repair/run_settings.h"

namespace krdn {

// Runs one repair to its end and returns. Everything the window sees arrives through
// the context's notifications; when the run is abandoned it returns silently.
void RepairWorker(RunContext& context, const RunSettings& settings = RunSettings{});

}  // namespace krdn
