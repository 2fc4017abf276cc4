// info = bdf_repair(FILE)
// Makes a BDF file cut by a crash whole for strict readers: drops a partial
// last record and writes the count of the whole records into the header.
#include <string>

#include "bdf/bdf_entry.h"
#include "bdf/reader.h"
#include "host/mexhost.h"

namespace {

enum { IN_FILE, INPUT_COUNT };
enum { OUT_INFO, OUTPUT_COUNT };
const char* const DELIVERABLE = "bdf_repair";

using bdf_entry::Failure;

}  // namespace

extern "C" EEGMEX_EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  host::require_nargin(DELIVERABLE, nrhs, INPUT_COUNT, "One input required: bdf_repair(FILE).");
  host::require_nargout(DELIVERABLE, nlhs, OUTPUT_COUNT, "info = bdf_repair(FILE)");
  if (nrhs > INPUT_COUNT) host::fail_for(DELIVERABLE, "nargin", "One input only: bdf_repair(FILE).");
  bdf_entry::require_file_name(DELIVERABLE, prhs[IN_FILE]);

  Failure f;
  bdf::RepairReport report;
  char path[1024];
  if (mxGetString(prhs[IN_FILE], path, sizeof path) != 0)
    host::fail_for(DELIVERABLE, "notText", "FILE must be a name of at most %zu characters.", sizeof path - 1);
  bool ok = false;
  {
    std::string error;
    bdf_entry::take_core_failure(f, host::run_core([&] {
      ok = bdf::repair_file(path, report, error);
      if (!ok) bdf_entry::set_failure(f, "cannotRepair", "%s", error.c_str());
    }));
  }
  bdf_entry::raise(DELIVERABLE, f);

  if (nlhs == 0) {
    mexPrintf("%s: %lld data records kept (the header said %lld), %lld bytes dropped\n", path,
              static_cast<long long>(report.records), static_cast<long long>(report.declared),
              static_cast<long long>(report.dropped_bytes));
    return;
  }
  const char* const fields[] = {"records", "header_records", "dropped_bytes"};
  plhs[OUT_INFO] = mxCreateStructMatrix(1, 1, 3, const_cast<const char**>(fields));
  mxSetField(plhs[OUT_INFO], 0, "records", mxCreateDoubleScalar(static_cast<double>(report.records)));
  mxSetField(plhs[OUT_INFO], 0, "header_records", mxCreateDoubleScalar(static_cast<double>(report.declared)));
  mxSetField(plhs[OUT_INFO], 0, "dropped_bytes", mxCreateDoubleScalar(static_cast<double>(report.dropped_bytes)));
}
