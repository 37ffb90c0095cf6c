// System DLLs loaded at run time from the system folder alone.
#include "platform/windows/internal.h"

namespace windows {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, which older headers lack.
constexpr DWORD kSearchSystem32 = 0x00000800;

// Whether this Windows can keep a load, and every load it leads to, to the
// system folder: Windows 8 on, and 7 and Vista with KB2533623. Microsoft's
// test for the LOAD_LIBRARY_SEARCH_* flags is kernel32's AddDllDirectory.
// Where it is absent, the DLL search puts the program's folder first for
// whatever a system DLL loads in turn by name (advapi32's security calls
// load ntmarta.dll, RtlGenRandom forwards to cryptbase.dll, CryptoAPI to
// cryptsp.dll and its providers, none of them known DLLs), and no way of
// loading the first DLL changes that: there nothing is loaded at all.
}  // namespace

bool SearchCanBeConfined() {
  return Kernel32Entry<FARPROC>("AddDllDirectory") != nullptr;
}

// A lookup that fails leaves the launcher to refuse what needed it: no
// random name, no owner, no signature check, no administrator's token.
void* SystemEntry(const wchar_t* dll, const char* name) {
  if (!SearchCanBeConfined()) return nullptr;
  HMODULE module = ::LoadLibraryExW(dll, nullptr, kSearchSystem32);
  FARPROC entry = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<void*>(entry);
}

}  // namespace windows
