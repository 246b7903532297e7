#include "binning/bin.h"
