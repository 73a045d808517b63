#pragma once

#include "base/reloj_fijo.h"

namespace relvano::testing {

using ::relvano::RelojFijo;

}  // namespace relvano::testing
