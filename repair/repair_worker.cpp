#include "repair/repair_worker.h"

#include <cstdio>

#include "repair/client_version.h"
#include "repair/completion.h"
#include "repair/download.h"
#include "repair/manifest.h"
#include "repair/run.h"
#include "repair/status_texts.h"
#include "repair/verification.h"

namespace krdn {
namespace {

void RunStages(Run& run) {
  run.Append(text::kDownloadingVersionFile);
  const ClientVersion version = ProbeClientVersion(run);
  const std::u16string version_text = version.Text();
  run.Append(text::kClientVersionIs + version_text + u"\r\n");
  if (!version.Supported()) Run::End(std::u16string(text::kVersionNotSupported));
  run.StopPoint();

  const Manifest manifest = FetchManifest(run, version_text);
  run.StopPoint();

  const VerificationResult verified = VerifyFiles(run, manifest, version.mode_word);
  if (verified.download_list.empty()) {
    if (!verified.all_verified) Run::End(std::u16string(text::kLockedNothingFetched));
    run.Append(text::kAllVerified);
    run.ClearBusy();
    run.Ended(std::nullopt);
  }
  DownloadFiles(run, verified.download_list, version_text);
  if (!verified.all_verified) Run::End(std::u16string(text::kLockedAfterRepair));
  Complete(run);
}

}  // namespace

void RepairWorker(RunContext& context, const RunSettings& settings) {
  Run run(context, settings);
  try {
    RunStages(run);
  } catch (const RunEnded& ended) {
    run.Finish(ended.final_text);
  } catch (const RunAbandoned&) {
    // The window has let go of the run: nothing more is sent and no flag is touched.
    run.LogEnd("abandoned");
  } catch (const std::exception& error) {
    // Out of memory or a broken crypto library: the run cannot go on, and says so.
    std::fprintf(stderr, "repair: run ended by an internal error: %s\n", error.what());
    run.LogEnd(std::string("internal error: ") + error.what());
    run.Finish(std::nullopt);
  }
}

}  // namespace krdn
