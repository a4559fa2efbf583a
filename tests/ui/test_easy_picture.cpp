// Easy tab tests: picture.
#include "EasyFixture.h"
