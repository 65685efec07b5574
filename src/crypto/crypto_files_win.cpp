#include "crypto/crypto_files_win.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "crypto/descrypt.h"
#include "crypto/md5.h"
#include "platform/errors_win.h"
#include "platform/planted_names_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// Read, enciphered (on the cores) and written a piece at a time: large enough that the cores'
// share of a piece outweighs starting them, small enough to keep memory low.
constexpr DWORD kChunk = 8u << 20;

// Digests read 256 KiB at a time: an inventory digests thousands of small files, and a buffer
// of the cipher's size, made anew for each, would cost more than reading them.
constexpr DWORD kDigestChunk = 256u << 10;

}  // namespace

void EncryptFile(const std::string& source, const std::string& destination,
                 const std::string& key) {
  if (source.empty() || destination.empty() || key.empty())
    return;
  const std::string key_text = Utf8ToCodePage(key, CP_ACP);

  UniqueHandle in =
      OpenPlainFileForReading(Widen(source), FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!in)
    ThrowLastError("Cannot open", source);
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(in.get(), &size))
    ThrowLastError("Cannot size", source);
  if (size.QuadPart > 0xFFFFFFFFLL)
    throw std::runtime_error("Too large for the container: " + source);

  // The container is built in a new file beside the destination and moved onto its name only
  // when complete: a failed or interrupted encipherment never leaves a partial file at the
  // destination (the user's desktop), and a link planted at the name is replaced, not written
  // through.
  const TemporaryWriteErrors errors{"Cannot create a temporary file for", destination,
                                    "Cannot move the container to"};
  ReplaceThroughTemporary(
      destination, L"kdc",
      [&](HANDLE out, const std::string& temp) {
        DesContainerEncoder encoder(key_text);
        std::vector<uint8_t> buffer(kChunk);
        std::string cipher;
        cipher.reserve(kChunk + 16);
        for (;;) {
          DWORD got = 0;
          if (!::ReadFile(in.get(), buffer.data(), kChunk, &got, nullptr))
            ThrowLastError("Cannot read", source);
          if (got == 0)
            break;
          cipher.clear();
          encoder.Update(buffer.data(), got, cipher);
          WriteAllToHandle(out, cipher, temp);
        }
        cipher.clear();
        encoder.Finish(cipher);
        WriteAllToHandle(out, cipher, temp);
        if (!::FlushFileBuffers(out))
          ThrowLastError("Cannot flush", temp);
      },
      errors);
}

FileDigestAndVersion GetFileMD5AndVersion(const std::string& path) {
  // Read in chunks with ReadFile: a read fault (a removed stick, a lost network share) is an
  // error code here, where a mapped view would raise a structured exception instead.
  Md5 md5;
  PeVersion version;
  try {
    UniqueHandle file(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      // No larger than the file (and never zero-filled), so a small file costs a small buffer.
      LARGE_INTEGER size = {};
      const bool sized = ::GetFileSizeEx(file.get(), &size) != FALSE;
      const DWORD chunk = sized && size.QuadPart < kDigestChunk
                              ? static_cast<DWORD>(size.QuadPart) + 1
                              : kDigestChunk;
      const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(chunk);
      uint64_t total = 0;
      bool read_all = true;
      for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer.get(), chunk, &got, nullptr)) {
          md5.Init();  // a failed read gives the empty-input digest
          read_all = false;
          break;
        }
        if (got == 0)
          break;
        md5.Update(buffer.get(), got);
        total += got;
      }
      if (read_all && sized && total == static_cast<uint64_t>(size.QuadPart)) {
        // A file that fitted into one read is still in the buffer; a larger one is read again
        // where its headers and its resource are.
        const bool in_buffer = total < chunk;
        version = FindPeFileVersion(total, [&](uint64_t offset, void* out, size_t n) {
          if (in_buffer) {
            std::memcpy(out, buffer.get() + offset, n);
            return true;
          }
          return ReadFileAt(file.get(), offset, out, n);
        });
      }
    }
  } catch (const std::exception&) {  // no memory for the buffer, a path that is no text
    md5.Init();
    version = PeVersion{};
  }
  return {Md5Hex(md5.Final()), version};
}

std::string GetFileMD5(const std::string& path) {
  return GetFileMD5AndVersion(path).md5;
}

}  // namespace kovra::win
