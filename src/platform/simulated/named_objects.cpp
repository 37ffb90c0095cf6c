// Named objects: mutexes, the token's Administrators group, and private
// namespaces known by their boundaries.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <string>

namespace {

// A namespace is known by its boundary: the name and the one SID it holds.
std::string NamespaceKey(const std::string& boundary, bool administrators) {
  return "[" + boundary + (administrators ? "|S-1-5-32-544]" : "]");
}

}  // namespace

void SimulatedPlatform::AddMutex(const std::string& name, bool access_denied,
                                 const std::string& boundary,
                                 const std::string& owner,
                                 const std::string& linked_to) {
  ForeignMutex mutex{access_denied, owner, linked_to};
  if (boundary.empty()) {
    foreign_mutexes_[name] = mutex;
    return;
  }
  AddPrivateNamespace(boundary);
  foreign_mutexes_[NamespaceKey(boundary, true) + "\\" + name] = mutex;
}

void SimulatedPlatform::ReleaseMutexAt(const std::string& name,
                                       std::uint64_t at_ms) {
  foreign_mutexes_.at(name).released_at = at_ms;
}

void SimulatedPlatform::DropReleasedMutexes() {
  for (auto it = foreign_mutexes_.begin(); it != foreign_mutexes_.end();) {
    it = it->second.released_at <= now() ? foreign_mutexes_.erase(it)
                                         : std::next(it);
  }
}

void SimulatedPlatform::AddPrivateNamespace(const std::string& boundary) {
  namespaces_.insert(NamespaceKey(boundary, true));
}

bool SimulatedPlatform::HoldsMutex(const std::string& name,
                                   const std::string& boundary) const {
  return HoldsMutexKey(
      boundary.empty() ? name : NamespaceKey(boundary, true) + "\\" + name);
}

bool SimulatedPlatform::HoldsMutexKey(const std::string& key) const {
  return std::any_of(mutex_handles_.begin(), mutex_handles_.end(),
                     [&key](const auto& entry) { return entry.second == key; });
}

std::string SimulatedPlatform::MutexKey(const std::string& name) const {
  std::size_t slash = name.find('\\');
  if (slash == std::string::npos) return name;
  auto alias = aliases_.find(name.substr(0, slash));
  return alias == aliases_.end() ? name : alias->second + name.substr(slash);
}

MutexResult SimulatedPlatform::CreateMutexA(const char* name, Handle* mutex) {
  if (Record(Op::CreateMutexA, name)) return MutexResult::Failed;
  DropReleasedMutexes();
  std::string key = MutexKey(name);
  auto foreign = foreign_mutexes_.find(key);
  if (foreign != foreign_mutexes_.end() && foreign->second.access_denied) {
    return MutexResult::AccessDenied;
  }
  bool exists = foreign != foreign_mutexes_.end() || HoldsMutexKey(key);
  *mutex = NewHandle();
  handles_.insert(*mutex);
  mutex_handles_[*mutex] = key;
  return exists ? MutexResult::AlreadyExists : MutexResult::Created;
}

bool SimulatedPlatform::OpenMutexA(const char* name, bool* exists) {
  if (Record(Op::OpenMutexA, name)) return false;
  DropReleasedMutexes();
  std::string key = MutexKey(name);
  *exists = foreign_mutexes_.count(key) != 0 || HoldsMutexKey(key);
  return true;
}

// A mutex this process made is its token's: Administrators' when elevated.
bool SimulatedPlatform::GetKernelObjectSecurity(Handle object,
                                                bool* administrators_own) {
  if (Record(Op::GetKernelObjectSecurity, std::to_string(object)) ||
      !lookups_confined) {
    return false;
  }
  auto mutex = mutex_handles_.find(object);
  if (mutex == mutex_handles_.end()) return false;
  auto foreign = foreign_mutexes_.find(mutex->second);
  std::string owner = foreign != foreign_mutexes_.end() ? foreign->second.owner
                      : administrator                   ? "Administrators"
                                                        : user;
  *administrators_own = owner == "Administrators" || owner == "SYSTEM";
  return true;
}

// "Global\<name>" is "\BaseNamedObjects\<name>" to the kernel.
bool SimulatedPlatform::QueryObjectName(Handle object, std::string* name) {
  if (Record(Op::QueryObjectName, std::to_string(object))) return false;
  auto mutex = mutex_handles_.find(object);
  if (mutex == mutex_handles_.end()) return false;
  auto foreign = foreign_mutexes_.find(mutex->second);
  if (foreign != foreign_mutexes_.end() &&
      !foreign->second.object_name.empty()) {
    *name = foreign->second.object_name;
    return true;
  }
  const std::string global = "Global\\";
  const std::string& key = mutex->second;
  *name = key.rfind(global, 0) == 0
              ? "\\BaseNamedObjects\\" + key.substr(global.size())
              : key;
  return true;
}

bool SimulatedPlatform::CheckTokenMembership() {
  if (Record(Op::CheckTokenMembership, "")) return false;
  return administrator && lookups_confined;
}

bool SimulatedPlatform::CreateBoundaryDescriptorW(const char* name,
                                                  Handle* boundary) {
  if (Record(Op::CreateBoundaryDescriptorW, name) || !private_namespaces) {
    return false;
  }
  *boundary = NewHandle();
  boundaries_[*boundary] = Boundary{name, false};
  return true;
}

bool SimulatedPlatform::AddSIDToBoundaryDescriptor(Handle* boundary) {
  if (Record(Op::AddSIDToBoundaryDescriptor, std::to_string(*boundary))) {
    return false;
  }
  auto it = boundaries_.find(*boundary);
  if (it == boundaries_.end()) return false;
  it->second.administrators = true;
  return true;
}

NamespaceResult SimulatedPlatform::CreatePrivateNamespaceW(Handle boundary,
                                                           const char* alias,
                                                           Handle* ns) {
  if (Record(Op::CreatePrivateNamespaceW, std::to_string(boundary), alias)) {
    return NamespaceResult::Failed;
  }
  auto it = boundaries_.find(boundary);
  if (it == boundaries_.end() ||
      (it->second.administrators && !administrator)) {
    return NamespaceResult::Failed;
  }
  std::string key = NamespaceKey(it->second.name, it->second.administrators);
  if (!namespaces_.insert(key).second) return NamespaceResult::AlreadyExists;
  *ns = NewHandle();
  handles_.insert(*ns);
  aliases_[alias] = key;
  return NamespaceResult::Created;
}

bool SimulatedPlatform::OpenPrivateNamespaceW(Handle boundary,
                                              const char* alias, Handle* ns) {
  if (Record(Op::OpenPrivateNamespaceW, std::to_string(boundary), alias)) {
    return false;
  }
  auto it = boundaries_.find(boundary);
  if (it == boundaries_.end() || !administrator) return false;
  std::string key = NamespaceKey(it->second.name, it->second.administrators);
  if (namespaces_.count(key) == 0) return false;
  *ns = NewHandle();
  handles_.insert(*ns);
  aliases_[alias] = key;
  return true;
}

void SimulatedPlatform::DeleteBoundaryDescriptor(Handle boundary) {
  Record(Op::DeleteBoundaryDescriptor, std::to_string(boundary));
  boundaries_.erase(boundary);
}
