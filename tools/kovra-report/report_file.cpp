#include "report_file.h"

#include <algorithm>
#include <cstring>

#include "archive/zip_reader.h"
#include "base/text.h"
#include "crypto/descrypt.h"

namespace kovra {

namespace {

int Seek(std::FILE* f, uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET);
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
}

}  // namespace

bool FileInput::Open(const std::string& path, std::string& error) {
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) {
    error = "cannot read " + path;
    return false;
  }
#if defined(_WIN32)
  _fseeki64(file_.get(), 0, SEEK_END);
  const int64_t end = _ftelli64(file_.get());
#else
  fseeko(file_.get(), 0, SEEK_END);
  const int64_t end = ftello(file_.get());
#endif
  if (end < 0) {
    error = "cannot size " + path;
    return false;
  }
  size_ = static_cast<uint64_t>(end);
  return true;
}

bool FileInput::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > size_ || size > size_ - offset)
    return false;
  return size == 0 ||
         (Seek(file_.get(), offset) == 0 && std::fread(buffer, 1, size, file_.get()) == size);
}

ContainerInput::ContainerInput(ZipInput& container, std::string_view key_text)
    : container_(container), schedule_(FoldKey(key_text)) {}

bool ContainerInput::Check(std::string& error) {
  const uint64_t size = container_.Size();
  uint8_t trailer[4] = {};
  if (size >= 4 && !container_.ReadAt(size - 4, trailer, 4)) {
    error = "cannot read the container's length";
    return false;
  }
  return ContainerPlainLength(size, trailer, length_, error);
}

bool ContainerInput::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > length_ || size > length_ - offset)
    return false;
  auto* out = static_cast<uint8_t*>(buffer);
  constexpr uint64_t kWindow = 1 << 20;  // deciphered a window at a time
  while (size > 0) {
    if (offset < blocks_at_ || offset >= blocks_at_ + blocks_.size()) {
      blocks_at_ = offset / 8 * 8;
      const uint64_t n = std::min<uint64_t>(kWindow, (length_ + 7) / 8 * 8 - blocks_at_);
      blocks_.resize(static_cast<size_t>(n));
      if (!container_.ReadAt(blocks_at_, blocks_.data(), blocks_.size()))
        return false;
      schedule_.DecryptBlocks(reinterpret_cast<uint8_t*>(blocks_.data()), blocks_.size() / 8);
    }
    const size_t at = static_cast<size_t>(offset - blocks_at_);
    const size_t n = std::min(size, blocks_.size() - at);
    memcpy(out, blocks_.data() + at, n);
    out += n, offset += n, size -= n;
  }
  return true;
}

bool Report::Open(const std::string& path, std::string& error) {
  container_.reset();
  if (!file_.Open(path, error))
    return false;
  char head[22] = {};
  const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof head, file_.Size()));
  if (!file_.ReadAt(0, head, n)) {
    error = "cannot read " + path;
    return false;
  }
  if (LooksLikeZip(std::string_view(head, n))) {
    kind_ = ReportKind::kPlainZip;
    return true;
  }
  kind_ = ReportKind::kContainer;
  container_ = std::make_unique<ContainerInput>(file_, kReportKey);
  if (!container_->Check(error)) {
    error = "not a report container: " + error;
    return false;
  }
  const size_t m = static_cast<size_t>(std::min<uint64_t>(sizeof head, container_->Size()));
  if (!container_->ReadAt(0, head, m) || !LooksLikeZip(std::string_view(head, m))) {
    error = "the deciphered container holds no ZIP archive (wrong key or not a report)";
    return false;
  }
  return true;
}

bool DecodeReport(std::string_view report, std::string& archive, ReportKind& kind,
                  std::string& error) {
  if (LooksLikeZip(report)) {
    kind = ReportKind::kPlainZip;
    archive.assign(report);
    return true;
  }
  kind = ReportKind::kContainer;
  if (!DecryptContainer(report, kReportKey, archive, error)) {
    error = "not a report container: " + error;
    return false;
  }
  if (!LooksLikeZip(archive)) {
    error = "the deciphered container holds no ZIP archive (wrong key or not a report)";
    return false;
  }
  return true;
}

std::string TerminalSafe(std::string_view text, bool keep_newlines) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if ((c == '\n' || c == '\t') && keep_newlines) {
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      out += StrPrintf("\\x%02X", c);
    } else if (c1) {
      out += StrPrintf("\\xC2\\x%02X", static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace kovra
