#include "datafile.h"
