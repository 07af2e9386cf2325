// Writes the index of a runs folder, as the tool does after a run:
//   write_runs_index FOLDER
// For scripts/screenshot-pages.sh, which gathers the records of real runs in one folder.

#include <cstdio>

#include "records/RunsIndex.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: write_runs_index FOLDER\n", stderr);
    return 2;
  }
  std::string problem;
  if (!WriteRunsIndex(argv[1], problem)) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  return 0;
}
