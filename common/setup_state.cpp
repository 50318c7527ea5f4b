#include "common/setup_state.h"

SetupState* gSetupState = nullptr;
