#include "tests/support/fifo_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace karst::testing {

FifoReader::FifoReader(const std::filesystem::path& path) {
  if (mkfifo(path.c_str(), 0666) != 0) {
    std::abort();
  }
  // Without blocking: no writer is there yet. The writing end can then open at once.
  readEnd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writeEnd_ = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (readEnd_ < 0 || writeEnd_ < 0) {
    std::abort();
  }
  fcntl(readEnd_, F_SETFL, fcntl(readEnd_, F_GETFL) & ~O_NONBLOCK);
  thread_ = std::thread([this] {
    std::array<std::uint8_t, 65536> buffer;
    for (;;) {
      const ssize_t got = read(readEnd_, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got <= 0) {
        return;
      }
      bytes_.insert(bytes_.end(), buffer.begin(), buffer.begin() + got);
    }
  });
}

FifoReader::~FifoReader() { Finish(); }

std::vector<std::uint8_t> FifoReader::Finish() {
  if (writeEnd_ >= 0) {
    close(writeEnd_);
    writeEnd_ = -1;
  }
  if (thread_.joinable()) {
    thread_.join();
  }
  if (readEnd_ >= 0) {
    close(readEnd_);
    readEnd_ = -1;
  }
  return bytes_;
}

}  // namespace karst::testing
