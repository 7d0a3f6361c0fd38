#pragma once
// Files kept in tests/data or data/.
#include "support/temp_folder.h"
