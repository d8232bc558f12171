#include "decoders.h"
