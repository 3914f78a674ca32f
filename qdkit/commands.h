// The commands of qdkit. Each handles its files one after the other and
// returns the exit status: 0 when every file succeeded, 1 when any failed.
#pragma once

#include <string>
#include <vector>

int RunInfo(const std::vector<std::string>& files, bool json);
int RunVerify(const std::vector<std::string>& files);
