#include "engine/overlap.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "common/error_box.h"
#include "common/services.h"
#include "common/stop_flag.h"
#include "common/yield.h"
#include "engine/builder_run.h"
#include "engine/file_creator.h"
#include "engine/record_format.h"
#include "engine/run_state.h"
#include "random/random_stream.h"
#include "random/range_scan.h"

namespace torvane::FileCreator::detail {
namespace {

constexpr ByteCount kRecordLength = 80;
constexpr std::size_t kLargestWrite = TargetWriter::kMaxGathered;
// Writes made ahead: enough that neither thread waits on the other's
// hiccups, few enough to stay a quarter of a megabyte.
constexpr std::size_t kRingSlots = 4;
// How long the UI thread waits for the next write before the event loop
// (Ctrl-C) runs again.
constexpr auto kWaitSlice = std::chrono::milliseconds(5);

// What a run makes, read on the UI thread before the maker starts.
struct ContentPlan {
  ByteCount total = 0;
  bool fixed = false;
  std::uint8_t low = 0, high = 255;
  bool hex = true;
  CaseConversion letters = CaseConversion::None;
  ContentKind content = ContentKind::Random;
  std::uint8_t constant = 0;
  int compressible = 0;
};

enum class Step { Made, Failed, Quit };

// The run's writes in order, as the builders hand them to their target:
// continuous chunks of CalcChunkSize, or records from pools of CalcChunkSize
// bytes gathered into writes of at most kLargestWrite. Takes from the
// stream exactly what the builders take from cPrng. Touches nothing but
// its own state and its stream, so it may run on any one thread.
class ContentMaker {
 public:
  ContentMaker(const ContentPlan& plan, std::unique_ptr<RandomStream> stream)
      : plan_(plan), stream_(std::move(stream)), format_(plan.hex, plan.letters) {}

  [[nodiscard]] bool done() const { return made_ >= plan_.total; }

  // The next write into `out`; Quit as soon as `quit` is seen.
  Step Next(std::vector<std::uint8_t>& out, const std::atomic<bool>& quit) {
    const bool made = plan_.fixed ? NextRecords(out, quit) : NextChunk(out, quit);
    if (made) return Step::Made;
    return quit.load() ? Step::Quit : Step::Failed;
  }

 private:
  bool FullRange() const { return plan_.low == 0 && plan_.high == 255; }

  bool NextChunk(std::vector<std::uint8_t>& out, const std::atomic<bool>& quit) {
    const auto length = static_cast<std::size_t>(CalcChunkSize(plan_.total - made_));
    out.resize(length);
    if (plan_.content != ContentKind::Random) {
      const std::uint8_t value = plan_.content == ContentKind::Constant ? plan_.constant : 0;
      std::fill(out.begin(), out.end(), value);
    } else if (FullRange() ? !stream_->Next(out)
                           : !DrawWithinRange(*stream_, plan_.low, plan_.high, out, quit)) {
      return false;
    }
    const std::size_t plain = length * static_cast<std::size_t>(plan_.compressible) / 100;
    std::fill(out.end() - static_cast<std::ptrdiff_t>(plain), out.end(), std::uint8_t{0});
    made_ += static_cast<ByteCount>(length);
    return true;
  }

  bool NextRecords(std::vector<std::uint8_t>& out, const std::atomic<bool>& quit) {
    out.resize(kLargestWrite);
    std::size_t used = 0;
    while (made_ < plan_.total) {
      const auto length = static_cast<std::size_t>(std::min(kRecordLength, plan_.total - made_));
      // The builder writes what it gathered once the next record is made:
      // a pool that cannot be drawn drops them too.
      if (refill_ && !FillPool(quit)) return false;
      if (used + length > kLargestWrite) break;
      format_.Format(pool_.data() + position_, std::span(out.data() + used, length));
      position_ += length;
      used += length;
      made_ += static_cast<ByteCount>(length);
      // As the builder decides it: by the length of the record just made.
      refill_ = pool_.size() - position_ < length;
    }
    out.resize(used);
    return true;
  }

  // FillPool's draws: batches of the pool's size, of which the bytes within
  // the range fill the pool in order; the rest of the last batch is spent.
  bool FillPool(const std::atomic<bool>& quit) {
    const auto wanted = static_cast<std::size_t>(CalcChunkSize(plan_.total - made_));
    pool_.resize(wanted);
    position_ = 0;
    refill_ = false;
    if (FullRange()) return !quit.load(std::memory_order_relaxed) && stream_->Next(pool_);
    batch_.resize(wanted);
    for (std::size_t held = 0; held < wanted;) {
      if (quit.load(std::memory_order_relaxed) || !stream_->Next(batch_)) return false;
      held += prng_detail::KeepInRange(batch_, plan_.low,
                                       static_cast<std::uint8_t>(plan_.high - plan_.low),
                                       std::span(pool_.data() + held, wanted - held));
    }
    return true;
  }

  ContentPlan plan_;
  std::unique_ptr<RandomStream> stream_;  // null for plain content
  RecordFormat format_;
  ByteCount made_ = 0;
  std::vector<std::uint8_t> pool_, batch_;
  std::size_t position_ = 0;
  bool refill_ = true;
};

// The maker's thread and the ring of writes it fills ahead of the UI
// thread, which takes them in order. A slot belongs to the maker until
// `filled_` counts it, and to the UI thread until Release(). Destroying the
// producer stops and joins the thread, whatever it was doing.
class Producer {
 public:
  struct Slot {
    std::vector<std::uint8_t> bytes;
    Step step = Step::Made;
    std::exception_ptr fault;  // what the maker threw, for the UI thread to report
  };

  explicit Producer(ContentMaker maker) : maker_(std::move(maker)) {
    for (Slot& slot : slots_) slot.bytes.reserve(kLargestWrite);
    thread_ = std::thread([this] { Run(); });
  }
  ~Producer() {
    {
      const std::lock_guard lock(mutex_);
      quit_ = true;
    }
    freed_cv_.notify_one();
    thread_.join();
  }
  Producer(const Producer&) = delete;
  Producer& operator=(const Producer&) = delete;

  // The next write, waiting for it while the event loop runs; nullptr when
  // a Stop came meanwhile. It stays the caller's until Release().
  Slot* Take() {
    std::unique_lock lock(mutex_);
    while (filled_ == 0) {
      taker_waiting_ = true;
      filled_cv_.wait_for(lock, kWaitSlice);
      taker_waiting_ = false;
      lock.unlock();
      YieldNow();
      if (StopFlag) return nullptr;
      lock.lock();
    }
    return &slots_[head_];
  }

  void Release() {
    bool wake = false;
    {
      const std::lock_guard lock(mutex_);
      head_ = (head_ + 1) % kRingSlots;
      --filled_;
      // A maker blocked on a full ring goes on from half empty: a wake-up
      // costs the writer a system call (in a virtual machine an interrupt
      // to the other core too), so one for every two writes, not for each.
      wake = maker_waiting_ && filled_ <= kRingSlots / 2;
    }
    if (wake) freed_cv_.notify_one();
  }

 private:
  void Run() noexcept {
    for (std::size_t tail = 0;; tail = (tail + 1) % kRingSlots) {
      {
        std::unique_lock lock(mutex_);
        if (filled_ == kRingSlots) {
          maker_waiting_ = true;
          freed_cv_.wait(lock, [&] { return filled_ <= kRingSlots / 2 || quit_; });
          maker_waiting_ = false;
        }
        if (quit_) return;
      }
      Slot& slot = slots_[tail];
      try {
        slot.step = maker_.Next(slot.bytes, quit_);
      } catch (...) {
        slot.step = Step::Failed;
        slot.fault = std::current_exception();
      }
      if (slot.step == Step::Quit) return;
      bool wake = false;
      {
        const std::lock_guard lock(mutex_);
        ++filled_;
        wake = taker_waiting_;
      }
      if (wake) filled_cv_.notify_one();
      if (slot.step == Step::Failed || maker_.done()) return;
    }
  }

  ContentMaker maker_;
  std::array<Slot, kRingSlots> slots_;
  std::mutex mutex_;
  std::condition_variable filled_cv_, freed_cv_;
  std::size_t head_ = 0, filled_ = 0;
  bool taker_waiting_ = false, maker_waiting_ = false;
  std::atomic<bool> quit_{false};  // set under mutex_; the maker also reads it without
  std::thread thread_;
};

template <class Target>
void WriteMade(const ContentPlan& plan, Target& target) {
  std::unique_ptr<RandomStream> stream;
  // A generator that fails ends the run without a box, as cPrng's does.
  if (plan.content == ContentKind::Random && !(stream = RandomStream::Open())) {
    StopFlag = true;
    return;
  }
  Producer producer(ContentMaker(plan, std::move(stream)));
  ProgressPacer pacer(plan.fixed ? 250 : 500);  // the builders' own intervals
  while (target.opened() && target.written() < plan.total) {
    Producer::Slot* slot = producer.Take();
    if (slot == nullptr) return;
    if (slot->step == Step::Failed) {
      if (slot->fault) FailRun(DescribeException(slot->fault));
      StopFlag = true;
      return;
    }
    if (!target.Write(slot->bytes)) return;
    producer.Release();
    // Once a write: a slow disk must not hold up Ctrl-C for a thousand of them.
    YieldNow();
    if (StopFlag) return;
    pacer.ShowIfDue(target.written());
  }
}

}  // namespace

std::optional<bool> BuildOverlapped(bool fixed, std::int16_t low, std::int16_t high) {
  const RunOptions& options = g_run.options;
  if (!options.overlap) return std::nullopt;
  ContentPlan plan;
  plan.total = g_run.total_bytes;
  plan.fixed = fixed;
  if (fixed) {
    // Records synced one by one wait for the disk, not for the CPU.
    if (options.sync == SyncMode::Record) return std::nullopt;
    // A range without a byte value draws until Stop, the window's way.
    if (std::max<int>(low, 0) > std::min<int>(high, 255)) return std::nullopt;
    plan.low = static_cast<std::uint8_t>(std::max<int>(low, 0));
    plan.high = static_cast<std::uint8_t>(std::min<int>(high, 255));
    // A command-line run cannot change them while it goes on: read once.
    JobSource* source = CurrentServices().job;
    plan.hex = source == nullptr || source->HexPairs();
    plan.letters = source != nullptr ? source->CaseConversionNow() : CaseConversion::None;
  } else {
    plan.content = options.content;
    plan.constant = options.constant;
    plan.compressible = options.compressible;
    // A range that cPrng refuses with its box goes to it.
    const bool random = options.content == ContentKind::Random;
    if (random && !(low >= 0 && low < high && high <= 255)) return std::nullopt;
    if (random) {
      plan.low = static_cast<std::uint8_t>(low);
      plan.high = static_cast<std::uint8_t>(high);
    }
  }
  return RunBuilder(false, [&](cPrng&, auto& target) {
    if (target.opened()) WriteMade(plan, target);  // the maker is joined here
    // How each builder ends: a fixed-length run shows what the file holds
    // after a Stop too.
    if (plan.fixed) {
      if (!StopFlag) (void)target.Flush();  // a failure has set StopFlag
      Yield();
      ShowProgress(target.written());
      Yield();
      return !StopFlag;
    }
    Yield();
    if (StopFlag) return false;
    Yield();
    ShowProgress(target.written());
    return true;
  });
}

}  // namespace torvane::FileCreator::detail
