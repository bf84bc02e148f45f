#include "repair/piece_checker.h"

#include <algorithm>

#include "repair/run.h"
#include "transfer/digest.h"

namespace krdn {

struct PieceChecker::Slot {
  FileCheck check;
  // Open while pieces remain to be judged. Pieces in lanes and hints not yet issued
  // share it, so it is closed when the last of them lets go.
  std::shared_ptr<const platform::File> local;
  std::size_t next_piece = 0;           // the next piece to hand out
  std::size_t hinted = 0;               // pieces looked at for hints so far
  std::size_t unjudged = 0;
  bool done = false;
};

struct PieceChecker::Hint {
  std::shared_ptr<const platform::File> local;
  std::uint64_t first = 0;
  std::uint64_t size = 0;
};

// What a thread found to do under the lock and does once it has let go of it: a system
// call under the lock would hold up the other threads and the pass.
struct PieceChecker::Deferred {
  std::vector<Hint> hints;
  std::vector<std::shared_ptr<const platform::File>> closing;  // files judged in full

  void Run() {
    for (const Hint& hint : hints) hint.local->ReadAhead(hint.first, hint.size);
    hints.clear();
    closing.clear();
  }
};

namespace {

unsigned ThreadCount(unsigned wanted) {
  if (wanted == 0) wanted = std::thread::hardware_concurrency();
  return std::clamp(wanted, 1u, 8u);
}

bool Readable(const ManifestPiece& piece, std::uint64_t local_size) { return piece.last_byte < local_size; }

}  // namespace

PieceChecker::PieceChecker(Run& run, const Manifest& manifest)
    : run_(run),
      manifest_(manifest),
      batch_files_(std::clamp<std::size_t>(run.settings().verify_batch, 1, kFilesAhead)),
      slots_(manifest.files.size()) {
  const unsigned count = ThreadCount(run.settings().verify_threads);
  for (unsigned i = 0; i < count; ++i) {
    threads_.emplace_back([this] {
      try {
        Work();
      } catch (...) {
        std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
        done_.notify_all();
      }
    });
  }
}

PieceChecker::~PieceChecker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    ++work_generation_;
  }
  work_.notify_all();
  threads_.clear();  // joins
}

std::size_t PieceChecker::BatchEnd(std::size_t index) const {
  const std::size_t most = std::min(manifest_.files.size(), index + batch_files_);
  std::size_t end = index + 1;
  std::uint64_t bytes = manifest_.files[index].total_size;
  while (end < most && bytes < kBatchBytes) bytes += manifest_.files[end++].total_size;
  return end;
}

FileCheck PieceChecker::Take(std::size_t index) {
  if (taken_next_ < taken_.size() && taken_first_ + taken_next_ == index) return std::move(taken_[taken_next_++]);
  const std::size_t end = BatchEnd(index);
  std::unique_lock lock(mutex_);
  AwaitJudged(lock, index, end);
  taken_.clear();
  for (std::size_t i = index; i < end; ++i) taken_.push_back(TakeOut(i));
  taken_first_ = index;
  taken_next_ = 1;
  // The window ahead moves on by the batch.
  if (end - 1 > waited_for_) {
    waited_for_ = end - 1;
    ++work_generation_;
    work_.notify_all();
  }
  return std::move(taken_.front());
}

FileCheck PieceChecker::Check(std::size_t index, platform::File file) {
  const std::uint64_t size = file.Size().value_or(0);
  std::unique_lock lock(mutex_);
  Slot& slot = *slots_.at(index);
  const std::size_t count = manifest_.files[index].pieces.size();
  slot.check = FileCheck{.state = FileCheck::State::kRead, .local_size = size, .bad_pieces = {}};
  slot.next_piece = 0;
  slot.unjudged = count;
  slot.done = count == 0;
  if (!slot.done) {
    slot.local = std::make_shared<const platform::File>(std::move(file));
    first_.push_back(index);
    ++work_generation_;
    work_.notify_all();
  }
  AwaitJudged(lock, index, index + 1);
  return TakeOut(index);
}

void PieceChecker::AwaitJudged(std::unique_lock<std::mutex>& lock, std::size_t index, std::size_t end) {
  if (index > waited_for_) {
    waited_for_ = index;
    ++work_generation_;
    work_.notify_all();
  }
  // The pass opens what it waits for itself rather than wait for a thread to get to it.
  if (reserved_ <= index) OpenFiles(lock, index + 1);
  pass_ready_ = index;
  pass_end_ = end;
  const std::stop_token abandon = run_.AbandonToken();
  done_.wait(lock, abandon, [&] { return failure_ || PassMayGo(); });
  pass_end_ = 0;
  if (abandon.stop_requested()) throw RunAbandoned{};
  if (failure_) std::rethrow_exception(failure_);
}

bool PieceChecker::PassMayGo() {
  while (pass_ready_ < pass_end_ && slots_[pass_ready_] && slots_[pass_ready_]->done) ++pass_ready_;
  return pass_end_ != 0 && pass_ready_ == pass_end_;
}

FileCheck PieceChecker::TakeOut(std::size_t index) {
  FileCheck check = std::move(slots_[index]->check);
  std::sort(check.bad_pieces.begin(), check.bad_pieces.end());
  return check;
}

void PieceChecker::FileDone(Slot& slot) {
  slot.done = true;
  // Only the file that completes what the pass waits for wakes it.
  if (pass_end_ != 0 && PassMayGo()) done_.notify_all();
}

bool PieceChecker::OpenFiles(std::unique_lock<std::mutex>& lock, std::size_t end) {
  const std::size_t limit = std::min({end, manifest_.files.size(), waited_for_ + kFilesAhead});
  if (reserved_ >= limit) return false;
  const std::size_t first = reserved_;
  reserved_ = limit;
  std::vector<std::unique_ptr<Slot>> opened;
  opened.reserve(limit - first);
  lock.unlock();
  for (std::size_t i = first; i < limit; ++i) opened.push_back(OpenSlot(i));
  lock.lock();
  for (std::size_t k = 0; k < opened.size(); ++k) slots_[first + k] = std::move(opened[k]);
  // Other threads may have opened files after these and be done first: the files
  // handed out are those opened without a gap.
  while (opened_ < slots_.size() && slots_[opened_]) ++opened_;
  ++work_generation_;
  work_.notify_all();
  if (pass_end_ != 0 && PassMayGo()) done_.notify_all();
  return true;
}

std::unique_ptr<PieceChecker::Slot> PieceChecker::OpenSlot(std::size_t index) const {
  using ReadOpen = platform::InstallRoot::ReadOpen;
  const ManifestFile& file = manifest_.files[index];
  auto slot = std::make_unique<Slot>();
  slot->next_piece = file.pieces.size();  // nothing to hand out unless it opens
  slot->done = true;
  // A link at the path, or at one of its directories, counts as missing: the download
  // pass puts a real file in its place.
  ReadOpen local = run_.root().OpenForReading(file.path);
  if (local.state == ReadOpen::State::kAbsent) {
    slot->check.state = FileCheck::State::kMissing;
  } else if (local.state == ReadOpen::State::kUnopened) {
    // One try only: the pass retries at its turn, with the waits the user sees.
    slot->check.state = FileCheck::State::kUnopened;
  } else {
    slot->check = FileCheck{.state = FileCheck::State::kRead, .local_size = local.size, .bad_pieces = {}};
    slot->next_piece = 0;
    slot->unjudged = file.pieces.size();
    slot->done = file.pieces.empty();
    if (!slot->done) slot->local = std::make_shared<const platform::File>(std::move(*local.file));
  }
  return slot;
}

std::optional<LanePiece> PieceChecker::HandOut(std::size_t index, Deferred& deferred) {
  Slot& slot = *slots_[index];
  const std::vector<ManifestPiece>& pieces = manifest_.files[index].pieces;
  while (slot.next_piece < pieces.size()) {
    const std::size_t p = slot.next_piece++;
    const ManifestPiece& piece = pieces[p];
    // A piece that reaches past the end cannot be read in full: judged without a read.
    if (!Readable(piece, slot.check.local_size)) {
      Judged(index, p, false, deferred);
      continue;
    }
    if (p < slot.hinted && piece.size() >= kSmallestHinted) {
      hinted_ahead_ -= std::min<std::uint64_t>(hinted_ahead_, piece.size());
    }
    LanePiece out{.file = index, .piece = p, .local = slot.local, .first = piece.first_byte, .size = piece.size()};
    ExtendHints(deferred);
    return out;
  }
  return std::nullopt;
}

std::optional<LanePiece> PieceChecker::NextPiece(Deferred& deferred) {
  while (!first_.empty()) {
    if (std::optional<LanePiece> piece = HandOut(first_.front(), deferred)) return piece;
    first_.erase(first_.begin());
  }
  for (; hand_file_ < opened_; ++hand_file_) {
    if (std::optional<LanePiece> piece = HandOut(hand_file_, deferred)) return piece;
  }
  return std::nullopt;
}

void PieceChecker::ExtendHints(Deferred& deferred) {
  // Hinting never lags behind the pieces handed out.
  const std::size_t hand_piece = hand_file_ < opened_ ? slots_[hand_file_]->next_piece : 0;
  if (hint_file_ < hand_file_ || (hint_file_ == hand_file_ && hint_piece_ < hand_piece)) {
    hint_file_ = hand_file_;
    hint_piece_ = hand_piece;
    hinted_ahead_ = 0;
  }
  hints_want_files_ = false;
  while (hinted_ahead_ < kHintBytes) {
    if (hint_file_ >= opened_) {
      // The files it would hint next are not open yet: the thread opens more.
      hints_want_files_ = hint_file_ < manifest_.files.size();
      return;
    }
    Slot& slot = *slots_[hint_file_];
    const std::vector<ManifestPiece>& pieces = manifest_.files[hint_file_].pieces;
    if (slot.check.state != FileCheck::State::kRead || hint_piece_ >= pieces.size()) {
      ++hint_file_;
      hint_piece_ = 0;
      continue;
    }
    const ManifestPiece& piece = pieces[hint_piece_++];
    slot.hinted = hint_piece_;
    if (!Readable(piece, slot.check.local_size) || piece.size() < kSmallestHinted || !slot.local) continue;
    deferred.hints.push_back(Hint{.local = slot.local, .first = piece.first_byte, .size = piece.size()});
    hinted_ahead_ += piece.size();
  }
}

void PieceChecker::Judged(std::size_t index, std::size_t piece, bool intact, Deferred& deferred) {
  Slot& slot = *slots_[index];
  if (!intact) slot.check.bad_pieces.push_back(piece);
  if (--slot.unjudged > 0) return;
  // Every piece is judged: let go of the file (and its lock), once the lock is let go.
  deferred.closing.push_back(std::move(slot.local));
  FileDone(slot);
}

void PieceChecker::Work() {
  const RunSettings& settings = run_.settings();
  const std::stop_token abandon = run_.AbandonToken();
  LaneBatch batch(settings.md5_kernel);
  Deferred deferred;
  const LaneBatch::NextPiece next = [&] { return NextPiece(deferred); };
  const LaneBatch::BeforeRead before_read = [&](const LanePiece& piece) {
    // The hold and the end are checked before every read: Stop holds the thread
    // between two blocks, and Close waits for no more than the reads under way.
    if (!run_.HoldWithinTransfer()) return false;
    if (settings.on_verify_read) settings.on_verify_read(piece.file, piece.piece);
    return true;
  };
  const LaneBatch::Settled judge = [&](const LanePiece& piece, const std::optional<platform::Md5Digest>& digest) {
    const ManifestPiece& expected = manifest_.files[piece.file].pieces[piece.piece];
    Judged(piece.file, piece.piece, digest && expected.digest.Matches(*digest), deferred);
  };

  for (;;) {
    {
      std::unique_lock lock(mutex_);
      if (!FillLanes(lock, batch, next, deferred, abandon)) return;
    }
    deferred.Run();
    if (!batch.Read(before_read)) return;
    batch.Feed();
    batch.Finish();
    {
      std::lock_guard lock(mutex_);
      batch.Settle(judge);
    }
    deferred.Run();
  }
}

bool PieceChecker::FillLanes(std::unique_lock<std::mutex>& lock, LaneBatch& batch, const LaneBatch::NextPiece& next,
                             Deferred& deferred, const std::stop_token& abandon) {
  for (;;) {
    if (stopping_) return false;
    const std::size_t busy = batch.Fill(next);
    // Free lanes, or hints short of files: open the next files, then fill again.
    if ((busy < batch.width() || hints_want_files_) && OpenFiles(lock, reserved_ + kOpenStep)) {
      if (stopping_) return false;
      ExtendHints(deferred);
      continue;
    }
    if (busy > 0) return true;
    const std::uint64_t generation = work_generation_;
    work_.wait(lock, abandon, [&] { return stopping_ || work_generation_ != generation; });
    if (abandon.stop_requested()) return false;
  }
}

}  // namespace krdn
