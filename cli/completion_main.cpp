// fiberbridge-completion: writes the bash completion of fiberbridge-cli from
// its option table. Build-time only.
#include <cstdio>

#include "cli/completion.h"
#include "output/text_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fiberbridge-completion OUTPUT\n");
    return 2;
  }
  if (const auto written = fb::writeTextFile(argv[1], fb::bashCompletion()); !written) {
    std::fprintf(stderr, "fiberbridge-completion: %s\n", written.error().c_str());
    return 1;
  }
  return 0;
}
