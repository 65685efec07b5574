// Opens a report file as support receives it: a DES container around a ZIP archive, or a plain
// ZIP archive when only the last packing way succeeded. Reports are read piece by piece: the
// container is deciphered block by block where the archive reader asks, so a report of any size
// is read with bounded memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "archive/zip_format.h"
#include "crypto/descrypt.h"

namespace kovra {

enum class ReportKind { kContainer, kPlainZip };

// A file read at offsets.
class FileInput : public ZipInput {
 public:
  // Opens the file; false with a reason.
  [[nodiscard]] bool Open(const std::string& path, std::string& error);
  uint64_t Size() const override { return size_; }
  [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
  uint64_t size_ = 0;
};

// The plain bytes of a container, deciphered on demand from the blocks that hold them.
class ContainerInput : public ZipInput {
 public:
  ContainerInput(ZipInput& container, std::string_view key_text);
  // Checks the size and the length trailer; false with a reason when the container is damaged.
  [[nodiscard]] bool Check(std::string& error);
  uint64_t Size() const override { return length_; }
  [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  ZipInput& container_;
  DesKeySchedule schedule_;
  uint64_t length_ = 0;
  std::string blocks_;  // the last blocks read, kept for the next read nearby
  uint64_t blocks_at_ = 0;
};

// A report opened for reading: its kind and its archive as an input.
class Report {
 public:
  [[nodiscard]] bool Open(const std::string& path, std::string& error);
  ReportKind kind() const { return kind_; }
  ZipInput& archive() { return container_ ? static_cast<ZipInput&>(*container_) : file_; }

 private:
  FileInput file_;
  std::unique_ptr<ContainerInput> container_;
  ReportKind kind_ = ReportKind::kPlainZip;
};

// The archive bytes of a report held in memory and its kind; false with a reason for anything
// else.
[[nodiscard]] bool DecodeReport(std::string_view report, std::string& archive, ReportKind& kind,
                                std::string& error);

// Text from a report made safe for a terminal: control characters (C0, DEL and the C1 range)
// written as \xNN escapes, so that a hostile name cannot drive the support engineer's terminal.
// Line breaks and tabs stay when `keep_newlines` (multi-line text output).
[[nodiscard]] std::string TerminalSafe(std::string_view text, bool keep_newlines = false);

}  // namespace kovra
