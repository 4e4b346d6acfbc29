// The key model and the .reg text under their former names, for the reg tool until it
// includes hive_key.h, reg_text.h and reg_import.h and names brisvane::platform::hive itself.
#pragma once

#include "platform/posix/hive_key.h"
#include "platform/posix/reg_import.h"
#include "platform/posix/reg_text.h"

namespace hive = brisvane::platform::hive;
