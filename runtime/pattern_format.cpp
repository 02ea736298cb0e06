#include "runtime/pattern_format.h"
