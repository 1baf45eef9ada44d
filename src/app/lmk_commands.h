#pragma once
// The subcommands of lmk. Each lives in its own lmk_<name>.cpp; args excludes the program name
// and the subcommand word. A command returns the process exit status.
#include <string>
#include <vector>

using LmkArgs = std::vector<std::string>;

int LmkPack(const LmkArgs& args);
int LmkUnpack(const LmkArgs& args);
int LmkBuild(const LmkArgs& args);
int LmkInspect(const LmkArgs& args);
int LmkDevices(const LmkArgs& args);
int LmkWrite(const LmkArgs& args);
int LmkRead(const LmkArgs& args);
int LmkSetSerial(const LmkArgs& args);
int LmkSim(const LmkArgs& args);
