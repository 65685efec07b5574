#include "archive/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <deque>
#include <future>
#include <limits>
#include <memory>
#include <system_error>

namespace kovra {

namespace {

using zip::kCentralSig;
using zip::kEndSig;
using zip::kFlagDataDescriptor;
using zip::kFlagUtf8;
using zip::kLocalSig;
using zip::kZip64EndSig;
using zip::kZip64LocatorSig;

constexpr uint32_t kMax32 = 0xFFFFFFFF;
constexpr uint16_t kMax16 = 0xFFFF;
constexpr uint16_t kVersion = 20, kVersionZip64 = 45;
constexpr uint16_t kMadeByMsDos = 0x002D, kMadeByNtfs = 0x0B2D;

// A file opened below this size gets classic sizes in its local header; reading stops there, so
// that even Deflate's worst-case growth still fits 32 bits.
constexpr uint64_t kClassicLimit = kMax32 - 0x01000000;

class Bytes {
 public:
  Bytes& U16(uint16_t v) {
    b_.push_back(static_cast<uint8_t>(v));
    b_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  Bytes& U32(uint32_t v) {
    return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
  }
  Bytes& U64(uint64_t v) {
    return U32(static_cast<uint32_t>(v)).U32(static_cast<uint32_t>(v >> 32));
  }
  Bytes& Append(std::string_view s) {
    b_.insert(b_.end(), s.begin(), s.end());
    return *this;
  }
  const std::vector<uint8_t>& data() const { return b_; }

 private:
  std::vector<uint8_t> b_;
};

uint32_t Classic32(uint64_t v) {
  return v >= kMax32 ? kMax32 : static_cast<uint32_t>(v);
}

// The Zip64 extra field of a central header: the values whose classic field overflows, in the
// order the format gives.
std::string CentralZip64Extra(const ZipEntry& e) {
  Bytes values;
  if (e.uncompressed_size >= kMax32)
    values.U64(e.uncompressed_size);
  if (e.compressed_size >= kMax32)
    values.U64(e.compressed_size);
  if (e.local_header_offset >= kMax32)
    values.U64(e.local_header_offset);
  if (values.data().empty())
    return {};
  Bytes extra;
  extra.U16(1).U16(static_cast<uint16_t>(values.data().size()));
  std::string out(extra.data().begin(), extra.data().end());
  out.append(values.data().begin(), values.data().end());
  return out;
}

class Deflater {
 public:
  explicit Deflater(int level) {
    if (deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw ZipWriteError("the compressor cannot start");
  }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses `size` bytes (or finishes the stream) and hands the output to the sink.
  uint64_t Run(const char* data, size_t size, bool finish, std::vector<char>& out, ZipSink& sink) {
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z_.avail_in = static_cast<uInt>(size);
    uint64_t written = 0;
    for (;;) {
      z_.next_out = reinterpret_cast<Bytef*>(out.data());
      z_.avail_out = static_cast<uInt>(out.size());
      const int rc = deflate(&z_, finish ? Z_FINISH : Z_NO_FLUSH);
      if (rc == Z_STREAM_ERROR)
        throw ZipWriteError("the compressor failed");
      const size_t n = out.size() - z_.avail_out;
      if (n > 0) {
        sink.Write(out.data(), n);
        written += n;
      }
      if (finish ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0))
        return written;
    }
  }

 private:
  z_stream z_ = {};
};

struct DeflateResult {
  uint32_t crc = 0;
  uint64_t read = 0, written = 0;
};

// Reads the source to its end (or `read_limit` bytes) in chunks, compressing into the sink
// while computing the CRC-32. Stops early once `*abandoned` turns true.
DeflateResult DeflateAll(int level, ZipSource& source, uint64_t read_limit, ZipSink& sink,
                         std::vector<char>& in, std::vector<char>& out, const bool* abandoned) {
  Deflater deflater(level);
  uLong crc = crc32(0L, Z_NULL, 0);
  DeflateResult r;
  while (r.read < read_limit && !(abandoned && *abandoned)) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(in.size(), read_limit - r.read));
    const size_t n = source.Read(in.data(), want);
    if (n == 0)
      break;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
    r.read += n;
    r.written += deflater.Run(in.data(), n, false, out, sink);
  }
  r.written += deflater.Run(nullptr, 0, true, out, sink);
  r.crc = static_cast<uint32_t>(crc);
  return r;
}

// Large files are cut into blocks compressed on several threads, each with the 32 KiB before it
// as its dictionary, and joined into one raw Deflate stream: every block but the last ends with
// a sync flush (byte-aligned, not final), so the pieces follow one another as one stream.
constexpr size_t kParallelBlock = 1u << 20;
constexpr size_t kDictionary = 32768;

// Whether a block looks incompressible (compressed, random or media data): a 16 KiB sample
// compressed quickly keeps at least 98% of its size. Such blocks are stored inside the Deflate
// stream, as the compressor would end up storing them anyway, without the slow search.
bool LooksIncompressible(const char* data, size_t size) {
  constexpr size_t kSample = 16384;
  if (size < 4 * kSample)
    return false;
  const char* sample = data + (size - kSample) / 2;
  uLongf out_size = compressBound(kSample);
  std::string out(out_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &out_size,
                reinterpret_cast<const Bytef*>(sample), kSample, 1) != Z_OK)
    return false;
  return out_size * 100 >= kSample * 98;
}

std::string DeflateBlock(int level, const std::string& dictionary, const char* data, size_t size,
                         bool last) {
  if (level > 0 && LooksIncompressible(data, size))
    level = 0;
  z_stream z = {};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw ZipWriteError("the compressor cannot start");
  if (!dictionary.empty())
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                         static_cast<uInt>(dictionary.size()));
  std::string out(deflateBound(&z, static_cast<uLong>(size)) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(size);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  const bool ok = last ? rc == Z_STREAM_END : rc == Z_OK && z.avail_in == 0;
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  if (!ok)
    throw ZipWriteError("the compressor failed");
  return out;
}

DeflateResult DeflateParallel(int level, unsigned threads, ZipSource& source, uint64_t read_limit,
                              ZipSink& sink) {
  struct Job {
    std::future<std::string> output;
  };
  DeflateResult r;
  uLong crc = crc32(0L, Z_NULL, 0);
  std::deque<Job> jobs;
  std::string dictionary;
  auto read_block = [&](std::string& block) {
    block.resize(static_cast<size_t>(std::min<uint64_t>(kParallelBlock, read_limit - r.read)));
    size_t got = 0;
    while (got < block.size()) {
      const size_t n = source.Read(block.data() + got, block.size() - got);
      if (n == 0)
        break;
      got += n;
    }
    block.resize(got);
    r.read += got;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(got));
  };
  auto start = [&](std::string block, bool last) {
    std::string dict = dictionary;
    dictionary += block;
    if (dictionary.size() > kDictionary)
      dictionary.erase(0, dictionary.size() - kDictionary);
    // The block is held by the task: it stays where the compressor reads it, and a launch that
    // fails leaves it there for this thread.
    auto input =
        std::make_shared<std::pair<std::string, std::string>>(std::move(dict), std::move(block));
    auto task = [level, input, last] {
      return DeflateBlock(level, input->first, input->second.data(), input->second.size(), last);
    };
    Job job;
    try {
      job.output = std::async(std::launch::async, task);
    } catch (const std::system_error&) {
      job.output = std::async(std::launch::deferred, task);  // no thread to be had
    }
    jobs.push_back(std::move(job));
  };
  auto write_front = [&] {
    const std::string out = jobs.front().output.get();
    sink.Write(out.data(), out.size());
    r.written += out.size();
    jobs.pop_front();
  };
  std::string pending;
  read_block(pending);
  for (;;) {
    std::string next;
    if (!pending.empty() && r.read < read_limit)
      read_block(next);
    const bool last = next.empty();
    start(std::move(pending), last);
    while (jobs.size() >= 2 * threads)
      write_front();
    if (last)
      break;
    pending = std::move(next);
  }
  while (!jobs.empty())
    write_front();
  r.crc = static_cast<uint32_t>(crc);
  return r;
}

// Collects compressed bytes in memory up to a limit; past it, it drops them and says so.
class MemorySink : public ZipSink {
 public:
  MemorySink(std::string& bytes, size_t limit) : bytes_(bytes), limit_(limit) {}
  void Write(const void* data, size_t size) override {
    if (overflow || bytes_.size() + size > limit_) {
      overflow = true;
      return;
    }
    bytes_.append(static_cast<const char*>(data), size);
  }
  void WriteAt(uint64_t, const void*, size_t) override {}
  uint64_t Position() const override { return bytes_.size(); }
  bool overflow = false;

 private:
  std::string& bytes_;
  size_t limit_;
};

}  // namespace

uint16_t ZipFlagsForLevel(int level, bool utf8) {
  uint16_t flags = 0;
  if (level >= 8)
    flags |= 0x0002;
  else if (level <= 2)
    flags |= 0x0004;
  if (utf8)
    flags |= kFlagUtf8;
  return flags;
}

ZipWriter::ZipWriter(ZipSink& sink, int level)
    : sink_(sink), level_(level), in_buffer_(kReadChunk), out_buffer_(256 * 1024) {}

void ZipWriter::WriteLocalHeader(const ZipEntry& e, bool zip64_field, bool rewrite) {
  if (e.name.size() > kMax16)
    throw ZipWriteError("entry name too long: " + e.name.substr(0, 64));
  Bytes h;
  h.U32(kLocalSig)
      .U16(zip64_field ? kVersionZip64 : kVersion)
      .U16(e.flags)
      .U16(e.method)
      .U16(e.dos_time)
      .U16(e.dos_date)
      .U32(e.crc32)
      .U32(zip64_field ? kMax32 : static_cast<uint32_t>(e.compressed_size))
      .U32(zip64_field ? kMax32 : static_cast<uint32_t>(e.uncompressed_size))
      .U16(static_cast<uint16_t>(e.name.size()))
      .U16(zip64_field ? 20 : 0)
      .Append(e.name);
  if (zip64_field)
    h.U16(1).U16(16).U64(e.uncompressed_size).U64(e.compressed_size);
  if (!rewrite)
    sink_.Write(h.data().data(), h.data().size());
  else
    sink_.WriteAt(e.local_header_offset, h.data().data(), h.data().size());
}

uint64_t ZipWriter::AddFile(const ZipFileFacts& facts, ZipSource& source) {
  ZipEntry e = NewEntry(facts);
  const bool zip64_field = facts.size >= kClassicLimit;
  const uint64_t limit = zip64_field ? std::numeric_limits<uint64_t>::max() : kClassicLimit;
  WriteLocalHeader(e, zip64_field, false);
  const DeflateResult r =
      threads_ > 1 && facts.size >= kParallelMinimum
          ? DeflateParallel(level_, threads_, source, limit, sink_)
          : DeflateAll(level_, source, limit, sink_, in_buffer_, out_buffer_, nullptr);
  e.crc32 = r.crc;
  e.compressed_size = r.written;
  e.uncompressed_size = r.read;
  WriteLocalHeader(e, zip64_field, true);
  central_.push_back(std::move(e));
  return r.read;
}

void ZipWriter::AddDeflated(const ZipFileFacts& facts, const DeflatedData& data) {
  ZipEntry e = NewEntry(facts);
  e.crc32 = data.crc32;
  e.compressed_size = data.bytes.size();
  e.uncompressed_size = data.size;
  WriteLocalHeader(e, e.uncompressed_size >= kMax32 || e.compressed_size >= kMax32, false);
  sink_.Write(data.bytes.data(), data.bytes.size());
  central_.push_back(std::move(e));
}

ZipEntry ZipWriter::NewEntry(const ZipFileFacts& facts) const {
  ZipEntry e;
  e.name = facts.name;
  e.version_made_by = facts.utf8 ? kMadeByNtfs : kMadeByMsDos;
  e.flags = ZipFlagsForLevel(level_, facts.utf8);
  e.method = 8;
  e.dos_time = facts.dos_time;
  e.dos_date = facts.dos_date;
  e.external_attributes = facts.attributes;
  e.local_header_offset = sink_.Position();
  return e;
}

bool DeflateToMemory(ZipSource& source, int level, size_t limit, DeflatedData& out) {
  MemorySink sink(out.bytes, limit);
  std::vector<char> in(ZipWriter::kReadChunk), buffer(256 * 1024);
  const DeflateResult r =
      DeflateAll(level, source, kClassicLimit, sink, in, buffer, &sink.overflow);
  if (sink.overflow) {
    out.bytes.clear();
    out.bytes.shrink_to_fit();
    return false;
  }
  out.crc32 = r.crc;
  out.size = r.read;
  return true;
}

void ZipWriter::AddRawEntry(const ZipEntry& old, ZipInput& input, uint64_t data_offset) {
  ZipEntry e = old;
  e.flags &= static_cast<uint16_t>(~kFlagDataDescriptor);  // sizes go into the header
  e.local_header_offset = sink_.Position();
  const bool zip64_field = e.uncompressed_size >= kMax32 || e.compressed_size >= kMax32;
  WriteLocalHeader(e, zip64_field, false);
  for (uint64_t at = 0; at < e.compressed_size; at += out_buffer_.size()) {
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(out_buffer_.size(), e.compressed_size - at));
    if (!input.ReadAt(data_offset + at, out_buffer_.data(), n))
      throw ZipWriteError("cannot read the data of " + e.name + " from the old archive");
    sink_.Write(out_buffer_.data(), n);
  }
  central_.push_back(std::move(e));
}

std::vector<uint8_t> ZipWriter::CentralRecord(const ZipEntry& e) const {
  const std::string extra = CentralZip64Extra(e);
  Bytes c;
  c.U32(kCentralSig)
      .U16(e.version_made_by)
      .U16(extra.empty() ? kVersion : kVersionZip64)
      .U16(e.flags)
      .U16(e.method)
      .U16(e.dos_time)
      .U16(e.dos_date)
      .U32(e.crc32)
      .U32(Classic32(e.compressed_size))
      .U32(Classic32(e.uncompressed_size))
      .U16(static_cast<uint16_t>(e.name.size()))
      .U16(static_cast<uint16_t>(extra.size()))
      .U16(0)  // comment
      .U16(0)  // disk number start
      .U16(0)  // internal attributes
      .U32(e.external_attributes)
      .U32(Classic32(e.local_header_offset))
      .Append(e.name)
      .Append(extra);
  return c.data();
}

void ZipWriter::Finish() {
  const uint64_t dir_offset = sink_.Position();
  for (const ZipEntry& e : central_) {
    const std::vector<uint8_t> record = CentralRecord(e);
    sink_.Write(record.data(), record.size());
  }
  const uint64_t dir_size = sink_.Position() - dir_offset;
  const uint64_t count = central_.size();
  if (count >= kMax16 || dir_offset >= kMax32 || dir_size >= kMax32) {
    const uint64_t zip64_end = sink_.Position();
    Bytes z;
    z.U32(kZip64EndSig)
        .U64(44)
        .U16(kMadeByMsDos)
        .U16(kVersionZip64)
        .U32(0)
        .U32(0)
        .U64(count)
        .U64(count)
        .U64(dir_size)
        .U64(dir_offset);
    z.U32(kZip64LocatorSig).U32(0).U64(zip64_end).U32(1);
    sink_.Write(z.data().data(), z.data().size());
  }
  const uint16_t count16 = count >= kMax16 ? kMax16 : static_cast<uint16_t>(count);
  Bytes end;
  end.U32(kEndSig)
      .U16(0)
      .U16(0)
      .U16(count16)
      .U16(count16)
      .U32(Classic32(dir_size))
      .U32(Classic32(dir_offset))
      .U16(0);
  sink_.Write(end.data().data(), end.data().size());
}

}  // namespace kovra
