// Subcommands of the solidsetup tool. Each takes the arguments after its name
// and returns the process exit status.
#pragma once

int RunListCommand(int argc, char** argv);
int RunTestCommand(int argc, char** argv);
int RunExtractCommand(int argc, char** argv);
int RunBuildCommand(int argc, char** argv);
int RunCheckCommand(int argc, char** argv);
