// ReportServices over the Win32 API: jobs and their completion ports, exit
// codes, another installation's mutex, the local time, and what a path is and
// who can change it, read without following a link. Built into the report
// build's platform library alone.
#include "platform/report_services.h"
#include "platform/windows/advapi32.h"

namespace windows {

namespace {

// The accounts whose write access to a log folder or a result file the
// launcher accepts: SYSTEM, Administrators, TrustedInstaller and the
// process's own user (Wine runs everything as that one user).
bool IsTrustedSid(PSID sid, PSID own_user) {
  static const wchar_t* const kTrusted[] = {
      L"S-1-5-18", L"S-1-5-32-544",
      L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"};
  for (const wchar_t* text : kTrusted) {
    PSID trusted = nullptr;
    if (!advapi32::ConvertStringSidToSidW(text, &trusted)) continue;
    bool same = advapi32::EqualSid(sid, trusted) != FALSE;
    ::LocalFree(trusted);
    if (same) return true;
  }
  return own_user != nullptr && advapi32::EqualSid(sid, own_user) != FALSE;
}

// Rights that let an account change a file or folder, or what it holds.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA |
                                  FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                  FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Whether an account other than the trusted ones can change the object:
// through ownership, or an allowing entry that applies to the object
// itself. Denying entries are not counted on: they only ever take away.
bool OthersCanWrite(PSID owner, PACL dacl, PSID own_user) {
  if (dacl == nullptr || owner == nullptr || !IsTrustedSid(owner, own_user)) {
    return true;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!advapi32::GetAce(dacl, i, &entry)) return true;
    auto* header = static_cast<ACE_HEADER*>(entry);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & kChangingRights) != 0 &&
        !IsTrustedSid(&allowed->SidStart, own_user)) {
      return true;
    }
  }
  return false;
}

// The process's own user SID, in `buffer`; null when it cannot be read.
PSID OwnUser(void* buffer, DWORD size) {
  HANDLE token = nullptr;
  if (!advapi32::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return nullptr;
  }
  DWORD needed = 0;
  bool ok = advapi32::GetTokenInformation(token, TokenUser, buffer, size,
                                          &needed) != FALSE;
  ::CloseHandle(token);
  return ok ? static_cast<TOKEN_USER*>(buffer)->User.Sid : nullptr;
}

// Opens `path` itself, a link at its end included, for reading its
// attributes and security; INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenWithoutFollowing(const char* path, DWORD access, DWORD creation) {
  wchar_t wide[MAX_PATH];
  if (::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0) {
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(
      wide, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, creation,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO, and the job information classes,
// which older headers may lack.
constexpr DWORD kActiveProcessZero = 4;

}  // namespace

// The job's limits: breakaway allowed and, with `kill_on_close`, every
// process ended when the job's last handle closes.
bool SetJobLimits(HANDLE job, bool kill_on_close) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_BREAKAWAY_OK |
      (kill_on_close ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : 0);
  return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation,
                                   &limits, sizeof(limits)) != FALSE;
}

bool CreateJobObjectA(Handle* job, Handle* port) {
  HANDLE new_job = ::CreateJobObjectA(nullptr, nullptr);
  if (new_job == nullptr) return false;
  if (!SetJobLimits(new_job, true)) {
    ::CloseHandle(new_job);
    return false;
  }
  HANDLE new_port =
      ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  // The job's messages carry its port as their key: a job nested in it
  // sends its own messages to this port too, under another key.
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
  association.CompletionKey = new_port;
  association.CompletionPort = new_port;
  if (new_port == nullptr ||
      !::SetInformationJobObject(new_job,
                                 JobObjectAssociateCompletionPortInformation,
                                 &association, sizeof(association))) {
    if (new_port != nullptr) ::CloseHandle(new_port);
    ::CloseHandle(new_job);
    return false;
  }
  *job = ToHandle(new_job);
  *port = ToHandle(new_port);
  return true;
}

JobMessage GetQueuedCompletionStatus(Handle port, std::uint32_t milliseconds) {
  DWORD message = 0;
  ULONG_PTR key = 0;
  LPOVERLAPPED overlapped = nullptr;
  if (!::GetQueuedCompletionStatus(FromHandle(port), &message, &key,
                                   &overlapped, milliseconds)) {
    return ::GetLastError() == WAIT_TIMEOUT ? JobMessage::TimedOut
                                            : JobMessage::Failed;
  }
  // "No active process" counts only from the launcher's own job, whose key
  // is the port (CreateJobObjectA); a nested job's is another message.
  return message == kActiveProcessZero &&
                 key == reinterpret_cast<ULONG_PTR>(FromHandle(port))
             ? JobMessage::NoActiveProcess
             : JobMessage::Other;
}

bool QueryInformationJobObject(Handle job, std::uint32_t* active_processes) {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  if (!::QueryInformationJobObject(FromHandle(job),
                                   JobObjectBasicAccountingInformation,
                                   &accounting, sizeof(accounting), nullptr)) {
    return false;
  }
  *active_processes = accounting.ActiveProcesses;
  return true;
}

LocalTime GetLocalTime() {
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  TIME_ZONE_INFORMATION zone = {};
  DWORD kind = ::GetTimeZoneInformation(&zone);
  LocalTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.millisecond = now.wMilliseconds;
  time.bias = static_cast<int>(zone.Bias);
  if (kind == TIME_ZONE_ID_DAYLIGHT) time.bias += zone.DaylightBias;
  if (kind == TIME_ZONE_ID_STANDARD) time.bias += zone.StandardBias;
  return time;
}

bool GetFileSecurityA(const char* path, FileSecurity* security) {
  HANDLE handle = OpenWithoutFollowing(
      path, READ_CONTROL | FILE_READ_ATTRIBUTES, OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  bool ok = ::GetFileInformationByHandle(handle, &info) != FALSE &&
            advapi32::GetSecurityInfo(
                handle, SE_FILE_OBJECT,
                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                nullptr, &dacl, nullptr, &descriptor) == ERROR_SUCCESS;
  ::CloseHandle(handle);
  if (!ok) return false;
  DWORD user[128];
  security->folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  security->link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  security->names = info.nNumberOfLinks;
  security->others_can_write =
      OthersCanWrite(owner, dacl, OwnUser(user, sizeof(user)));
  ::LocalFree(descriptor);
  return true;
}

bool OpenAppendFileA(const char* path, Handle* file) {
  wchar_t wide[MAX_PATH];
  if (::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0) {
    return false;
  }
  HANDLE handle = ::CreateFileW(
      wide, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
      info.nNumberOfLinks != 1) {
    ::CloseHandle(handle);
    return false;
  }
  *file = ToHandle(handle);
  return true;
}

namespace {

class WindowsReportServices : public ReportServices {
 public:
  bool CreateJobObjectA(Handle* job, Handle* port) override {
    return windows::CreateJobObjectA(job, port);
  }
  bool ClearKillOnJobClose(Handle job) override {
    return SetJobLimits(FromHandle(job), false);
  }
  bool AssignProcessToJobObject(Handle job, Handle process) override {
    return ::AssignProcessToJobObject(FromHandle(job), FromHandle(process)) !=
           FALSE;
  }
  JobMessage GetQueuedCompletionStatus(Handle port,
                                       std::uint32_t milliseconds) override {
    return windows::GetQueuedCompletionStatus(port, milliseconds);
  }
  bool QueryInformationJobObject(Handle job,
                                 std::uint32_t* active_processes) override {
    return windows::QueryInformationJobObject(job, active_processes);
  }
  bool GetExitCodeProcess(Handle process, std::uint32_t* code) override {
    DWORD exit_code = 0;
    if (!::GetExitCodeProcess(FromHandle(process), &exit_code)) return false;
    *code = exit_code;
    return true;
  }
  bool OpenMutexA(const char* name, bool* exists) override {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, name);
    DWORD error = mutex != nullptr ? ERROR_SUCCESS : ::GetLastError();
    if (mutex != nullptr) ::CloseHandle(mutex);
    if (error == ERROR_FILE_NOT_FOUND) {
      *exists = false;
      return true;
    }
    // ERROR_INVALID_HANDLE: another kind of object has the name, and
    // Windows Installer cannot make its mutex either.
    *exists = true;
    return error == ERROR_SUCCESS || error == ERROR_ACCESS_DENIED ||
           error == ERROR_INVALID_HANDLE;
  }
  std::uint32_t GetTickCount() override { return ::GetTickCount(); }
  LocalTime GetLocalTime() override { return windows::GetLocalTime(); }
  std::uint32_t GetCurrentThreadId() override { return ::GetCurrentThreadId(); }
  bool GetFileSecurityA(const char* path, FileSecurity* security) override {
    return windows::GetFileSecurityA(path, security);
  }
  bool OpenAppendFileA(const char* path, Handle* file) override {
    return windows::OpenAppendFileA(path, file);
  }
};

}  // namespace

}  // namespace windows

std::unique_ptr<ReportServices> CreateWindowsReportServices() {
  return std::unique_ptr<ReportServices>(new windows::WindowsReportServices());
}
