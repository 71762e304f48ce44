#include "kiroku/log_reader.h"
