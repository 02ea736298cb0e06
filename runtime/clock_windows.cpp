#include "runtime/clock.h"
