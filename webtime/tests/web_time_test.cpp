#include "webtime/web_time.h"
