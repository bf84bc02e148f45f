// Reads and digests the pieces of a manifest's files ahead of the verification pass,
// on one thread per core, many pieces at a time in the lanes of a LaneBatch.
//
// The pass itself stays one file after the other: it asks for each file's outcome in
// manifest order (Take) and sends its notifications as before. Behind it the checker
// opens the next files, hints the disk to fetch the pieces it will read next, and
// streams every piece through a lane of its thread's LaneBatch (repair/lane_batch.h),
// so memory stays at a block per lane whatever the piece size.
//
// Small files cost more in hand-overs than in digests, so the pass takes their outcomes
// in batches: when it has to wait, it waits until the next RunSettings::verify_batch
// files (or kBatchBytes of them) are judged and takes them all under one lock, and a
// checker thread wakes it only when that batch is complete. Files are opened outside the
// lock, a few at a time by whichever thread runs out of pieces, each with one open.
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
#include <utility>
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
  // Pieces smaller than a block are not hinted: the one read that takes each comes soon,
  // and a hint would cost a system call per small file, as much as the read.
  static constexpr std::uint64_t kSmallestHinted = LaneBatch::kBlockBytes;
  // A batch the pass takes at once ends after this many bytes of files, so that large
  // files are handed over one by one as they are judged.
  static constexpr std::uint64_t kBatchBytes = 1u << 20;
  // How many files a thread that runs out of pieces opens in one go, outside the lock.
  static constexpr std::size_t kOpenStep = 16;

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
  struct Deferred;

  // One thread's rounds: take pieces into the lanes, read a block for each, feed the
  // digests, judge the pieces that end.
  void Work();
  // Under the lock: fills the batch's free lanes, opening files as needed and waiting
  // while there is nothing to read. False when the thread is to end.
  bool FillLanes(std::unique_lock<std::mutex>& lock, LaneBatch& batch, const LaneBatch::NextPiece& next,
                 Deferred& deferred, const std::stop_token& abandon);
  // Under the lock: the next piece to read from the files opened so far; nothing when
  // there is none yet. What is to be done once the lock is let go goes to `deferred`.
  std::optional<LanePiece> NextPiece(Deferred& deferred);
  std::optional<LanePiece> HandOut(std::size_t index, Deferred& deferred);
  // Called with the lock held, which it lets go of while it opens: opens the files not
  // yet taken by an opener, up to `end` and as far as the window allows. False when
  // there was none to open.
  bool OpenFiles(std::unique_lock<std::mutex>& lock, std::size_t end);
  std::unique_ptr<Slot> OpenSlot(std::size_t index) const;
  void ExtendHints(Deferred& deferred);
  // Under the lock: one judged piece; a file it lets go of is closed with `deferred`.
  void Judged(std::size_t index, std::size_t piece, bool intact, Deferred& deferred);
  // Under the lock: a file is judged in full.
  void FileDone(Slot& slot);
  // Under the lock: whether every file the pass waits for is judged.
  bool PassMayGo();
  // The end of the batch that begins at `index`.
  std::size_t BatchEnd(std::size_t index) const;
  // Waits until files [index, end) are judged. Throws as Take does.
  void AwaitJudged(std::unique_lock<std::mutex>& lock, std::size_t index, std::size_t end);
  // Under the lock: the outcome of a judged file, moved out of its slot.
  FileCheck TakeOut(std::size_t index);

  Run& run_;
  const Manifest& manifest_;
  const std::size_t batch_files_;  // the most files the pass takes at once

  mutable std::mutex mutex_;
  std::condition_variable_any work_;  // new pieces, a wider window, or the end
  std::condition_variable_any done_;  // the files the pass waits for judged, or a thread failed
  std::vector<std::unique_ptr<Slot>> slots_;  // by file index, made when the file is opened
  std::size_t reserved_ = 0;     // files taken by an opener so far (in order)
  std::size_t opened_ = 0;       // files opened so far, all of them before it
  std::size_t waited_for_ = 0;   // the last file the pass waits for or has taken
  std::size_t hand_file_ = 0;    // the first file that may still have pieces to hand out
  std::size_t hint_file_ = 0;    // where hinting goes on: file, piece, and what is hinted ahead
  std::size_t hint_piece_ = 0;
  std::uint64_t hinted_ahead_ = 0;
  bool hints_want_files_ = false;  // hinting stopped at the last file opened
  std::vector<std::size_t> first_;  // files the pass opened itself, served before the rest
  std::uint64_t work_generation_ = 0;  // counts the changes a waiting thread wakes for
  std::size_t pass_ready_ = 0;     // while the pass waits: the files from its first on judged so far
  std::size_t pass_end_ = 0;       // while the pass waits: the end of what it waits for; else 0
  bool stopping_ = false;
  std::exception_ptr failure_;

  // The pass's own: outcomes taken in the last batch, by file index from taken_first_.
  std::vector<FileCheck> taken_;
  std::size_t taken_first_ = 0;
  std::size_t taken_next_ = 0;  // index into taken_ of the next outcome to hand over

  std::vector<std::jthread> threads_;
};

}  // namespace krdn
