// A FIFO that a test hands to a program as its output, read whole on a thread of its own while
// the program writes into it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

namespace karst::testing {

class FifoReader {
 public:
  // Makes the FIFO at `path` and starts reading. The reader keeps a writing end of its own open
  // too, so the reading sees no end before Finish, however late the program opens the FIFO.
  explicit FifoReader(const std::filesystem::path& path);
  // Finishes when Finish was not called.
  ~FifoReader();
  FifoReader(const FifoReader&) = delete;
  FifoReader& operator=(const FifoReader&) = delete;

  // Once the program has ended: closes the reader's own writing end and gives every byte read.
  std::vector<std::uint8_t> Finish();

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
  std::vector<std::uint8_t> bytes_;
  std::thread thread_;
};

}  // namespace karst::testing
