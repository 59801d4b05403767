#include "outputfile.h"
