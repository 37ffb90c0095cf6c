// Folder tree deletion on trees drawn from the input: the same properties as
// the randomised test, with the fuzzer choosing the trees.
#include <cstdio>
#include <cstdlib>

#include "launcher/folder_tree.h"
#include "random_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data,
                                      std::size_t size) {
  std::size_t at = 0;
  auto next = [&](std::size_t n) -> std::size_t {
    std::size_t value = 0;
    for (int i = 0; i < 2; ++i)
      value = value * 256 + (at < size ? data[at++] : 0);
    return value % n;
  };
  SimulatedPlatform platform;
  RandomTree tree;
  tree.Build(platform, next);
  std::string problem =
      tree.Check(platform, DeleteFolderTree(platform, tree.top));
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
