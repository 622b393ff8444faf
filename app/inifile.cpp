#include "app/inifile.h"
