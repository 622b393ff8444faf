#include "app/portsettings.h"
