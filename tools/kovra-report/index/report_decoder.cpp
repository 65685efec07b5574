#include "index/report_decoder.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "archive/zip_reader.h"
#include "base/report_file_names.h"
#include "crypto/md5.h"
#include "report_file.h"
#include "report_scan.h"
#include "run_log_text.h"

namespace kovra {

namespace {

// Records handed over at once; the channel holds a few such batches per report.
constexpr size_t kBatchRecords = 512;
constexpr size_t kBatchesAhead = 8;

// The MD5 of a file, read through a buffer; false with a reason.
bool FileMd5(const std::string& path, std::string& digest, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    error = "cannot read " + path;
    return false;
  }
  Md5 md5;
  std::string buffer(1 << 20, '\0');
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0)
    md5.Update(buffer.data(), got);
  if (std::ferror(f.get())) {
    error = "cannot read " + path;
    return false;
  }
  digest = Md5Hex(md5.Final());
  return true;
}

// The failed stages of a report: from its run log, else from the markers of its error log
// ("!!Error:4!!" is stage 4). Each is {stage, reason}.
std::vector<std::pair<std::string, std::string>> FailedStages(const ZipReader& zip) {
  const ZipEntry* run_log = nullptr;
  const ZipEntry* error_log = nullptr;
  for (const ZipEntry& e : zip.entries()) {
    const std::string name = EntryNameUtf8(e);
    const std::string file = name.substr(name.find_last_of("/\\") + 1);
    if (file == kRunLogEntry)
      run_log = &e;
    else if (file == report_files::kErrorLog)
      error_log = &e;
  }
  std::vector<std::pair<std::string, std::string>> stages;
  std::vector<std::string> lines;
  std::string error;
  if (run_log != nullptr && ReadEntryLines(zip, *run_log, 1252, lines, error)) {
    const RunLogFacts facts = ReadRunLog(lines);
    if (facts.present) {
      // "stage 4: <reason> (in product logs)"
      for (const std::string& text : facts.failed_stages) {
        const size_t colon = text.find(": ");
        stages.emplace_back(text.substr(0, colon),
                            colon == std::string::npos ? std::string() : text.substr(colon + 2));
      }
      return stages;
    }
  }
  if (error_log != nullptr && ReadEntryLines(zip, *error_log, 1252, lines, error)) {
    for (const std::string& line : lines) {
      const size_t at = line.find("!!Error:");
      const size_t end = at == std::string::npos ? at : line.find("!!", at + 8);
      if (end != std::string::npos && end > at + 8)
        stages.emplace_back("stage " + line.substr(at + 8, end - at - 8), line);
    }
  }
  return stages;
}

}  // namespace

bool ReportChannel::PutStart(Start start) {
  std::lock_guard<std::mutex> lock(mutex_);
  start_ = std::move(start);
  changed_.notify_all();
  return !cancelled_;
}

bool ReportChannel::PutBatch(std::vector<Record> batch) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return cancelled_ || batches_.size() < capacity_; });
  if (cancelled_)
    return false;
  batches_.push_back(std::move(batch));
  changed_.notify_all();
  return true;
}

void ReportChannel::PutEnd(DecodedEnd end) {
  std::lock_guard<std::mutex> lock(mutex_);
  end_ = std::move(end);
  changed_.notify_all();
}

ReportChannel::Start ReportChannel::TakeStart() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return start_.has_value(); });
  return *start_;
}

std::optional<std::vector<Record>> ReportChannel::TakeBatch() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return !batches_.empty() || end_.has_value(); });
  if (batches_.empty())
    return std::nullopt;
  std::vector<Record> batch = std::move(batches_.front());
  batches_.pop_front();
  changed_.notify_all();
  return batch;
}

DecodedEnd ReportChannel::TakeEnd() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return end_.has_value(); });
  return *end_;
}

void ReportChannel::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  batches_.clear();
  changed_.notify_all();
}

void DecodeReportInto(const std::string& path, ReportChannel& channel) {
  DecodedEnd end;
  try {
    ReportChannel::Start start;
    if (!FileMd5(path, start.md5, start.error)) {
      (void)channel.PutStart(std::move(start));
      end.error = "cannot read " + path;
      channel.PutEnd(std::move(end));
      return;
    }
    if (!channel.PutStart(std::move(start))) {
      end.error = "not wanted";
      channel.PutEnd(std::move(end));
      return;
    }
    Report report;
    ZipReader zip;
    std::string error;
    if (!report.Open(path, error) || !zip.Open(report.archive(), error)) {
      end.error = path + ": " + error;
      channel.PutEnd(std::move(end));
      return;
    }
    std::vector<Record> batch;
    bool wanted = true;
    end.read = ForEachRecord(
        zip, nullptr,
        [&](const Record& r) {
          if (!wanted)
            return;
          batch.push_back(r);
          if (batch.size() == kBatchRecords) {
            wanted = channel.PutBatch(std::move(batch));
            batch.clear();
          }
        },
        error);
    if (wanted && !batch.empty())
      wanted = channel.PutBatch(std::move(batch));
    if (!end.read)
      end.error = path + ": damaged, nothing of it was added: " + error;
    if (wanted)
      end.failed_stages = FailedStages(zip);
  } catch (const std::exception& e) {
    // A fault of the reader on this report (a refused record): the report is not added, the
    // others still are.
    end.read = false;
    end.error = path + ": the reader failed on it: " + e.what();
  }
  channel.PutEnd(std::move(end));
}

ReportDecoders::ReportDecoders(const std::vector<std::string>& paths, unsigned threads)
    : paths_(paths) {
  for (size_t i = 0; i < paths.size(); ++i)
    channels_.push_back(std::make_unique<ReportChannel>(threads == 0 ? SIZE_MAX : kBatchesAhead));
  ahead_ = std::min<size_t>(threads, paths.size()) + 1;  // before any thread reads it
  for (unsigned t = 0; t < threads && t < paths.size(); ++t) {
    try {
      threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error& e) {
      std::fprintf(stderr, "kovra-report: one decoding thread fewer: %s\n", e.what());
    }
  }
  if (threads_.empty()) {
    // No thread at all: every report is decoded on the writer's thread, as it asks for it.
    for (auto& c : channels_)
      c = std::make_unique<ReportChannel>(SIZE_MAX);
  }
}

ReportDecoders::~ReportDecoders() {
  {
    std::lock_guard<std::mutex> lock(next_mutex_);
    next_ = paths_.size();  // nothing more is started
    writer_moved_.notify_all();
  }
  for (auto& c : channels_)
    c->Cancel();
  for (std::thread& t : threads_)
    t.join();
}

ReportChannel& ReportDecoders::channel(size_t i) {
  std::lock_guard<std::mutex> lock(next_mutex_);
  writer_at_ = i;
  writer_moved_.notify_all();
  if (threads_.empty() && next_ <= i) {
    next_ = i + 1;
    DecodeReportInto(paths_[i], *channels_[i]);
  }
  return *channels_.at(i);
}

void ReportDecoders::Work() {
  for (;;) {
    size_t i;
    {
      std::unique_lock<std::mutex> lock(next_mutex_);
      writer_moved_.wait(lock,
                         [&] { return next_ >= paths_.size() || next_ < writer_at_ + ahead_; });
      if (next_ >= paths_.size())
        return;
      i = next_++;
    }
    DecodeReportInto(paths_[i], *channels_[i]);
  }
}

}  // namespace kovra
