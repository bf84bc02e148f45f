// Reads and digests the pieces of a manifest's files ahead of the verification pass,
// on one thread per core, many pieces at a time in the lanes of a LaneBatch.
//
// The pass itself stays one file after the other: it asks for each file's outcome in
// manifest order (Take) and sends its notifications as before. Behind it the checker
// opens the next files, hints the disk to fetch the pieces it will read next, and
// streams every piece through a lane of its thread's LaneBatch (repair/lane_batch.h),
// so memory stays at a block per lane whatever the piece size.
//
// The checker's threads take part in the run's hold and end: they check both before
// every read, so Stop holds them between two blocks and Close stops them after the
// reads already under way (one per thread).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/io/files.h"
#include "repair/lane_batch.h"
#include "repair/manifest.h"

namespace krdn {

class Run;

// What the checker found for one file.
struct FileCheck {
  enum class State {
    kMissing,   // nothing at the path
    kUnopened,  // present, but the one open the checker tries failed
    kRead,      // opened and every piece judged
  };
  State state = State::kMissing;
  std::uint64_t local_size = 0;          // kRead only
  std::vector<std::size_t> bad_pieces;   // kRead only: indices of pieces short or unlike their digest, ascending
};

class PieceChecker {
 public:
  // How far ahead of the file the pass is waiting for files are opened and pieces read.
  static constexpr std::size_t kFilesAhead = 256;
  // How many bytes of pieces not yet handed to a lane are hinted to the disk.
  static constexpr std::uint64_t kHintBytes = 64u << 20;

  // Starts the threads (RunSettings::verify_threads, md5_kernel, on_verify_read).
  PieceChecker(Run& run, const Manifest& manifest);
  // Stops the threads after their current step and waits for them.
  ~PieceChecker();
  PieceChecker(const PieceChecker&) = delete;
  PieceChecker& operator=(const PieceChecker&) = delete;

  // The outcome of file `index`, waiting for it if needed; files are taken in order.
  // Throws RunAbandoned when the run is abandoned meanwhile, and passes on what made a
  // checker thread fail.
  FileCheck Take(std::size_t index);
  // Judges the pieces of file `index` (which Take reported kUnopened) from a file the
  // pass has opened itself, before anything else, and waits for the outcome.
  FileCheck Check(std::size_t index, platform::File file);

 private:
  struct Slot;
  struct Hint;

  // One thread's rounds: take pieces into the lanes, read a block for each, feed the
  // digests, judge the pieces that end.
  void Work();
  // Under the lock: fills the batch's free lanes, waiting while there is nothing to
  // read. False when the thread is to end.
  bool FillLanes(LaneBatch& batch, const LaneBatch::NextPiece& next, const std::stop_token& abandon);
  // Under the lock: the next piece to read, opening files as needed; nothing when there
  // is none yet. Hints to issue once the lock is let go are added to `hints`.
  std::optional<LanePiece> NextPiece(std::vector<Hint>& hints);
  std::optional<LanePiece> HandOut(std::size_t index, std::vector<Hint>& hints);
  bool OpenNext();
  void ExtendHints(std::vector<Hint>& hints);
  // Under the lock: one judged piece.
  void Judged(std::size_t index, std::size_t piece, bool intact);
  FileCheck WaitFor(std::size_t index);

  Run& run_;
  const Manifest& manifest_;

  mutable std::mutex mutex_;
  std::condition_variable_any work_;  // new pieces, a wider window, or the end
  std::condition_variable_any done_;  // a file judged, or a thread failed
  std::vector<std::unique_ptr<Slot>> slots_;  // by file index, made when the file is opened
  std::size_t opened_ = 0;       // files opened so far (in order)
  std::size_t waited_for_ = 0;   // the file the pass waits for or has taken last
  std::size_t hand_file_ = 0;    // the first file that may still have pieces to hand out
  std::size_t hint_file_ = 0;    // where hinting goes on: file, piece, and what is hinted ahead
  std::size_t hint_piece_ = 0;
  std::uint64_t hinted_ahead_ = 0;
  std::vector<std::size_t> first_;  // files the pass opened itself, served before the rest
  std::uint64_t work_generation_ = 0;  // counts the changes a waiting thread wakes for
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::vector<std::jthread> threads_;
};

}  // namespace krdn
