#include "measure/measuredvaluespage.h"
