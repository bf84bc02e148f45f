// The question a retrying stage puts to the user after a failed attempt, and the answer.
#pragma once

namespace krdn {

// The first two failed attempts of a stage in a row are an unstable connection (the
// user is told the run goes on from where it is); every later one is a network failure
// (the user may end the run).
enum class RetrySeverity { kUnstable, kNetworkFailure };

// kEndRun: the user has ended the run; the worker unwinds as for an abandoned run,
// without another notification.
enum class RetryAnswer { kGoOn, kEndRun };

}  // namespace krdn
