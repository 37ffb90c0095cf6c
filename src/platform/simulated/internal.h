#ifndef LAUNCHER_PLATFORM_SIMULATED_INTERNAL_H_
#define LAUNCHER_PLATFORM_SIMULATED_INTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/simulated/simulated_platform.h"

// What the simulated platform's parts share among themselves; tests use
// SimulatedPlatform alone. Names compare case-insensitively, as Windows
// compares them.
namespace simulated {

char Upper(char c);
bool NoCaseEqual(const std::string& a, const std::string& b);
bool NoCaseStartsWith(const std::string& text, const std::string& prefix);
// Splits at "\" and "/", dropping empty parts and "."; ".." drops the part
// before it but never the drive.
std::vector<std::string> SplitPath(const std::string& path);
std::string JoinPath(const std::vector<std::string>& parts, std::size_t count);
// The tree's key for a path as written: its parts joined by single "\".
std::string KeyOf(const std::string& path);
std::string LastPart(const std::string& key);
std::string ParentOf(const std::string& key);
// The name itself when the code page carries it exactly, else "".
std::string Exact(const std::string& name);
// The attributes a node is reported with: "normal" when it has none.
std::uint32_t Reported(const SimulatedPlatform::Node& node);

}  // namespace simulated

#endif  // LAUNCHER_PLATFORM_SIMULATED_INTERNAL_H_
