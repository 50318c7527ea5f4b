// Printing what the install plan shows: the findings, as compilers print
// theirs ("FILE:LINE: error: ..."), and the plan itself for 'check'.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tools/solidsetup/product_plan.h"

// Prints errors, and warnings unless quiet, to standard error. Returns the
// number of findings that stop a build (warnings too when strict).
int PrintFindings(const char* command, const std::vector<Finding>& findings, bool strict, bool quiet);
// The installation as the setup will make it with its default choices.
void PrintInstallPlan(const InstallPlan& plan, FILE* out);
