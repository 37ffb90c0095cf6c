// The refusals of a pinned kit, for the report build's log.
#include "kit/kit_trust.h"
#include "launcher/kit_admission.h"

std::string KitRefusalClause(const AdmittedKit& kit) {
  switch (kit.refusal) {
    case kLookupsNotConfined:
      return " cannot be checked: this Windows cannot keep the launcher's "
             "DLLs to its system folder (it lacks AddDllDirectory)";
    case kNoSilentResponses:
      return " has no setup.iss for the silent installation its command "
             "line names";
    default:
      return " is not the kit this launcher was built for";
  }
}
