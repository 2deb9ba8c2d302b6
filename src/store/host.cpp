#include "store/host.h"
