#include "runsettings.h"
