#include "runtime/ole_date.h"
