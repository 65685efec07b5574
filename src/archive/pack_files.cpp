#include "archive/pack_files.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "archive/archive_names.h"

namespace kovra {

namespace {

// Compresses the files of a list ahead of the writer on worker threads, a bounded window of
// files at a time, each into memory up to a limit. The writer takes the results in list order;
// a file too large for memory is left to the writer to stream itself. When no worker thread can
// be started, the writer's own thread does the work as it takes each file.
class AheadCompressor {
 public:
  enum class State { kPending, kReady, kCannotOpen, kStream };
  struct Result {
    State state = State::kPending;
    ZipFileFacts facts;
    DeflatedData data;
  };

  AheadCompressor(const PackFiles& files, const std::vector<size_t>& order, int level,
                  const PackOptions& options)
      : files_(files),
        order_(order),
        level_(level),
        limit_(options.memory_limit),
        results_(order.size()) {
    window_ = 4 * std::max(1u, options.workers);
    for (unsigned i = 0; i < options.workers && i < order.size(); ++i) {
      try {
        threads_.emplace_back([this] { Work(); });
      } catch (...) {
        break;  // fewer helpers; the caller's thread covers the rest
      }
    }
  }
  ~AheadCompressor() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_)
      t.join();
  }
  AheadCompressor(const AheadCompressor&) = delete;
  AheadCompressor& operator=(const AheadCompressor&) = delete;

  // The result for position i of the order (taken in order).
  Result Take(size_t i) {
    if (threads_.empty())
      return Compress(i);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return results_[i].state != State::kPending; });
    Result r = std::move(results_[i]);
    results_[i] = Result{State::kStream, {}, {}};
    taken_ = i + 1;
    changed_.notify_all();
    return r;
  }

 private:
  Result Compress(size_t i) const {
    Result r;
    try {
      std::unique_ptr<ZipSource> source = files_.Open(order_[i], r.facts);
      if (!source) {
        r.state = State::kCannotOpen;
      } else if (r.facts.size > limit_ * 2) {
        r.state = State::kStream;
      } else {
        r.state = DeflateToMemory(*source, level_, limit_, r.data) ? State::kReady : State::kStream;
      }
    } catch (...) {
      r = Result{State::kStream, {}, {}};
    }
    return r;
  }

  void Work() {
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock,
                      [&] { return stop_ || next_ >= order_.size() || next_ < taken_ + window_; });
        if (stop_ || next_ >= order_.size())
          return;
        i = next_++;
      }
      Result r = Compress(i);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        results_[i] = std::move(r);
      }
      changed_.notify_all();
    }
  }

  const PackFiles& files_;
  const std::vector<size_t>& order_;
  const int level_;
  const size_t limit_;
  std::vector<Result> results_;
  size_t window_ = 4, next_ = 0, taken_ = 0;
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> threads_;
};

// Streams one file into a new entry; false when it cannot be opened.
bool AddStreamed(ZipWriter& writer, const PackFiles& files, size_t i) {
  ZipFileFacts facts;
  std::unique_ptr<ZipSource> source = files.Open(i, facts);
  if (!source)
    return false;
  writer.AddFile(facts, *source);
  return true;
}

}  // namespace

size_t AppendFiles(ZipWriter& writer, const PackFiles& files, std::set<std::string>& names,
                   const PackOptions& options) {
  // Only the files whose names the archive does not hold yet are worth compressing ahead.
  std::vector<size_t> order;
  std::vector<std::string> keys;
  for (size_t i = 0; i < files.Count(); ++i) {
    std::string key = files.Key(i);
    if (!names.count(key)) {
      order.push_back(i);
      keys.push_back(std::move(key));
    }
  }
  size_t written = 0;
  AheadCompressor ahead(files, order, writer.level(), options);
  for (size_t k = 0; k < order.size(); ++k) {
    AheadCompressor::Result r = ahead.Take(k);
    if (names.count(keys[k]) || r.state == AheadCompressor::State::kCannotOpen)
      continue;
    if (r.state == AheadCompressor::State::kReady)
      writer.AddDeflated(r.facts, r.data);
    else if (!AddStreamed(writer, files, order[k]))
      continue;
    names.insert(keys[k]);
    ++written;
  }
  return written;
}

size_t UpdateArchive(const ZipReader& old,
                     const std::function<std::string(const ZipEntry&)>& old_key, ZipWriter& writer,
                     const PackFiles& files, const PackOptions& options) {
  std::map<std::string, size_t> by_key;  // the first file of each key
  for (size_t i = 0; i < files.Count(); ++i)
    by_key.emplace(files.Key(i), i);
  std::set<std::string> names;
  size_t written = 0;
  std::string error;
  for (const ZipEntry& e : old.entries()) {
    const std::string key = old_key(e);
    const auto match = by_key.find(key);
    if (match != by_key.end() && !names.count(key) &&
        files.Stamp(match->second) > DosStamp(e.dos_date, e.dos_time) &&
        AddStreamed(writer, files, match->second)) {
      names.insert(key);
      ++written;
      continue;
    }
    uint64_t at = 0;
    if (!old.DataOffset(e, at, error))
      continue;  // a damaged entry is dropped; its file, if listed, is written anew below
    writer.AddRawEntry(e, old.input(), at);
    names.insert(key);
  }
  return written + AppendFiles(writer, files, names, options);
}

}  // namespace kovra
