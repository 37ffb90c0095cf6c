// The Windows realisation's part for what an open handle tells: what it
// is, when it was made, whether its DACL is the protected one that lets
// administrators alone change it; and the clock since Windows started.
#include "platform/windows/internal.h"
// These need the types of windows.h first.
#include <aclapi.h>

#include <algorithm>
#include <string>

#include "platform/windows/advapi32.h"

namespace windows {

namespace {

using GetTickCount64Function = ULONGLONG(WINAPI*)();

// Rights that let an account change a folder or what it holds.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA |
                                  FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                  FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

std::uint64_t Joined(FILETIME time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
         time.dwLowDateTime;
}

// Whether every entry of `dacl` that applies to the object itself and
// allows a changing right names SYSTEM or Administrators. Denying entries
// only ever take away; an entry of another kind is not understood, and
// refused.
bool AdministratorsAlone(PACL dacl) {
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!advapi32::GetAce(dacl, i, &entry)) return false;
    auto* header = static_cast<ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = &allowed->SidStart;
    if ((allowed->Mask & kChangingRights) != 0 &&
        !advapi32::IsWellKnownSid(sid, WinLocalSystemSid) &&
        !advapi32::IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
      return false;
    }
  }
  return true;
}

}  // namespace

// ntdll.dll, which every process has loaded from the system folder, names
// its Wine version only under Wine.
bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr &&
         ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// ntdll's NtQueryObject, ObjectNameInformation: the object's name as a
// UNICODE_STRING at the head of the buffer, its text after it.
bool QueryObjectName(Handle object, std::string* name) {
  using NtQueryObjectFunction =
      LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  auto query = reinterpret_cast<NtQueryObjectFunction>(reinterpret_cast<void*>(
      ntdll != nullptr ? ::GetProcAddress(ntdll, "NtQueryObject") : nullptr));
  struct Text {
    USHORT length;  // in bytes
    USHORT capacity;
    PWSTR buffer;
  };
  alignas(Text) BYTE buffer[sizeof(Text) + 2 * MAX_PATH];
  ULONG returned = 0;
  if (query == nullptr ||
      query(FromHandle(object), 1, buffer, sizeof(buffer), &returned) != 0) {
    return false;
  }
  const auto* text = reinterpret_cast<const Text*>(buffer);
  std::size_t count = text->length / sizeof(wchar_t);
  if (text->buffer == nullptr || count >= MAX_PATH) return false;
  wchar_t wide[MAX_PATH];
  std::copy(text->buffer, text->buffer + count, wide);
  wide[count] = L'\0';
  char ansi[kAnsiCapacity];
  if (!ToExactAnsi(wide, ansi)) return false;
  name->assign(ansi);
  return true;
}

bool GetFileInformationByHandle(Handle file, HandleInformation* info) {
  BY_HANDLE_FILE_INFORMATION read = {};
  if (!::GetFileInformationByHandle(FromHandle(file), &read)) return false;
  info->attributes = read.dwFileAttributes;
  info->created = Joined(read.ftCreationTime);
  return true;
}

// Wine gives every file its one user as the owner and a DACL made from the
// Unix permission bits, never protected, and enforces none: there is
// nothing to check, and the check passes.
bool GetProtectedDacl(Handle object, bool* administrators_only) {
  if (UnderWine()) {
    *administrators_only = true;
    return true;
  }
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (advapi32::GetSecurityInfo(FromHandle(object), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  bool read = advapi32::GetSecurityDescriptorControl(descriptor, &control,
                                                     &revision) != FALSE;
  *administrators_only = read && dacl != nullptr &&
                         (control & SE_DACL_PROTECTED) != 0 &&
                         AdministratorsAlone(dacl);
  ::LocalFree(descriptor);
  return read;
}

std::uint64_t GetSystemTimeAsFileTime() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return Joined(now);
}

// Windows Vista on.
bool GetTickCount64(std::uint64_t* milliseconds) {
  auto ticks = Kernel32Entry<GetTickCount64Function>("GetTickCount64");
  if (ticks == nullptr) return false;
  *milliseconds = ticks();
  return true;
}

}  // namespace windows
