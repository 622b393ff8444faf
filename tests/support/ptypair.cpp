#include "ptypair.h"
