// Compiles the record layout checks into every build of the base library.
#include "bDBRecords.h"
