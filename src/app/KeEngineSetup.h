// The record with which the engine starts lives with the engine start-up.
#pragma once

#include "runtime/EngineSetup.h"
