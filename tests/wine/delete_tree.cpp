// Runs the launcher's folder deletion on the real Win32 API:
//
//   delete_tree PATH
//
// Prints "DeleteFolderTree: true" or "...: false" and exits with 0 when the
// call returned true, 1 when it returned false, 2 on wrong usage.
#include <cstdio>
#include <memory>

#include "launcher/folder_tree.h"
#include "platform/platform_services.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: delete_tree PATH\n");
    return 2;
  }
  std::unique_ptr<PlatformServices> platform = CreateWindowsPlatform();
  bool removed = DeleteFolderTree(*platform, argv[1]);
  std::printf("DeleteFolderTree: %s\n", removed ? "true" : "false");
  return removed ? 0 : 1;
}
