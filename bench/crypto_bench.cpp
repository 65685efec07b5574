// Throughput of the report container cipher and of MD5, against the openssl command on the
// same bytes in the same run (where openssl is installed).
//
//   bench_crypto [MEGABYTES]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

#include "crypto/descrypt.h"
#include "crypto/md5.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of three, to keep a stray scheduling hiccup out of the figure.
template <typename F>
double BestOf3(F f) {
  double best = 1e30;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    if (!f())
      return -1;
    best = std::min(best, Seconds(start));
  }
  return best;
}

bool Run(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

void Line(const char* what, double seconds, size_t bytes) {
  if (seconds <= 0) {
    std::printf("%-34s %10s\n", what, "n/a");
    return;
  }
  std::printf("%-34s %8.1f MB/s\n", what, bytes / seconds / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const size_t size = mb * 1000 * 1000;
  std::string data(size, '\0');
  std::mt19937 rng(42);
  for (auto& c : data)
    c = static_cast<char>(rng());

  char dir_template[] = "/tmp/kovra-bench-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (!dir)
    return 1;
  const std::string input = std::string(dir) + "/input.bin";
  if (FILE* f = std::fopen(input.c_str(), "wb")) {
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }

  std::string container;
  container.reserve(size + 16);
  const double ours_des = BestOf3([&] {
    container.clear();
    kovra::DesContainerEncoder encoder(kovra::kReportKey);
    // Fed in 1 MiB pieces, as the file encipherment does.
    for (size_t at = 0; at < size; at += 1 << 20) {
      const size_t n = std::min<size_t>(1 << 20, size - at);
      encoder.Update(reinterpret_cast<const uint8_t*>(data.data() + at), n, container);
    }
    encoder.Finish(container);
    return true;
  });
  std::string digest;
  const double ours_md5 = BestOf3([&] {
    digest = kovra::Md5OfBytes(data);
    return true;
  });

  // The same key as ours, as hexadecimal for openssl.
  const kovra::DesBlock key = kovra::FoldKey(kovra::kReportKey);
  std::string key_hex;
  for (uint8_t b : key) {
    char h[3];
    std::snprintf(h, sizeof h, "%02x", b);
    key_hex += h;
  }
  double openssl_des = -1, openssl_md5 = -1;
  if (Run("openssl version >/dev/null 2>&1")) {
    openssl_des = BestOf3([&] {
      return Run("openssl enc -des-ecb -provider legacy -provider default -nopad -K " + key_hex +
                 " -in " + input + " -out /dev/null");
    });
    openssl_md5 = BestOf3([&] { return Run("openssl dgst -md5 " + input + " >/dev/null"); });
  }

  std::printf("input: %zu MB of random bytes (md5 %s)\n", mb, digest.c_str());
  Line("ours   DES container (ECB)", ours_des, size);
  Line("openssl enc -des-ecb (file)", openssl_des, size);
  Line("ours   MD5", ours_md5, size);
  Line("openssl dgst -md5 (file)", openssl_md5, size);
  if (openssl_des > 0)
    std::printf("ratio DES ours/openssl: %.2f (target >= 1.00)\n", openssl_des / ours_des);
  if (openssl_md5 > 0)
    std::printf("ratio MD5 ours/openssl: %.2f (target >= 0.90)\n", openssl_md5 / ours_md5);
  unlink(input.c_str());
  rmdir(dir);
  return 0;
}
