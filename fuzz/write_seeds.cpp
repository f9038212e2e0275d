// Writes the seed corpora of the fuzz targets (fuzz/fuzz_seeds.h): one directory per target
// under the directory given, each seed a file named after what it holds.
//
//   write_seeds OUT_DIR
#include <iostream>

#include "fuzz/fuzz_seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_seeds OUT_DIR\n";
    return 2;
  }
  return karst::fuzzing::WriteSeedCorpora(argv[1], karst::fuzzing::MakeSeedCorpora()) ? 0 : 1;
}
