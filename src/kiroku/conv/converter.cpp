#include "kiroku/conv/converter.h"
