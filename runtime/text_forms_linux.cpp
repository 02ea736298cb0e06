#include "runtime/text_forms.h"
