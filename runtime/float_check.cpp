#include "runtime/float_check.h"
