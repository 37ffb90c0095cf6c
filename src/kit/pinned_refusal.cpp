// The refusals of a pinned kit, for the report build's log.
#include "launcher/kit_admission.h"

std::string KitRefusalClause(const AdmittedKit& kit) {
  switch (kit.refusal) {
    case 2:
      return " cannot be checked: this Windows cannot keep the launcher's "
             "DLLs to its system folder (it lacks AddDllDirectory)";
    case 3:
      return " has no setup.iss for the silent installation its command "
             "line names";
    default:
      return " is not the kit this launcher was built for";
  }
}
