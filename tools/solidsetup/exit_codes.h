// The tool's exit statuses, the same for every command.
#pragma once

const int kExitOk = 0;
const int kExitFailed = 1;   // damaged archive, failed check, failed build, or a file that could not be written
const int kExitUsage = 2;    // the command line was wrong
const int kExitSkipped = 3;  // extract: the archive is sound, but some files were left out (exist, unsafe names)
