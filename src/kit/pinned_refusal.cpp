// The one refusal of a pinned kit, for the report build's log.
#include "launcher/kit_admission.h"

std::string KitRefusalClause(const AdmittedKit& /*kit*/) {
  return " is not the kit this launcher was built for";
}
