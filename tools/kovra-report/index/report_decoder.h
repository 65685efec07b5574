// The decoding half of `index`: reports read, deciphered, inflated and parsed on their own
// threads while the index's one writer inserts what they give. Each report's records reach the
// writer through a bounded channel of batches, so memory stays bounded whatever the sizes, and
// the writer takes the reports in the order given.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "report_records.h"

namespace kovra {

// What the writer needs besides the records, once the report is read to its end.
struct DecodedEnd {
  bool read = false;  // every record was read
  std::string error;  // why not (damaged, or the reader's own fault)
  std::vector<std::pair<std::string, std::string>> failed_stages;  // {stage, reason}
};

// One report between its decoder and the writer.
class ReportChannel {
 public:
  // The file's MD5 (the writer checks it against the index first), or why it cannot be read.
  struct Start {
    std::string md5;
    std::string error;
  };

  explicit ReportChannel(size_t capacity) : capacity_(capacity) {}
  // Decoder side; each returns false once the writer no longer wants the report.
  [[nodiscard]] bool PutStart(Start start);
  [[nodiscard]] bool PutBatch(std::vector<Record> batch);
  void PutEnd(DecodedEnd end);
  // Writer side: blocks until there is something.
  [[nodiscard]] Start TakeStart();
  // The next batch; nullopt when the report ended (then End()).
  [[nodiscard]] std::optional<std::vector<Record>> TakeBatch();
  [[nodiscard]] DecodedEnd TakeEnd();
  // The writer does not want the rest (the report is already in the index).
  void Cancel();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t capacity_;
  std::optional<Start> start_;
  std::deque<std::vector<Record>> batches_;
  std::optional<DecodedEnd> end_;
  bool cancelled_ = false;
};

// Decodes the reports of `paths` on up to `threads` threads, each report into its channel, in
// the order given (a thread takes the next report when it is free, and no further ahead of the
// writer than one report per thread, so that memory stays bounded however many reports). Threads
// that cannot be started leave the work to the others; with none at all, channel(i) decodes report
// i on the writer's thread when the writer first asks for it (its channel then unbounded).
class ReportDecoders {
 public:
  ReportDecoders(const std::vector<std::string>& paths, unsigned threads);
  ~ReportDecoders();  // cancels what is left and joins the threads
  ReportDecoders(const ReportDecoders&) = delete;
  ReportDecoders& operator=(const ReportDecoders&) = delete;
  [[nodiscard]] ReportChannel& channel(size_t i);

 private:
  void Work();
  void Decode(size_t i);

  const std::vector<std::string>& paths_;
  std::vector<std::unique_ptr<ReportChannel>> channels_;
  std::mutex next_mutex_;
  std::condition_variable writer_moved_;
  size_t next_ = 0;       // the next report a decoder takes
  size_t writer_at_ = 0;  // the report the writer takes now
  size_t ahead_ = 1;      // reports decoded at most at once, the writer's own included
  std::vector<std::thread> threads_;
};

// The decoding of one report into a channel (the MD5, the records in batches, the end).
void DecodeReportInto(const std::string& path, ReportChannel& channel);

}  // namespace kovra
