#include "widgets/statuslamp.h"
