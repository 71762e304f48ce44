#include "kiroku/conv/conversion_error.h"
