// Easy tab tests: lens.
#include "EasyFixture.h"
