#pragma once

// The settings cipher lives with the settings (common/Cipher.h); these names stay for the database
// code and tools that know it from here.
#include "common/Cipher.h"

namespace fd::db {
using fd::decipherSetting;
using fd::encipherSetting;
using fd::md5Hex;
} // namespace fd::db
