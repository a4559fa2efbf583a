// Easy tab tests: title.
#include "EasyFixture.h"
