// Compiled by the ctest probes report_field_probe_*: a field named right compiles, a misspelt
// one or one of another table must not.
#include "tables/processes.h"
#include "tables/services.h"

namespace kovra {

void ReportFieldProbe(RecordOf<TableId::kProcesses>& record) {
#if defined(KOVRA_PROBE_MISSPELT_FIELD)
  record.Set(kProcesses["pdi"], "4");
#elif defined(KOVRA_PROBE_FIELD_OF_ANOTHER_TABLE)
  record.Set(kServices["name"], "4");
#else
  record.Set(kProcesses["pid"], "4");
#endif
}

}  // namespace kovra
