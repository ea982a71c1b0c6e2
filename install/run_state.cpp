#include "install/run_state.h"

RunState runState;
