#include "kiroku/event_encoder.h"
