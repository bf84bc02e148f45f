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
  std::size_t hinted = 0;               // pieces hinted to the disk so far
  std::size_t unjudged = 0;
  bool done = false;
};

struct PieceChecker::Hint {
  std::shared_ptr<const platform::File> local;
  std::uint64_t first = 0;
  std::uint64_t size = 0;
};

namespace {

unsigned ThreadCount(unsigned wanted) {
  if (wanted == 0) wanted = std::thread::hardware_concurrency();
  return std::clamp(wanted, 1u, 8u);
}

bool Readable(const ManifestPiece& piece, std::uint64_t local_size) { return std::uint64_t{piece.last_byte} < local_size; }

}  // namespace

PieceChecker::PieceChecker(Run& run, const Manifest& manifest)
    : run_(run), manifest_(manifest), slots_(manifest.files.size()) {
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

FileCheck PieceChecker::Take(std::size_t index) {
  {
    std::lock_guard lock(mutex_);
    waited_for_ = std::max(waited_for_, index);
    // The pass opens what it waits for itself rather than wait for a thread to get to it.
    while (opened_ <= index && OpenNext()) {
    }
    ++work_generation_;
  }
  work_.notify_all();
  return WaitFor(index);
}

FileCheck PieceChecker::Check(std::size_t index, platform::File file) {
  {
    std::lock_guard lock(mutex_);
    Slot& slot = *slots_.at(index);
    const std::size_t count = manifest_.files[index].pieces.size();
    slot.check = FileCheck{.state = FileCheck::State::kRead, .local_size = file.Size().value_or(0), .bad_pieces = {}};
    slot.next_piece = 0;
    slot.unjudged = count;
    slot.done = count == 0;
    if (!slot.done) {
      slot.local = std::make_shared<const platform::File>(std::move(file));
      first_.push_back(index);
      ++work_generation_;
    }
  }
  work_.notify_all();
  return WaitFor(index);
}

FileCheck PieceChecker::WaitFor(std::size_t index) {
  std::unique_lock lock(mutex_);
  const std::stop_token abandon = run_.AbandonToken();
  done_.wait(lock, abandon, [&] { return failure_ || (slots_[index] && slots_[index]->done); });
  if (abandon.stop_requested()) throw RunAbandoned{};
  if (failure_) std::rethrow_exception(failure_);
  FileCheck check = std::move(slots_[index]->check);
  std::sort(check.bad_pieces.begin(), check.bad_pieces.end());
  return check;
}

bool PieceChecker::OpenNext() {
  if (opened_ >= manifest_.files.size() || opened_ >= waited_for_ + kFilesAhead) return false;
  const std::size_t index = opened_++;
  const ManifestFile& file = manifest_.files[index];
  auto slot = std::make_unique<Slot>();
  slot->next_piece = file.pieces.size();  // nothing to hand out unless it opens
  // A link at the path, or at one of its directories, counts as missing: the download
  // pass puts a real file in its place.
  if (!run_.root().Attributes(file.path)) {
    slot->check.state = FileCheck::State::kMissing;
    slot->done = true;
  } else if (std::optional<platform::File> local = run_.root().OpenFile(file.path, platform::File::Mode::kRead)) {
    slot->check = FileCheck{.state = FileCheck::State::kRead, .local_size = local->Size().value_or(0), .bad_pieces = {}};
    slot->next_piece = 0;
    slot->unjudged = file.pieces.size();
    slot->done = file.pieces.empty();
    if (!slot->done) slot->local = std::make_shared<const platform::File>(std::move(*local));
  } else {
    // One try only: the pass retries at its turn, with the waits the user sees.
    slot->check.state = FileCheck::State::kUnopened;
    slot->done = true;
  }
  if (slot->done) done_.notify_all();
  slots_[index] = std::move(slot);
  return true;
}

std::optional<LanePiece> PieceChecker::HandOut(std::size_t index, std::vector<Hint>& hints) {
  Slot& slot = *slots_[index];
  const std::vector<ManifestPiece>& pieces = manifest_.files[index].pieces;
  while (slot.next_piece < pieces.size()) {
    const std::size_t p = slot.next_piece++;
    const ManifestPiece& piece = pieces[p];
    // A piece that reaches past the end cannot be read in full: judged without a read.
    if (!Readable(piece, slot.check.local_size)) {
      Judged(index, p, false);
      continue;
    }
    if (p < slot.hinted) hinted_ahead_ -= std::min<std::uint64_t>(hinted_ahead_, piece.size());
    LanePiece out{.file = index, .piece = p, .local = slot.local, .first = piece.first_byte, .size = piece.size()};
    ExtendHints(hints);
    return out;
  }
  return std::nullopt;
}

std::optional<LanePiece> PieceChecker::NextPiece(std::vector<Hint>& hints) {
  while (!first_.empty()) {
    if (std::optional<LanePiece> piece = HandOut(first_.front(), hints)) return piece;
    first_.erase(first_.begin());
  }
  for (;;) {
    for (; hand_file_ < opened_; ++hand_file_) {
      if (std::optional<LanePiece> piece = HandOut(hand_file_, hints)) return piece;
    }
    if (!OpenNext()) return std::nullopt;
  }
}

void PieceChecker::ExtendHints(std::vector<Hint>& hints) {
  // Hinting never lags behind the pieces handed out.
  const std::size_t hand_piece = hand_file_ < opened_ ? slots_[hand_file_]->next_piece : 0;
  if (hint_file_ < hand_file_ || (hint_file_ == hand_file_ && hint_piece_ < hand_piece)) {
    hint_file_ = hand_file_;
    hint_piece_ = hand_piece;
    hinted_ahead_ = 0;
  }
  while (hinted_ahead_ < kHintBytes) {
    if (hint_file_ >= opened_ && !OpenNext()) return;
    Slot& slot = *slots_[hint_file_];
    const std::vector<ManifestPiece>& pieces = manifest_.files[hint_file_].pieces;
    if (slot.check.state != FileCheck::State::kRead || hint_piece_ >= pieces.size()) {
      ++hint_file_;
      hint_piece_ = 0;
      continue;
    }
    const ManifestPiece& piece = pieces[hint_piece_++];
    slot.hinted = hint_piece_;
    if (!Readable(piece, slot.check.local_size)) continue;
    hints.push_back(Hint{.local = slot.local, .first = piece.first_byte, .size = piece.size()});
    hinted_ahead_ += piece.size();
  }
}

void PieceChecker::Judged(std::size_t index, std::size_t piece, bool intact) {
  Slot& slot = *slots_[index];
  if (!intact) slot.check.bad_pieces.push_back(piece);
  if (--slot.unjudged > 0) return;
  slot.local.reset();  // every piece is judged: let go of the file (and its lock)
  slot.done = true;
  done_.notify_all();
}

void PieceChecker::Work() {
  const RunSettings& settings = run_.settings();
  const std::stop_token abandon = run_.AbandonToken();
  LaneBatch batch(settings.md5_kernel);
  std::vector<Hint> hints;
  const LaneBatch::NextPiece next = [&] { return NextPiece(hints); };
  const LaneBatch::BeforeRead before_read = [&](const LanePiece& piece) {
    // The hold and the end are checked before every read: Stop holds the thread
    // between two blocks, and Close waits for no more than the reads under way.
    if (!run_.HoldWithinTransfer()) return false;
    if (settings.on_verify_read) settings.on_verify_read(piece.file, piece.piece);
    return true;
  };
  const LaneBatch::Settled judge = [&](const LanePiece& piece, const std::optional<platform::Md5Digest>& digest) {
    const ManifestPiece& expected = manifest_.files[piece.file].pieces[piece.piece];
    Judged(piece.file, piece.piece, digest && DigestToWideHex(*digest) == expected.digest);
  };

  while (FillLanes(batch, next, abandon)) {
    for (const Hint& hint : hints) hint.local->ReadAhead(hint.first, hint.size);
    hints.clear();
    if (!batch.Read(before_read)) return;
    batch.Feed();
    batch.Finish();
    std::lock_guard lock(mutex_);
    batch.Settle(judge);
  }
}

bool PieceChecker::FillLanes(LaneBatch& batch, const LaneBatch::NextPiece& next, const std::stop_token& abandon) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_) return false;
    if (batch.Fill(next) > 0) return true;
    const std::uint64_t generation = work_generation_;
    work_.wait(lock, abandon, [&] { return stopping_ || work_generation_ != generation; });
    if (abandon.stop_requested()) return false;
  }
}

}  // namespace krdn
