#include "measure/catalogue.h"
