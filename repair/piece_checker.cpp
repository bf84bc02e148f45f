#include "repair/piece_checker.h"

#include <algorithm>

#include "platform/hash/md5_lanes.h"
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

struct PieceChecker::Piece {
  std::size_t file = 0;
  std::size_t piece = 0;
  std::shared_ptr<const platform::File> local;
  std::uint64_t first = 0;
  std::uint64_t size = 0;
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

std::optional<PieceChecker::Piece> PieceChecker::HandOut(std::size_t index, std::vector<Hint>& hints) {
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
    Piece out{.file = index, .piece = p, .local = slot.local, .first = piece.first_byte, .size = piece.size()};
    ExtendHints(hints);
    return out;
  }
  return std::nullopt;
}

std::optional<PieceChecker::Piece> PieceChecker::NextPiece(std::vector<Hint>& hints) {
  while (!first_.empty()) {
    if (std::optional<Piece> piece = HandOut(first_.front(), hints)) return piece;
    first_.erase(first_.begin());
  }
  for (;;) {
    for (; hand_file_ < opened_; ++hand_file_) {
      if (std::optional<Piece> piece = HandOut(hand_file_, hints)) return piece;
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
  platform::Md5Lanes lanes(settings.md5_kernel);
  const std::size_t width = lanes.size();
  const std::stop_token abandon = run_.AbandonToken();

  struct Lane {
    std::optional<Piece> piece;
    std::uint64_t read = 0;
    bool short_read = false;
    // A piece left alone in the lanes goes through the library's stream instead, which
    // digests a single message faster than one lane of a vector does.
    std::optional<platform::Md5Stream> alone;
  };
  std::vector<Lane> lane(width);
  std::vector<std::uint8_t> buffer(width * kBlockBytes);
  std::vector<std::span<const std::uint8_t>> feed(width);
  std::vector<Hint> hints;
  std::vector<std::size_t> finishing;
  std::vector<platform::Md5Digest> digests;

  for (;;) {
    hints.clear();
    {
      std::unique_lock lock(mutex_);
      for (;;) {
        if (stopping_) return;
        std::size_t busy = 0;
        for (Lane& l : lane) {
          if (!l.piece) {
            l = Lane{};
            l.piece = NextPiece(hints);
          }
          if (l.piece) ++busy;
        }
        if (busy == 1 && width > 1) {
          Lane& only = *std::find_if(lane.begin(), lane.end(), [](const Lane& l) { return l.piece.has_value(); });
          if (only.read == 0 && !only.alone) only.alone.emplace();
        }
        if (busy > 0) break;
        const std::uint64_t generation = work_generation_;
        work_.wait(lock, abandon, [&] { return stopping_ || work_generation_ != generation; });
        if (abandon.stop_requested()) return;
      }
    }
    for (const Hint& hint : hints) hint.local->ReadAhead(hint.first, hint.size);
    hints.clear();

    for (std::size_t i = 0; i < width; ++i) {
      feed[i] = {};
      if (!lane[i].piece) continue;
      // The hold and the end are checked before every read: Stop holds the thread
      // between two blocks, and Close waits for no more than the reads under way.
      if (!run_.HoldWithinTransfer()) return;
      const Piece& piece = *lane[i].piece;
      if (settings.on_verify_read) settings.on_verify_read(piece.file, piece.piece);
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, piece.size - lane[i].read));
      const std::span<std::uint8_t> block(buffer.data() + i * kBlockBytes, want);
      if (piece.local->ReadAt(piece.first + lane[i].read, block) != want) {
        lane[i].short_read = true;  // the file has shrunk since it was opened
        continue;
      }
      lane[i].read += want;
      if (lane[i].alone) {
        lane[i].alone->Update(block);
      } else {
        feed[i] = block;
      }
    }
    lanes.Update(feed);

    finishing.clear();
    for (std::size_t i = 0; i < width; ++i) {
      if (lane[i].piece && !lane[i].short_read && lane[i].read == lane[i].piece->size) finishing.push_back(i);
    }
    digests.resize(finishing.size());
    std::erase_if(finishing, [&](std::size_t i) { return lane[i].alone.has_value(); });
    lanes.Finish(finishing, std::span(digests).first(finishing.size()));
    for (std::size_t i = 0; i < width; ++i) {
      if (lane[i].alone && lane[i].piece && !lane[i].short_read && lane[i].read == lane[i].piece->size) {
        finishing.push_back(i);
        digests[finishing.size() - 1] = lane[i].alone->Finish();
      }
    }

    std::lock_guard lock(mutex_);
    for (std::size_t k = 0; k < finishing.size(); ++k) {
      Lane& l = lane[finishing[k]];
      const ManifestPiece& expected = manifest_.files[l.piece->file].pieces[l.piece->piece];
      Judged(l.piece->file, l.piece->piece, DigestToWideHex(digests[k]) == expected.digest);
      l = Lane{};
    }
    for (std::size_t i = 0; i < width; ++i) {
      if (!lane[i].short_read) continue;
      Judged(lane[i].piece->file, lane[i].piece->piece, false);
      lanes.Restart(i);
      lane[i] = Lane{};
    }
  }
}

}  // namespace krdn
