#pragma once

#include "cli/CliArgs.h"
#include "cli/CliCameraSession.h"
#include "device/DeviceParamMembers.h"

namespace orbisight::cli {

// The parameter NAME that a set may change; null (with the reason on stderr)
// for an unknown or read-only name.
const ParamMember* FindWritableParam(const std::string& name);

// rf [--name ID=NAME] [--enable ID] [--disable ID] [--delete ID] [--clear]
int RunRf(const CameraOptions& options, const CliArgs& args);
// sd-list --date YYYYMMDD [--from HHMMSS --to HHMMSS]
int RunSdList(const CameraOptions& options, const CliArgs& args);
// sd-get --file NAME --out DIR
int RunSdGet(const CameraOptions& options, const CliArgs& args);
// plan [--json]
int RunPlan(const CameraOptions& options, const CliArgs& args);
// set-plan [--json] PLAN=MODE[,DAY,START,END]...
int RunSetPlan(const CameraOptions& options, const CliArgs& args);

}  // namespace orbisight::cli
