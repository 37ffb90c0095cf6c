// The refusals of a pinned kit, for the report build's log.
#include "launcher/kit_admission.h"

std::string KitRefusalClause(const AdmittedKit& kit) {
  return kit.refusal == 2
             ? " cannot be checked: this Windows cannot keep the launcher's "
               "DLLs to its system folder (it lacks AddDllDirectory)"
             : " is not the kit this launcher was built for";
}
