// Plays another installation in progress, as Windows Installer shows one:
//   hold_mutex.exe MILLISECONDS FILE
// holds the mutex Global\_MSIExecute for that long, and meanwhile keeps
// FILE, which it makes once the mutex is held and deletes before letting
// go, so that a test knows when the mutex is there.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "Global\\_MSIExecute");
  if (mutex == nullptr) return 1;
  HANDLE file = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  Sleep(static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
  DeleteFileA(argv[2]);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
