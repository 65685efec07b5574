// An archive sink and an entry source in memory: archives built without files, for the
// portable packing rules, the tests and the fuzz targets.
#pragma once

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "archive/zip_writer.h"

namespace kovra {

class StringSink : public ZipSink {
 public:
  void Write(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
  }
  void WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (offset + size > bytes.size())
      throw std::out_of_range("header rewrite past the end");
    memcpy(bytes.data() + offset, data, size);
  }
  uint64_t Position() const override { return bytes.size(); }
  std::string bytes;
};

class StringSource : public ZipSource {
 public:
  explicit StringSource(std::string data) : data_(std::move(data)) {}
  size_t Read(void* buffer, size_t size) override {
    const size_t n = std::min(size, data_.size() - at_);
    memcpy(buffer, data_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  std::string data_;
  size_t at_ = 0;
};

}  // namespace kovra
