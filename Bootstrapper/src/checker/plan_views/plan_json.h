#pragma once
// The plan as data: what plan_printer.h says in words, in the same run order, as one JSON
// object. A step the run does not reach is left out; "end" says where and with which
// message the run ends before the installer runs (null when it gets there).
//
//   {"folder", "machineKnown", "end": {"stage", "message"} | null,
//    "preSetup": {"commandLine", "application" | null} | null,
//    "prerequisiteCount", "prerequisites": [{"section", "execute", "doExecuteIfCheckIs",
//        "checkKey", "checkValue", "checkContent", "debug", "expectedExitCode",
//        "check": "unknown" | "passes" | "fails", "runs": null | bool}],
//    "package": {"path", "productCode", "productVersion", "productLanguage",
//        "installed": null | bool, "installedVersion" | null, "newer": null | bool},
//    "languages": [{"id", "name", "transform" | null}], "documentationTransform" | null,
//    "installer": {"msiexec", "newInstallation": [{"language", "commandLine"}],
//        "recache", "maintenance"}}

#include "checker/explored_runs/plan.h"
#include "checker/output/json_writer.h"
#include "checker/output/report_context.h"

namespace boot {

void WritePlanJson(const Plan& plan, const ReportSettings& settings, JsonWriter& json);

}  // namespace boot
